// Helpers shared by the POSIX backend's files; never included by the core.
#pragma once
#ifdef _WIN32
#error "POSIX backend built for Windows"
#endif

#include <cstdint>
#include <string>

// Backslash path of the core to the file system's slash form, and back.
std::string OsToNativePath(const char* pszPath);
std::string OsFromNativePath(const std::string& strNative);

// errno to the Win32 code the core expects.
uint32_t OsErrorFromErrno(int nErrno);

// Sets the thread's last error from errno and returns the mapped code.
uint32_t OsSetLastErrorFromErrno();

// Wildcard match of a whole name ("*", "?"), ASCII letter case ignored.
bool OsWildcardMatch(const char* pszPattern, const char* pszName);

// Object name "Global\host.mem" to the POSIX shared-memory name "/Global.host.mem".
std::string OsSharedObjectName(const char* pszName);
