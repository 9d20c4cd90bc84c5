#ifndef _WIN32
#error "Win32 backend built for another system"
#endif
#include "OsWin32.h"

#include <atomic>
#include <cstdio>
#include <ctime>

#include "../OsSystem.h"

uint32_t OsGetModuleFileName(char* pszPath, uint32_t dwSize) {
    if (dwSize == 0) return 0;
    const DWORD dwLen = GetModuleFileNameA(nullptr, pszPath, dwSize);
    // A path that does not fit comes back cut; make sure it is terminated.
    if (dwLen >= dwSize) {
        pszPath[dwSize - 1] = 0;
        return dwSize - 1;
    }
    if (dwLen == 0) pszPath[0] = 0;
    return dwLen;
}

uint32_t OsGetLastError() { return GetLastError(); }
void OsSetLastError(uint32_t dwError) { SetLastError(dwError); }
uint32_t OsGetCurrentThreadId() { return GetCurrentThreadId(); }
uint32_t OsGetCurrentProcessId() { return GetCurrentProcessId(); }
namespace {
std::atomic<PFN_SLEEP_HOOK> s_pfnSleepHook{nullptr};
}

void OsSetSleepHook(PFN_SLEEP_HOOK pfnHook) { s_pfnSleepHook = pfnHook; }

void OsSleep(uint32_t dwMilliseconds) {
    if (const PFN_SLEEP_HOOK pfnHook = s_pfnSleepHook.load()) {
        pfnHook(dwMilliseconds);
        return;
    }
    Sleep(dwMilliseconds);
}

void OsGetLocalTime(SLocalTime& st) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    st.wYear = t.wYear;
    st.wMonth = t.wMonth;
    st.wDayOfWeek = t.wDayOfWeek;
    st.wDay = t.wDay;
    st.wHour = t.wHour;
    st.wMinute = t.wMinute;
    st.wSecond = t.wSecond;
    st.wMilliseconds = t.wMilliseconds;
}

int OsLocalDate(int64_t nUnixTime, int& nYear, int& nMonth, int& nDay) {
    const time_t t = time_t(nUnixTime);
    tm lt{};
    if (localtime_s(&lt, &t) != 0) return 0;
    nYear = lt.tm_year + 1900;
    nMonth = lt.tm_mon + 1;
    nDay = lt.tm_mday;
    return 1;
}

void OsWriteStdout(const char* pszText) { printf("%s", pszText); }
void OsOutputDebugString(const char* pszText) { OutputDebugStringA(pszText); }
bool OsPathsIgnoreCase() { return true; }
namespace {
// A test's lead-byte range, when one is set; otherwise the system's code page decides.
std::atomic<bool> s_bLeadOverride{false};
std::atomic<uint8_t> s_bLeadLo{1}, s_bLeadHi{0};
}  // namespace

bool OsIsDbcsLeadByte(uint8_t b) {
    if (s_bLeadOverride.load()) return b >= s_bLeadLo.load() && b <= s_bLeadHi.load();
    return IsDBCSLeadByte(b) != FALSE;
}

void OsSetDbcsLeadByteRange(uint8_t bLo, uint8_t bHi) {
    s_bLeadLo = bLo;
    s_bLeadHi = bHi;
    s_bLeadOverride = bLo <= bHi;
}
