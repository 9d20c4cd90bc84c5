#ifdef _WIN32
#error "POSIX backend built for Windows"
#endif

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "../AnsiText.h"
#include "../OsSystem.h"
#include "OsPosix.h"

namespace {
thread_local uint32_t t_dwLastError = 0;
// No double-byte code page unless a test sets one: the POSIX build treats the
// ANSI bytes as a single-byte code page.
uint8_t s_bLeadLo = 1, s_bLeadHi = 0;

// errno values and their Win32 codes; what is not listed is a general failure.
const struct {
    int nErrno;
    uint32_t dwWin32;
} s_aErrnoMap[] = {
    {0, OS_ERROR_SUCCESS},
    {ENOENT, OS_ERROR_FILE_NOT_FOUND},
    {ENOTDIR, OS_ERROR_PATH_NOT_FOUND},
    {EMFILE, OS_ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, OS_ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, OS_ERROR_ACCESS_DENIED},
    {EPERM, OS_ERROR_ACCESS_DENIED},
    {EROFS, OS_ERROR_ACCESS_DENIED},
    {EISDIR, OS_ERROR_ACCESS_DENIED},
    {EBADF, OS_ERROR_INVALID_HANDLE},
    {ENOMEM, OS_ERROR_NOT_ENOUGH_MEMORY},
    {EWOULDBLOCK, OS_ERROR_SHARING_VIOLATION},
    {EBUSY, OS_ERROR_SHARING_VIOLATION},
    {EEXIST, OS_ERROR_ALREADY_EXISTS},
    {EINVAL, OS_ERROR_INVALID_PARAMETER},
    {ENOSPC, OS_ERROR_DISK_FULL},
    {EDQUOT, OS_ERROR_DISK_FULL},
    {ENAMETOOLONG, OS_ERROR_FILENAME_EXCED_RANGE},
    {ENOSYS, OS_ERROR_NOT_SUPPORTED},
    {ESRCH, OS_ERROR_INVALID_PARAMETER},
};
}  // namespace

std::string OsToNativePath(const char* pszPath) {
    std::string str(pszPath ? pszPath : "");
    for (char& c : str)
        if (c == '\\') c = '/';
    return str;
}

std::string OsFromNativePath(const std::string& strNative) {
    std::string str(strNative);
    for (char& c : str)
        if (c == '/') c = '\\';
    return str;
}

uint32_t OsErrorFromErrno(int nErrno) {
    for (const auto& m : s_aErrnoMap)
        if (m.nErrno == nErrno) return m.dwWin32;
    return OS_ERROR_GEN_FAILURE;
}

uint32_t OsSetLastErrorFromErrno() {
    t_dwLastError = OsErrorFromErrno(errno);
    return t_dwLastError;
}

std::string OsSharedObjectName(const char* pszName) {
    std::string str = "/";
    for (const char* p = pszName; *p; ++p) str += (*p == '\\' || *p == '/') ? '.' : *p;
    return str;
}

bool OsWildcardMatch(const char* pszPattern, const char* pszName) {
    // Iterative match with one backtrack point: linear in practice, no recursion.
    const char *p = pszPattern, *n = pszName, *pStar = nullptr, *nStar = nullptr;
    while (*n) {
        if (*p == '*') {
            pStar = p++;
            nStar = n;
        } else if (*p == '?' || (*p && LowerAscii(*p) == LowerAscii(*n))) {
            ++p;
            ++n;
        } else if (pStar) {
            p = pStar + 1;
            n = ++nStar;
        } else {
            return false;
        }
    }
    while (*p == '*') ++p;
    return *p == 0;
}

uint32_t OsGetModuleFileName(char* pszPath, uint32_t dwSize) {
    if (dwSize == 0) return 0;
    char szNative[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", szNative, sizeof(szNative) - 1);
    if (n <= 0) {
        OsSetLastErrorFromErrno();
        pszPath[0] = 0;
        return 0;
    }
    szNative[n] = 0;
    const std::string str = OsFromNativePath(szNative);
    const uint32_t dwLen = uint32_t(str.size()) < dwSize ? uint32_t(str.size()) : dwSize - 1;
    memcpy(pszPath, str.data(), dwLen);
    pszPath[dwLen] = 0;
    return dwLen;
}

uint32_t OsGetLastError() { return t_dwLastError; }
void OsSetLastError(uint32_t dwError) { t_dwLastError = dwError; }

uint32_t OsGetCurrentThreadId() { return uint32_t(syscall(SYS_gettid)); }
uint32_t OsGetCurrentProcessId() { return uint32_t(getpid()); }

namespace {
std::atomic<PFN_SLEEP_HOOK> s_pfnSleepHook{nullptr};
}

void OsSetSleepHook(PFN_SLEEP_HOOK pfnHook) { s_pfnSleepHook = pfnHook; }

void OsSleep(uint32_t dwMilliseconds) {
    if (const PFN_SLEEP_HOOK pfnHook = s_pfnSleepHook.load()) {
        pfnHook(dwMilliseconds);
        return;
    }
    timespec ts{time_t(dwMilliseconds / 1000), long(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void OsGetLocalTime(SLocalTime& st) {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm t{};
    const time_t now = tv.tv_sec;
    localtime_r(&now, &t);
    st.wYear = uint16_t(t.tm_year + 1900);
    st.wMonth = uint16_t(t.tm_mon + 1);
    st.wDayOfWeek = uint16_t(t.tm_wday);
    st.wDay = uint16_t(t.tm_mday);
    st.wHour = uint16_t(t.tm_hour);
    st.wMinute = uint16_t(t.tm_min);
    st.wSecond = uint16_t(t.tm_sec);
    st.wMilliseconds = uint16_t(tv.tv_usec / 1000);
}

int OsLocalDate(int64_t nUnixTime, int& nYear, int& nMonth, int& nDay) {
    const time_t t = time_t(nUnixTime);
    tm lt{};
    if (!localtime_r(&t, &lt)) return 0;
    nYear = lt.tm_year + 1900;
    nMonth = lt.tm_mon + 1;
    nDay = lt.tm_mday;
    return 1;
}

void OsWriteStdout(const char* pszText) { fputs(pszText, stdout); }

void OsOutputDebugString(const char*) {}

bool OsPathsIgnoreCase() { return false; }

bool OsIsDbcsLeadByte(uint8_t b) { return s_bLeadLo <= s_bLeadHi && b >= s_bLeadLo && b <= s_bLeadHi; }

void OsSetDbcsLeadByteRange(uint8_t bLo, uint8_t bHi) {
    s_bLeadLo = bLo;
    s_bLeadHi = bHi;
}
