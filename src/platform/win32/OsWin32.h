// The Win32 backend's one include of the system header; never seen by the core.
#pragma once
#ifndef _WIN32
#error "Win32 backend built for another system"
#endif

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

inline bool OsIsValidHandle(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
