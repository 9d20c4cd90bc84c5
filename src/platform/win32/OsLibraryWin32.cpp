#ifndef _WIN32
#error "Win32 backend built for another system"
#endif
#include "OsWin32.h"

#include <cstdio>
#include <cstring>

#include "../OsLibrary.h"

namespace {
thread_local char s_szLastError[512];

void SaveError(const char* pszWhat) {
    const DWORD dwError = GetLastError();
    char szSystem[400] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError, 0, szSystem,
                   sizeof(szSystem), nullptr);
    // The system's text ends in a line break that messages do not want.
    for (size_t n = strlen(szSystem); n > 0 && (szSystem[n - 1] == '\n' || szSystem[n - 1] == '\r'); --n)
        szSystem[n - 1] = 0;
    snprintf(s_szLastError, sizeof(s_szLastError), "%s: error %lu %s", pszWhat, (unsigned long)dwError, szSystem);
    SetLastError(dwError);
}

HMODULE Module(void* p) { return static_cast<HMODULE>(p); }
}  // namespace

CDynamicLibrary::~CDynamicLibrary() { Close(); }

int CDynamicLibrary::Open(const char* pszPath) {
    Close();
    m_pHandle = LoadLibraryA(pszPath);
    if (!m_pHandle) {
        SaveError("LoadLibraryA");
        return 0;
    }
    return 1;
}

void* CDynamicLibrary::GetSymbol(const char* pszName) const {
    if (!m_pHandle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* p = reinterpret_cast<void*>(GetProcAddress(Module(m_pHandle), pszName));
    if (!p) SaveError("GetProcAddress");
    return p;
}

void* CDynamicLibrary::GetOrdinal(uint16_t wOrdinal) const {
    if (!m_pHandle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* p = reinterpret_cast<void*>(GetProcAddress(Module(m_pHandle), MAKEINTRESOURCEA(wOrdinal)));
    if (!p) SaveError("GetProcAddress(ordinal)");
    return p;
}

bool CDynamicLibrary::HasOrdinals() { return true; }

const char* CDynamicLibrary::LastErrorText() { return s_szLastError; }

void CDynamicLibrary::Close() {
    if (m_pHandle) FreeLibrary(Module(m_pHandle));
    m_pHandle = nullptr;
}
