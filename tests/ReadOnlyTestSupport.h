// Whether taking a file's write permission away really keeps writers out.
#pragma once

#include <cstdio>
#include <filesystem>

namespace rotest {

// The POSIX backend emulates the read-only attribute with the owner write
// bit, even for root. On Windows the attribute itself refuses writers, but
// wine keeps it as the Unix write bits, which stop no open when wine runs as
// root; cases built on it cannot run there.
inline bool ReadOnlyKeepsWritersOut(const std::filesystem::path& path) {
#ifdef _WIN32
    std::FILE* pFile = _wfopen(path.c_str(), L"r+b");
    if (pFile) std::fclose(pFile);
    return pFile == nullptr;
#else
    (void)path;
    return true;
#endif
}

}  // namespace rotest
