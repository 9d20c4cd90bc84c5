// Values the core shares with the system, in the system's own numbering.
//
// The core speaks Windows: error codes are Win32 codes whichever backend runs,
// so a log line reads the same on both platforms. The POSIX backend maps errno
// onto these in one table (OsErrorPosix.cpp).
#pragma once

#include <cstdint>

// Win32 error codes the core or the POSIX mapping uses.
constexpr uint32_t OS_ERROR_SUCCESS = 0;
constexpr uint32_t OS_ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t OS_ERROR_PATH_NOT_FOUND = 3;
constexpr uint32_t OS_ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr uint32_t OS_ERROR_ACCESS_DENIED = 5;
constexpr uint32_t OS_ERROR_INVALID_HANDLE = 6;
constexpr uint32_t OS_ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t OS_ERROR_NO_MORE_FILES = 18;
constexpr uint32_t OS_ERROR_SHARING_VIOLATION = 32;
constexpr uint32_t OS_ERROR_LOCK_VIOLATION = 33;
constexpr uint32_t OS_ERROR_HANDLE_EOF = 38;
constexpr uint32_t OS_ERROR_FILE_EXISTS = 80;
constexpr uint32_t OS_ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t OS_ERROR_DISK_FULL = 112;
constexpr uint32_t OS_ERROR_ALREADY_EXISTS = 183;
constexpr uint32_t OS_ERROR_FILENAME_EXCED_RANGE = 206;
constexpr uint32_t OS_ERROR_NOT_SUPPORTED = 50;
constexpr uint32_t OS_ERROR_GEN_FAILURE = 31;

// The platform's maximum path length, and the host-path buffer the logger and
// the catalogue read the executable's path into.
constexpr uint32_t OS_MAX_PATH = 260;
constexpr uint32_t HOST_PATH_BUFFER = 512;

constexpr uint32_t OS_FILE_ATTRIBUTE_NORMAL = 0x80;
