#include "PackageInfo.h"

#include <cstring>

void CByteField::Assign(const void* pData, uint32_t dwLength) {
    uint8_t* p = Reset(dwLength);
    if (dwLength) memmove(p, pData, dwLength);  // inline source and destination may be one field
}

uint8_t* CByteField::Reset(uint32_t dwLength) {
    Free();
    if (dwLength == 0) return nullptr;
    if (dwLength <= INLINE_SIZE) {
        m_dwLength = dwLength;
        return m_abInline;
    }
    m_pHeap = new uint8_t[dwLength];  // on failure the field stays empty
    m_dwLength = dwLength;
    return m_pHeap;
}

void CByteField::AssignText(const char* pszText, size_t nLength) {
    uint8_t* p = Reset(uint32_t(nLength + 1));
    if (nLength) memcpy(p, pszText, nLength);
    p[nLength] = 0;
}

bool CByteField::operator==(const CByteField& other) const {
    return m_dwLength == other.m_dwLength && (m_dwLength == 0 || memcmp(GetData(), other.GetData(), m_dwLength) == 0);
}

CPackageInfo::CPackageInfo() {
    static const uint8_t s_bZero = 0;
    PkgPath.Assign(&s_bZero, 1);
    VDiskPath.Assign(&s_bZero, 1);
    LargeUrl.Assign(&s_bZero, 1);
    SmallUrl.Assign(&s_bZero, 1);
}

void CopyTextField(char* pszDest, uint32_t nSize, const char* pszSource, uint32_t nSourceSize) {
    const uint32_t nMax = nSize - 1 < nSourceSize ? nSize - 1 : nSourceSize;
    const void* pZero = memchr(pszSource, 0, nMax);
    const uint32_t nLen = pZero ? uint32_t(static_cast<const char*>(pZero) - pszSource) : nMax;
    memmove(pszDest, pszSource, nLen);  // a field may be assigned to itself
    memset(pszDest + nLen, 0, nSize - nLen);
}

CPackageInfo& CPackageInfo::operator=(const CPackageInfo& other) {
    PkgId = other.PkgId;
    PkgAttr1 = other.PkgAttr1;
    CopyTextField(PkgName, sizeof(PkgName), other.PkgName, sizeof(other.PkgName));
    CopyTextField(PkgIDCClass, sizeof(PkgIDCClass), other.PkgIDCClass, sizeof(other.PkgIDCClass));
    PkgLocalClass = other.PkgLocalClass;
    CopyTextField(MainExe, sizeof(MainExe), other.MainExe, sizeof(other.MainExe));
    CopyTextField(RunExe, sizeof(RunExe), other.RunExe, sizeof(other.RunExe));
    PkgAttr2 = other.PkgAttr2;
    PkgType = other.PkgType;
    PkgIDCVer = other.PkgIDCVer;
    PkgNewVer = other.PkgNewVer;
    PkgLocalVer = other.PkgLocalVer;
    PkgIdxCRC = other.PkgIdxCRC;
    PkgAttr3 = other.PkgAttr3;
    PkgAttr4 = other.PkgAttr4;
    VDiskUpdateDate = other.VDiskUpdateDate;
    PkgPath = other.PkgPath;
    VDiskPath = other.VDiskPath;
    LargeUrl = other.LargeUrl;
    SmallUrl = other.SmallUrl;
    PkgExtra1 = other.PkgExtra1;
    PkgExtra2 = other.PkgExtra2;
    PkgExtra3 = other.PkgExtra3;
    PkgExtra4 = other.PkgExtra4;
    PkgExtra5 = other.PkgExtra5;
    return *this;
}

void ApplyExInfo(SPackageInfo& info, const CPackageExInfo& exInfo) {
    info.PkgId = exInfo.PkgId;
    info.PkgAttr1 = exInfo.PkgAttr1;
    CopyTextField(info.PkgName, sizeof(info.PkgName), exInfo.PkgName, sizeof(exInfo.PkgName));
    CopyTextField(info.PkgIDCClass, sizeof(info.PkgIDCClass), exInfo.PkgIDCClass, sizeof(exInfo.PkgIDCClass));
    info.MenuMainExe.assign(exInfo.MainExe, strnlen(exInfo.MainExe, sizeof(exInfo.MainExe)));
    CopyTextField(info.RunExe, sizeof(info.RunExe), exInfo.RunExe, sizeof(exInfo.RunExe));
    info.PkgAttr2 = exInfo.PkgAttr2;
    info.PkgType = exInfo.PkgType;
    info.PkgNewVer = exInfo.PkgNewVer;
    info.PkgAttr3 = exInfo.PkgAttr3;
    CopyTextField(info.MainExe, sizeof(info.MainExe), info.MenuMainExe.c_str(),
                  uint32_t(info.MenuMainExe.size() + 1));
}
