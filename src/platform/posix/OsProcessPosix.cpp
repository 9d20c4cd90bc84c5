#ifdef _WIN32
#error "POSIX backend built for Windows"
#endif

// A process's executable file name is the base name of /proc/PID/exe, or its
// process name where that link cannot be read; its full path is the target of
// /proc/PID/exe in backslash form. Processes are walked in ascending id order.

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../OsProcess.h"
#include "../OsSystem.h"
#include "OsPosix.h"

namespace {
struct SSnapshotState {
    std::vector<SProcessEntry> vecProcesses;
    size_t nNext = 0;
    uint32_t dwModulePid = 0;
    bool bModules = false;
};

bool ReadExeLink(uint32_t dwPid, std::string& strTarget) {
    char szLink[64], szTarget[PATH_MAX];
    snprintf(szLink, sizeof(szLink), "/proc/%u/exe", dwPid);
    const ssize_t n = readlink(szLink, szTarget, sizeof(szTarget) - 1);
    if (n <= 0) return false;
    szTarget[n] = 0;
    strTarget = szTarget;
    // A replaced executable reads "path (deleted)"; the name is still its own.
    const std::string strDeleted = " (deleted)";
    if (strTarget.size() > strDeleted.size() &&
        strTarget.compare(strTarget.size() - strDeleted.size(), strDeleted.size(), strDeleted) == 0)
        strTarget.resize(strTarget.size() - strDeleted.size());
    return true;
}

void CopyCut(char* pszDest, uint32_t dwSize, const std::string& str) {
    if (dwSize == 0) return;
    const size_t n = std::min<size_t>(str.size(), dwSize - 1);
    memcpy(pszDest, str.data(), n);
    pszDest[n] = 0;
}
}  // namespace

CProcessSnapshot::~CProcessSnapshot() { Close(); }

void CProcessSnapshot::Close() {
    delete static_cast<SSnapshotState*>(m_pState);
    m_pState = nullptr;
}

int CProcessSnapshot::OpenProcesses() {
    Close();
    DIR* pDir = opendir("/proc");
    if (!pDir) {
        OsSetLastErrorFromErrno();
        return 0;
    }
    auto* pState = new SSnapshotState;
    while (const dirent* pEntry = readdir(pDir)) {
        char* pEnd = nullptr;
        const unsigned long ulPid = strtoul(pEntry->d_name, &pEnd, 10);
        if (pEnd == pEntry->d_name || *pEnd) continue;
        SProcessEntry entry{};
        entry.dwProcessId = uint32_t(ulPid);
        std::string strName;
        if (ReadExeLink(entry.dwProcessId, strName)) {
            strName = strName.substr(strName.rfind('/') + 1);
        } else {
            char szComm[64];
            snprintf(szComm, sizeof(szComm), "/proc/%lu/comm", ulPid);
            if (FILE* pFile = fopen(szComm, "r")) {
                char szLine[OS_MAX_PATH] = "";
                if (fgets(szLine, sizeof(szLine), pFile)) strName = szLine;
                fclose(pFile);
            }
            while (!strName.empty() && strName.back() == '\n') strName.pop_back();
            if (strName.empty()) continue;  // gone meanwhile
        }
        CopyCut(entry.szExeFile, sizeof(entry.szExeFile), strName);
        pState->vecProcesses.push_back(entry);
    }
    closedir(pDir);
    std::sort(pState->vecProcesses.begin(), pState->vecProcesses.end(),
              [](const SProcessEntry& a, const SProcessEntry& b) { return a.dwProcessId < b.dwProcessId; });
    m_pState = pState;
    return 1;
}

int CProcessSnapshot::FirstProcess(SProcessEntry& entry) {
    auto* pState = static_cast<SSnapshotState*>(m_pState);
    if (!pState || pState->bModules) {
        OsSetLastError(OS_ERROR_INVALID_HANDLE);
        return 0;
    }
    pState->nNext = 0;
    return NextProcess(entry);
}

int CProcessSnapshot::NextProcess(SProcessEntry& entry) {
    auto* pState = static_cast<SSnapshotState*>(m_pState);
    if (!pState || pState->bModules || pState->nNext >= pState->vecProcesses.size()) {
        OsSetLastError(pState ? OS_ERROR_NO_MORE_FILES : OS_ERROR_INVALID_HANDLE);
        return 0;
    }
    entry = pState->vecProcesses[pState->nNext++];
    return 1;
}

int CProcessSnapshot::OpenModules(uint32_t dwProcessId) {
    Close();
    char szDir[64];
    snprintf(szDir, sizeof(szDir), "/proc/%u", dwProcessId);
    if (access(szDir, F_OK) != 0) {
        OsSetLastError(OS_ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string strTarget;
    if (!ReadExeLink(dwProcessId, strTarget)) {
        OsSetLastErrorFromErrno();
        return 0;
    }
    auto* pState = new SSnapshotState;
    pState->bModules = true;
    pState->dwModulePid = dwProcessId;
    m_pState = pState;
    return 1;
}

int CProcessSnapshot::FirstModule(char* pszPath, uint32_t dwSize) {
    auto* pState = static_cast<SSnapshotState*>(m_pState);
    std::string strTarget;
    if (!pState || !pState->bModules) {
        OsSetLastError(OS_ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!ReadExeLink(pState->dwModulePid, strTarget)) {
        OsSetLastErrorFromErrno();
        return 0;
    }
    CopyCut(pszPath, dwSize, OsFromNativePath(strTarget));
    return 1;
}
