// Process, thread, clock, output and code-page services of the system.
#pragma once

#include <cstdint>
#include <ctime>

#include "OsTypes.h"

// Calling convention of the module entry (stdcall on 32-bit Windows).
#if defined(__i386__) && defined(__MINGW32__)
#define OS_STDCALL __attribute__((stdcall))
#else
#define OS_STDCALL
#endif

// Marks the module's exports. Windows exports through the module-definition
// file; elsewhere everything is hidden but what carries this mark.
#if defined(_WIN32)
#define OS_EXPORT
#else
#define OS_EXPORT __attribute__((visibility("default")))
#endif

// Module entry reasons, in the system's numbering.
constexpr uint32_t OS_PROCESS_DETACH = 0;
constexpr uint32_t OS_PROCESS_ATTACH = 1;
constexpr uint32_t OS_THREAD_ATTACH = 2;
constexpr uint32_t OS_THREAD_DETACH = 3;

// Full path of the current process's executable, in backslash form, into a
// caller's buffer of `dwSize` bytes. Returns the length written; a path that
// does not fit is cut to dwSize - 1 bytes and still terminated. A buffer of
// size 0 is not touched. Returns 0 when the path cannot be read (buffer "").
uint32_t OsGetModuleFileName(char* pszPath, uint32_t dwSize);

// Error code of the last failing system call on this thread (Win32 numbering).
uint32_t OsGetLastError();
void OsSetLastError(uint32_t dwError);

uint32_t OsGetCurrentThreadId();
uint32_t OsGetCurrentProcessId();
void OsSleep(uint32_t dwMilliseconds);

// Test seam: when set, OsSleep calls the hook instead of pausing, so tests can
// count pauses and their lengths without waiting.
using PFN_SLEEP_HOOK = void (*)(uint32_t dwMilliseconds);
void OsSetSleepHook(PFN_SLEEP_HOOK pfnHook);

struct SLocalTime {
    uint16_t wYear;
    uint16_t wMonth;  // 1 to 12
    uint16_t wDayOfWeek;
    uint16_t wDay;  // 1 to 31
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

void OsGetLocalTime(SLocalTime& st);

// Local calendar date of a time in seconds since 1970 (UTC). Returns 1 and
// fills year (full), month (1 to 12) and day, or 0 when it cannot convert.
int OsLocalDate(int64_t nUnixTime, int& nYear, int& nMonth, int& nDay);

// Standard output, written as given; the text is not reinterpreted.
void OsWriteStdout(const char* pszText);

// Debugger output; on systems without one it does nothing.
void OsOutputDebugString(const char* pszText);

// True when the file system matches names without regard to letter case.
bool OsPathsIgnoreCase();

// True when the byte leads a double-byte character in the ANSI code page.
bool OsIsDbcsLeadByte(uint8_t b);

// Test seam: sets which bytes lead a double-byte character (an inclusive
// range). lo > hi goes back to the backend's own answer: the system's code
// page on Windows, none on POSIX.
void OsSetDbcsLeadByteRange(uint8_t bLo, uint8_t bHi);
