#include "packagelist.h"

#include <climits>
#include <cstring>
#include <unordered_set>

#include "../platform/OsFile.h"

std::string GetHostExeDir() {
    char szPath[HOST_PATH_BUFFER] = "";
    OsGetModuleFileName(szPath, sizeof(szPath));
    for (size_t i = strlen(szPath); i-- > 0;) {
        if (szPath[i] == '\\') {
            szPath[i] = 0;
            break;
        }
    }
    return szPath;
}

CPackageList::CPackageList() {
    m_strDeletedListPath = GetHostExeDir() + "\\Data\\PkgDeleted.ini";
    OsSetFileAttributesNormal(m_strDeletedListPath.c_str());
}

int CPackageList::FindPath(uint32_t dwPkgId, std::string& strPath) {
    CScopedLock lock(m_csLock);
    const CPackageInfoMap::const_iterator it = m_mapInfo.find(dwPkgId);
    if (it == m_mapInfo.end() || it->second.PkgType == -1) return 0;
    const SPackageInfo& info = it->second;
    strPath = FieldToText(info.VDiskPath.GetLength() > 1 ? info.VDiskPath : info.PkgPath);
    return 1;
}

void CPackageList::DumpInfo() {
    LOG_PRINT(Info, "CopyPkgInfo dump information.");
    CPackageMapBase::DumpInfo();
}

namespace {
// A byte field's text up to its first zero byte, never past its length; a
// field of length 0 prints as the formatter's null text.
std::string FieldPrintable(const CByteField& field, bool& bNull) {
    bNull = field.GetLength() == 0;
    if (bNull) return std::string();
    const auto* p = reinterpret_cast<const char*>(field.GetData());
    return std::string(p, strnlen(p, field.GetLength()));
}

std::string TextOf(const char* psz, size_t nSize) { return std::string(psz, strnlen(psz, nSize)); }
}  // namespace

void DumpPkgInfo(const SPackageInfo& info) {
    bool bNullPath = false, bNullSmall = false, bNullLarge = false, bNullVDisk = false;
    const std::string strPath = FieldPrintable(info.PkgPath, bNullPath);
    const std::string strSmall = FieldPrintable(info.SmallUrl, bNullSmall);
    const std::string strLarge = FieldPrintable(info.LargeUrl, bNullLarge);
    const std::string strVDisk = FieldPrintable(info.VDiskPath, bNullVDisk);
    // Text fields decoded from a file may lack their zero byte; never read past them.
    const std::string strName = TextOf(info.PkgName, sizeof(info.PkgName));
    const std::string strMain = TextOf(info.MainExe, sizeof(info.MainExe));
    const std::string strRun = TextOf(info.RunExe, sizeof(info.RunExe));
    const std::string strClass = TextOf(info.PkgIDCClass, sizeof(info.PkgIDCClass));
    LOG_PRINT(Info,
              "PkgId(%d), PkgName(%s), PkgNewVer(%d), MainExe(%s), RunExe(%s), PkgIDCClass(%s), PkgIDCVer(%d), "
              "PkgIdxCRC(%d), PkgLocalClass(%d), PkgLocalVer(%d), PkgPath(%s), PkgType(%d), SmallUrl(%s), "
              "LargeUrl(%s), VDiskPath(%s), VDiskUpdateDate(%d)",
              int(info.PkgId), strName.c_str(), int(info.PkgNewVer), strMain.c_str(), strRun.c_str(),
              strClass.c_str(), int(info.PkgIDCVer), int(info.PkgIdxCRC), int(info.PkgLocalClass),
              int(info.PkgLocalVer), bNullPath ? "(null)" : strPath.c_str(), int(info.PkgType),
              bNullSmall ? "(null)" : strSmall.c_str(), bNullLarge ? "(null)" : strLarge.c_str(),
              bNullVDisk ? "(null)" : strVDisk.c_str(), int(info.VDiskUpdateDate));
}

int32_t TextToInt32(const char* pszText) {
    const char* p = pszText;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool bNegative = false;
    if (*p == '+' || *p == '-') bNegative = *p++ == '-';
    int64_t nValue = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        nValue = nValue * 10 + (*p - '0');
        if (nValue > int64_t(INT32_MAX) + 1) nValue = int64_t(INT32_MAX) + 1;  // clamped below; stops overflow
    }
    if (bNegative) nValue = -nValue;
    if (nValue > INT32_MAX) return INT32_MAX;
    if (nValue < INT32_MIN) return INT32_MIN;
    return int32_t(nValue);
}

