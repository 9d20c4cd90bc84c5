#include "ListEncoder.h"

#include <cstdio>
#include <cstring>

#include "datafile/CRC32.h"

void AppendU32(std::string& str, uint32_t dwValue) {
    str += char(dwValue >> 24);
    str += char(dwValue >> 16);
    str += char(dwValue >> 8);
    str += char(dwValue);
}

void AppendField(std::string& str, const CByteField& field) {
    AppendU32(str, field.GetLength());
    if (field.GetLength()) str.append(reinterpret_cast<const char*>(field.GetData()), field.GetLength());
}

std::string EncodePackage(const CPackageInfo& i) {
    std::string s;
    AppendU32(s, i.PkgId);
    AppendU32(s, i.PkgAttr1);
    s.append(i.PkgName, 33);
    s.append(i.PkgIDCClass, 65);
    AppendU32(s, i.PkgLocalClass);
    s.append(i.MainExe, 65);
    s.append(i.RunExe, 65);
    AppendU32(s, i.PkgAttr2);
    s += char(i.PkgType);
    AppendU32(s, i.PkgIDCVer);
    AppendU32(s, i.PkgNewVer);
    AppendU32(s, i.PkgLocalVer);
    AppendU32(s, i.PkgIdxCRC);
    AppendU32(s, i.PkgAttr3);
    AppendU32(s, i.PkgAttr4);
    AppendU32(s, i.VDiskUpdateDate);
    AppendField(s, i.PkgPath);
    AppendField(s, i.VDiskPath);
    AppendField(s, i.LargeUrl);
    AppendField(s, i.SmallUrl);
    AppendU32(s, i.PkgExtra1);
    AppendU32(s, i.PkgExtra2);
    AppendU32(s, i.PkgExtra3);
    AppendU32(s, i.PkgExtra4);
    AppendU32(s, i.PkgExtra5);
    return s;
}

std::string EncodePackageEx(const CPackageExInfo& e) {
    std::string s;
    AppendU32(s, e.PkgId);
    AppendU32(s, e.PkgAttr1);
    s.append(e.PkgName, 32);
    s.append(e.PkgIDCClass, 64);
    s.append(e.MainExe, 64);
    s.append(e.RunExe, 64);
    AppendU32(s, e.PkgAttr2);
    s += char(e.PkgType);
    AppendU32(s, e.PkgNewVer);
    AppendU32(s, e.PkgExAttr);
    AppendU32(s, e.PkgAttr3);
    AppendField(s, e.ExtParams);
    return s;
}

std::string EncodePackageList(const std::vector<CPackageInfo>& vecInfo) {
    std::string s;
    AppendU32(s, uint32_t(vecInfo.size()));
    for (const auto& i : vecInfo) s += EncodePackage(i);
    return s;
}

std::string EncodePackageExList(const std::vector<CPackageExInfo>& vecExInfo) {
    std::string s;
    AppendU32(s, uint32_t(vecExInfo.size()));
    for (const auto& e : vecExInfo) s += EncodePackageEx(e);
    return s;
}

std::string WithTrailer(const std::string& strPayload) {
    const uint32_t dwCrc = Crc32Bytewise(strPayload.data(), strPayload.size());
    std::string s = strPayload;
    s += char(dwCrc);
    s += char(dwCrc >> 8);
    s += char(dwCrc >> 16);
    s += char(dwCrc >> 24);
    return s;
}

bool WriteBinaryFile(const std::string& strPath, const std::string& strBytes) {
    std::string strNative = strPath;
#ifndef _WIN32
    for (char& c : strNative)
        if (c == '\\') c = '/';
#endif
    FILE* pFile = fopen(strNative.c_str(), "wb");
    if (!pFile) return false;
    const bool bOk = fwrite(strBytes.data(), 1, strBytes.size(), pFile) == strBytes.size();
    return fclose(pFile) == 0 && bOk;
}

void SetText(char* pszField, uint32_t nSize, const std::string& strText) {
    memset(pszField, 0, nSize);
    memcpy(pszField, strText.data(), strText.size() < nSize - 1 ? strText.size() : nSize - 1);
}

CPackageInfo MakePackage(uint32_t dwId, const std::string& strName, const std::string& strPkgPath,
                         const std::string& strVDiskPath, int8_t nType) {
    CPackageInfo info;
    info.PkgId = dwId;
    info.PkgType = nType;
    SetText(info.PkgName, sizeof(info.PkgName), strName);
    SetText(info.MainExe, sizeof(info.MainExe), strName + ".exe");
    info.PkgPath.AssignText(strPkgPath.data(), strPkgPath.size());
    info.VDiskPath.AssignText(strVDiskPath.data(), strVDiskPath.size());
    return info;
}

CPackageExInfo MakePackageEx(uint32_t dwId, const std::string& strName, const std::string& strExtParams,
                             int8_t nType) {
    CPackageExInfo exInfo;
    exInfo.PkgId = dwId;
    exInfo.PkgType = nType;
    SetText(exInfo.PkgName, sizeof(exInfo.PkgName), strName);
    SetText(exInfo.MainExe, sizeof(exInfo.MainExe), strName + ".exe");
    if (!strExtParams.empty()) exInfo.ExtParams.AssignText(strExtParams.data(), strExtParams.size());
    return exInfo;
}
