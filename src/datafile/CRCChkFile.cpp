#include "CRCChkFile.h"

#include "../platform/OsSystem.h"
#include "CRC32.h"

int CCRCChkFile::Open(const char* pszPath, uint32_t dwFlags, CFileException* pError) {
    try {
        if (CFile::Open(pszPath, dwFlags, pError)) return 1;
        OsSetFileAttributesNormal(pszPath);  // a read-only, hidden or system file opens now
        return CFile::Open(pszPath, dwFlags, pError);
    } catch (...) {
        return 0;
    }
}

uint64_t CCRCChkFile::GetLength() const {
    const uint64_t nLength = CFile::GetLength();
    return nLength >= 4 ? nLength - 4 : nLength;
}

uint32_t CCRCChkFile::Read(void* pBuf, uint32_t dwCount) {
    int64_t nRead = -1;
    try {
        nRead = CFile::Read(pBuf, dwCount);
    } catch (...) {
        nRead = -1;
    }
    if (nRead != int64_t(dwCount)) return 0;
    uint8_t abTrailer[4] = {};
    try {
        nRead = CFile::Read(abTrailer, 4);
    } catch (...) {
        nRead = -1;
    }
    if (nRead != 4) return 0;
    const uint32_t dwStored = uint32_t(abTrailer[0]) | uint32_t(abTrailer[1]) << 8 | uint32_t(abTrailer[2]) << 16 |
                              uint32_t(abTrailer[3]) << 24;
    return dwStored == Crc32(pBuf, dwCount) ? dwCount : 0;
}

void CCRCChkFile::Write(const void* pBuf, uint32_t dwCount) {
    if (dwCount == 0) return;
    const uint32_t dwCrc = Crc32(pBuf, dwCount);
    const uint8_t abTrailer[4] = {uint8_t(dwCrc), uint8_t(dwCrc >> 8), uint8_t(dwCrc >> 16), uint8_t(dwCrc >> 24)};
    try {
        CFile::Write(pBuf, dwCount);
    } catch (...) {
    }
    try {
        CFile::Write(abTrailer, 4);
    } catch (...) {
    }
    CFile::SetLength(uint64_t(dwCount) + 4);
}