void ApplyExtParams(SPackageInfo& info, const CByteField& extParams) {
    std::string strText;
    if (extParams.GetLength()) {
        const auto* p = reinterpret_cast<const char*>(extParams.GetData());
        strText.assign(p, strnlen(p, extParams.GetLength()));
    }
    std::vector<std::string> vecTokens;
    SplitText(strText, vecTokens, ';');
    for (const std::string& strToken : vecTokens) {
        const char* pszEquals = FindCharMb(strToken.c_str(), '=');
        if (!pszEquals) continue;
        const std::string strKey(strToken.c_str(), pszEquals);
        const char* pszValue = pszEquals + 1;
        const size_t nValueLen = strToken.size() - size_t(pszValue - strToken.c_str());
        const uint32_t dwNumber = uint32_t(TextToInt32(pszValue));
        switch (TextToInt32(strKey.c_str())) {
            case 1: info.PkgLocalClass = dwNumber; break;
            case 2: info.VDiskPath.AssignText(pszValue, nValueLen); break;
            case 3: info.LargeUrl.AssignText(pszValue, nValueLen); break;
            case 4: info.SmallUrl.AssignText(pszValue, nValueLen); break;
            case 5: info.PkgExtra1 = dwNumber; break;
            case 6: info.PkgExtra3 = dwNumber; break;
            case 7: info.ExtValue7 = dwNumber; break;
            case 8: info.ExtValue8 = dwNumber; break;
            case 9: info.ExtValue9 = dwNumber; break;
            case 10: info.ExtText10.assign(pszValue, nValueLen); break;
            case 11: info.ExtText11.assign(pszValue, nValueLen); break;
            case 12: info.PkgExtra5 = dwNumber; break;
            case 13: info.ExtText13.assign(pszValue, nValueLen); break;
            case 14: info.ExtText14.assign(pszValue, nValueLen); break;
            case 15: info.ExtValue15 = dwNumber; break;
            case 16: info.ExtValue16 = dwNumber; break;
            default: break;  // keys outside 1 to 16, and keys without digits, change nothing
        }
    }
}

void CPackageList::MergeMenuEx(const CPackageExInfoList& exList, const char* pszStorePath) {
    CPackageList storeList;
    storeList.LoadVLFFromFile(pszStorePath);

    for (uint32_t i = 0; i < exList.GetCount(); ++i) {
        const CPackageExInfo& exInfo = exList[i];
        SPackageInfo info;
        info.PkgId = exInfo.PkgId;
        if (!FindInfo(info)) {
            SPackageInfo storeInfo;
            storeInfo.PkgId = exInfo.PkgId;
            if (storeList.FindInfo(storeInfo) && storeInfo.PkgType == exInfo.PkgType &&
                strncmp(storeInfo.PkgName, exInfo.PkgName, sizeof(storeInfo.PkgName)) == 0)
                info = storeInfo;
        }
        ApplyExInfo(info, exInfo);
        ApplyExtParams(info, exInfo.ExtParams);
        AddInfo(info);
    }

    // Prune what the extension list does not name. A set of its ids keeps this
    // linear in the catalogue's size, where a search of the list per entry
    // would cost catalogue size times list size under the lock.
    std::unordered_set<uint32_t> setIds;
    setIds.reserve(exList.GetCount());
    for (uint32_t i = 0; i < exList.GetCount(); ++i) setIds.insert(exList[i].PkgId);
    CScopedLock lock(m_csLock);
    for (auto it = m_mapInfo.begin(); it != m_mapInfo.end();) {
        if (setIds.count(it->first))
            ++it;
        else
            it = m_mapInfo.erase(it);
    }
}

int CPackageList::LoadPkgList(const char* pszMenuPath, const char* pszMenuExPath, const char* pszStorePath) {
    CScopedLock lock(m_csLock);  // the whole load: lookups see the catalogue empty or complete
    LoadVLFFromFile(pszMenuPath);
    try {
        CCRCChkFile file;
        if (!file.Open(pszMenuExPath, CFile::modeRead | CFile::shareExclusive, nullptr)) return 0;
        const uint32_t dwLength = uint32_t(file.GetLength());
        std::unique_ptr<uint8_t[]> pBuffer(new uint8_t[dwLength ? dwLength : 1]);
        if (file.Read(pBuffer.get(), dwLength) != dwLength) return 0;
        CPackageExInfoList exList;
        CByteReader reader(pBuffer.get(), dwLength);
        if (exList.Decode(reader) == 0) MergeMenuEx(exList, pszStorePath);
        return 1;
    } catch (...) {  // out of memory or a file error: what the merge stored stays
        return 0;
    }
}
