#ifndef _WIN32
#error "Win32 backend built for another system"
#endif
#include "OsWin32.h"

#include <tlhelp32.h>

#include <cstring>

#include "../OsProcess.h"
#include "../OsSystem.h"

// The snapshot handle is kept in m_pState.
static HANDLE Snap(void* p) { return static_cast<HANDLE>(p); }

CProcessSnapshot::~CProcessSnapshot() { Close(); }

void CProcessSnapshot::Close() {
    if (m_pState) CloseHandle(Snap(m_pState));
    m_pState = nullptr;
}

int CProcessSnapshot::OpenProcesses() {
    Close();
    const HANDLE h = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (h == INVALID_HANDLE_VALUE) return 0;
    m_pState = h;
    return 1;
}

static void Copy(SProcessEntry& entry, const PROCESSENTRY32& pe) {
    entry.dwProcessId = pe.th32ProcessID;
    static_assert(sizeof(entry.szExeFile) == sizeof(pe.szExeFile), "entry size");
    memcpy(entry.szExeFile, pe.szExeFile, sizeof(entry.szExeFile));
    entry.szExeFile[sizeof(entry.szExeFile) - 1] = 0;
}

int CProcessSnapshot::FirstProcess(SProcessEntry& entry) {
    PROCESSENTRY32 pe;
    pe.dwSize = sizeof(pe);
    if (!m_pState || !Process32First(Snap(m_pState), &pe)) return 0;
    Copy(entry, pe);
    return 1;
}

int CProcessSnapshot::NextProcess(SProcessEntry& entry) {
    PROCESSENTRY32 pe;
    pe.dwSize = sizeof(pe);
    if (!m_pState || !Process32Next(Snap(m_pState), &pe)) return 0;
    Copy(entry, pe);
    return 1;
}

int CProcessSnapshot::OpenModules(uint32_t dwProcessId) {
    Close();
    const HANDLE h = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, dwProcessId);
    if (h == INVALID_HANDLE_VALUE) return 0;
    m_pState = h;
    return 1;
}

int CProcessSnapshot::FirstModule(char* pszPath, uint32_t dwSize) {
    MODULEENTRY32 me;
    me.dwSize = sizeof(me);
    if (!m_pState || !Module32First(Snap(m_pState), &me)) return 0;
    if (dwSize == 0) return 1;
    const size_t nLen = strnlen(me.szExePath, sizeof(me.szExePath));
    const size_t n = nLen < dwSize ? nLen : dwSize - 1;
    memcpy(pszPath, me.szExePath, n);
    pszPath[n] = 0;
    return 1;
}
