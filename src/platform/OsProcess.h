// Snapshots of the machine's processes and of one process's modules.
#pragma once

#include <cstdint>

#include "OsTypes.h"

struct SProcessEntry {
    uint32_t dwProcessId;
    char szExeFile[OS_MAX_PATH];  // executable file name, without directory
};

// One snapshot at a time per object; closed by Close or destruction.
// Every operation returns 1 on success and 0 on failure, with the cause in
// OsGetLastError.
class CProcessSnapshot {
public:
    CProcessSnapshot() = default;
    ~CProcessSnapshot();
    CProcessSnapshot(const CProcessSnapshot&) = delete;
    CProcessSnapshot& operator=(const CProcessSnapshot&) = delete;

    // All processes of the machine.
    int OpenProcesses();
    int FirstProcess(SProcessEntry& entry);
    int NextProcess(SProcessEntry& entry);

    // The modules of one process.
    int OpenModules(uint32_t dwProcessId);
    // Full path of the process's first module (its executable), in backslash
    // form, cut to fit and terminated within dwSize bytes.
    int FirstModule(char* pszPath, uint32_t dwSize);

    void Close();

private:
    void* m_pState = nullptr;  // backend's snapshot
};
