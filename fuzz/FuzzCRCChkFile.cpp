// CCRCChkFile over arbitrary file contents: open, measure and read as the
// loaders do; Read must accept exactly the files whose trailer matches.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "datafile/CRC32.h"
#include "datafile/CRCChkFile.h"

namespace {
std::string MakeTempPath() {
    char szTemplate[] = "/tmp/fuzz-crcchk-XXXXXX";
    const int fd = mkstemp(szTemplate);
    if (fd < 0) abort();
    close(fd);
    return szTemplate;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    static const std::string s_strPath = MakeTempPath();
    static const bool s_bCleanup = [] { return atexit([] { unlink(s_strPath.c_str()); }) == 0; }();
    (void)s_bCleanup;

    FILE* pFile = fopen(s_strPath.c_str(), "wb");
    if (!pFile) abort();
    if (nSize) fwrite(pData, 1, nSize, pFile);
    fclose(pFile);

    CCRCChkFile file;
    if (!file.Open(s_strPath.c_str(), CFile::modeRead | CFile::shareExclusive)) abort();
    const uint64_t nLength = file.GetLength();
    if (nLength != (nSize >= 4 ? nSize - 4 : nSize)) __builtin_trap();
    std::vector<uint8_t> vecBuf(size_t(nLength) + 1);
    const uint32_t dwRead = file.Read(vecBuf.data(), uint32_t(nLength));
    file.Close();

    bool bShouldMatch = false;
    if (nSize >= 4 && nLength > 0) {
        const uint8_t* t = pData + nLength;
        const uint32_t dwStored = uint32_t(t[0]) | uint32_t(t[1]) << 8 | uint32_t(t[2]) << 16 | uint32_t(t[3]) << 24;
        bShouldMatch = dwStored == Crc32Bytewise(pData, size_t(nLength));
    }
    if (dwRead != (bShouldMatch ? uint32_t(nLength) : 0u)) __builtin_trap();
    return 0;
}
