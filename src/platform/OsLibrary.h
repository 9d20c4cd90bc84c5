// Loading a shared library at run time and finding its exports, for hosts
// and tools (the library itself loads nothing).
#pragma once

#include <cstdint>

// One loaded library per object; unloaded by Close or destruction. Unloading
// runs the library's unload notification on the calling thread.
class CDynamicLibrary {
public:
    CDynamicLibrary() = default;
    ~CDynamicLibrary();
    CDynamicLibrary(const CDynamicLibrary&) = delete;
    CDynamicLibrary& operator=(const CDynamicLibrary&) = delete;

    // Loads the library at pszPath (backslash or native form). A path
    // without a directory is searched for as the system searches.
    // Returns 1, or 0 with the cause in OsGetLastError.
    int Open(const char* pszPath);
    // Address of the export named pszName, or null.
    void* GetSymbol(const char* pszName) const;
    // Address of the export with this ordinal, or null; systems whose
    // libraries have no ordinals answer null with OS_ERROR_NOT_SUPPORTED.
    void* GetOrdinal(uint16_t wOrdinal) const;
    // True on systems whose libraries export by ordinal.
    static bool HasOrdinals();
    // Text of the last load or lookup failure (the system's own words where
    // it has them), for messages.
    static const char* LastErrorText();

    bool IsOpen() const { return m_pHandle != nullptr; }
    void Close();

private:
    void* m_pHandle = nullptr;  // backend's module handle
};
