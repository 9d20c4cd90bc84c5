#ifdef _WIN32
#error "POSIX backend built for Windows"
#endif

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "../OsLibrary.h"
#include "../OsSystem.h"
#include "OsPosix.h"

namespace {
thread_local char s_szLastError[512];

void SaveDlError() {
    const char* pszError = dlerror();
    snprintf(s_szLastError, sizeof(s_szLastError), "%s", pszError ? pszError : "unknown error");
}
}  // namespace

CDynamicLibrary::~CDynamicLibrary() { Close(); }

int CDynamicLibrary::Open(const char* pszPath) {
    Close();
    // A bare name is left to the loader's search, as the system would; a path
    // with a separator is mapped to the native form.
    const bool bHasDir = strchr(pszPath, '\\') || strchr(pszPath, '/');
    const std::string strNative = bHasDir ? OsToNativePath(pszPath) : std::string(pszPath);
    m_pHandle = dlopen(strNative.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_pHandle) {
        SaveDlError();
        OsSetLastError(OS_ERROR_FILE_NOT_FOUND);  // dlopen reports no errno
        return 0;
    }
    return 1;
}

void* CDynamicLibrary::GetSymbol(const char* pszName) const {
    if (!m_pHandle) {
        OsSetLastError(OS_ERROR_INVALID_HANDLE);
        return nullptr;
    }
    dlerror();
    void* p = dlsym(m_pHandle, pszName);
    if (!p) {
        SaveDlError();
        OsSetLastError(127);  // ERROR_PROC_NOT_FOUND
    }
    return p;
}

void* CDynamicLibrary::GetOrdinal(uint16_t /*wOrdinal*/) const {
    snprintf(s_szLastError, sizeof(s_szLastError), "shared objects have no export ordinals");
    OsSetLastError(OS_ERROR_NOT_SUPPORTED);
    return nullptr;
}

bool CDynamicLibrary::HasOrdinals() { return false; }

const char* CDynamicLibrary::LastErrorText() { return s_szLastError; }

void CDynamicLibrary::Close() {
    if (m_pHandle) dlclose(m_pHandle);
    m_pHandle = nullptr;
}
