#include "HalvexCode.h"

#include <cstring>
#include <map>
#include <memory>

#include "../catalogue/packagelist.h"
#include "../datafile/CRCChkFile.h"
#include "../log/Logger.h"
#include "../platform/AnsiText.h"
#include "../platform/OsFile.h"
#include "../platform/OsProcess.h"
#include "../platform/OsSync.h"
#include "../platform/OsSystem.h"

std::atomic<int32_t> ForceCopyFlag{1};

namespace {
constexpr const char* CLIENT_VIEW_EXE = "HalvexView.exe";
constexpr int COPY_ATTEMPTS = 31;
constexpr uint32_t COPY_PAUSE_MS = 100;

// Serialises creation and destruction of the catalogue; lookups use the map's own lock.
CCriticalSection s_csPkgList;
std::atomic<CPackageList*> s_pPkgList{nullptr};

// Never loaded or read: its construction resets the deleted-package list's
// attributes once as the module starts.
CPackageList s_PkgListAtStart;

// Freshness of working copies, per data file. A data file whose copy
// generation is not the current one is copied afresh; Reset starts a new
// generation. (One flag for all files, cleared by the first copy, used to let
// the store list's right file go stale for ever.)
std::atomic<uint32_t> s_dwCopyGeneration{1};
CCriticalSection s_csCopied;
std::map<std::string, uint32_t> s_mapCopiedGeneration;

std::string FreshnessKey(const std::string& strPath) {
    std::string strKey(strPath);
    if (OsPathsIgnoreCase()) LowerAscii(strKey);
    return strKey;
}

bool IsCopyFresh(const std::string& strPath) {
    CScopedLock lock(s_csCopied);
    const auto it = s_mapCopiedGeneration.find(FreshnessKey(strPath));
    return it != s_mapCopiedGeneration.end() && it->second == s_dwCopyGeneration.load();
}

void MarkCopyFresh(const std::string& strPath) {
    CScopedLock lock(s_csCopied);
    s_mapCopiedGeneration[FreshnessKey(strPath)] = s_dwCopyGeneration.load();
}

}  // namespace

CPackageList* GetPkgList() {
    CPackageList* pList = s_pPkgList.load(std::memory_order_acquire);
    if (pList) return pList;
    CScopedLock lock(s_csPkgList);
    pList = s_pPkgList.load(std::memory_order_relaxed);
    if (!pList) {
        pList = new CPackageList;
        s_pPkgList.store(pList, std::memory_order_release);  // stored whole, once built
    }
    return pList;
}

void ReleasePkgList() {
    if (!s_pPkgList.load(std::memory_order_acquire)) return;
    CScopedLock lock(s_csPkgList);
    delete s_pPkgList.exchange(nullptr);
}

std::string FieldToText(const CByteField& field) {
    uint32_t n = field.GetLength();
    const uint8_t* p = field.GetData();
    while (n > 0 && p[n - 1] == 0) --n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

OS_EXPORT void Reset() {
    ForceCopyFlag = 1;
    ++s_dwCopyGeneration;
}

extern "C" OS_EXPORT int GetPkgFullPath(uint32_t dwPkgId, char* pszBuf, uint32_t dwBufLen) {
    if (!pszBuf) return 0;  // nothing to write into: no answer, nothing touched
    try {
        // Only the chosen path leaves the lock: a whole record copy costs its
        // byte-field and text allocations on every lookup.
        std::string strPath;
        if (!GetPkgList()->FindPath(dwPkgId, strPath)) return 0;
        if (dwBufLen == 0 || strPath.size() > dwBufLen - 1) return 0;
        memcpy(pszBuf, strPath.data(), strPath.size());
        pszBuf[strPath.size()] = 0;
        return 1;
    } catch (...) {  // out of memory: no answer rather than an exception into the host
        return 0;
    }
}

std::string GetRightFilePath(const std::string& strPath) { return strPath + "_"; }

int TryCopyRightFile(const std::string& strRightPath, const std::string& strPath) {
    for (int nAttempt = 1; nAttempt <= COPY_ATTEMPTS; ++nAttempt) {
        if (!OsCopyFile(strPath.c_str(), strRightPath.c_str())) continue;  // at once: no pause, no line
        CCRCChkFile file;
        if (!file.Open(strRightPath.c_str(), CFile::modeRead | CFile::shareExclusive, nullptr)) {
            OsSleep(COPY_PAUSE_MS);
            continue;
        }
        uint64_t nLength = 0;
        try {
            nLength = file.GetLength();
        } catch (...) {
            nLength = 0;
        }
        if (nLength != 0) {
            LOG_PRINT(Info, "the copy file size not equal zero.");
            return 1;
        }
        LOG_PRINT(Info, "the copy file size equal zero.");
        try {
            file.Close();
        } catch (...) {
        }
        OsSleep(COPY_PAUSE_MS);
    }
    return 0;
}

std::string CopyRightFile(const std::string& strPath) {
    const std::string strRightPath = GetRightFilePath(strPath);
    if (IsCopyFresh(strPath) && OsPathExists(strRightPath.c_str())) {
        LOG_PRINT(Info, "RightFile Exist");
        return strRightPath;
    }
    if (TryCopyRightFile(strRightPath, strPath)) {
        ForceCopyFlag = 0;
        MarkCopyFresh(strPath);
        LOG_PRINT(Info, "CopyRightFile succeed");
        return strRightPath;
    }
    LOG_PRINT(Info, "CopyRightFile Failed!");
    return strPath;
}

int GetProcessModulePath(char* pszBuffer, uint32_t dwProcessId) {
    CProcessSnapshot snapshot;
    if (!snapshot.OpenModules(dwProcessId)) {
        const uint32_t dwError = OsGetLastError();
        LOG_PRINT(Trace, "Create process(Process Id:%d) snapshot error.Error code:%d", int(dwProcessId), int(dwError));
        return 0;
    }
    if (!snapshot.FirstModule(pszBuffer, OS_MAX_PATH)) {
        const uint32_t dwError = OsGetLastError();
        LOG_PRINT(Trace, "Get process(Process Id:%d) first module error.Error code:%d", int(dwProcessId),
                  int(dwError));
    }
    return 1;
}

std::string EnumProcessName() {
    CProcessSnapshot snapshot;
    if (!snapshot.OpenProcesses()) {
        const uint32_t dwError = OsGetLastError();
        LOG_PRINT(Error, "EnumProcessName CreateToolhelp32Snapshot failed error=%ld.", long(dwError));
        return std::string();
    }
    std::string strResult;
    SProcessEntry entry{};
    for (int bMore = snapshot.FirstProcess(entry); bMore; bMore = snapshot.NextProcess(entry)) {
        if (!EqualNoCaseMb(entry.szExeFile, CLIENT_VIEW_EXE)) continue;
        char szPath[OS_MAX_PATH] = {};
        if (GetProcessModulePath(szPath, entry.dwProcessId)) strResult = szPath;
        break;  // the first match only, whatever came of it
    }
    return strResult;
}

std::string GetClientViewDir() {
    const std::string strPath = EnumProcessName();
    if (strPath.empty()) return std::string();
    const char* pszSlash = FindLastCharMb(strPath.c_str(), '\\');
    if (!pszSlash) return std::string();
    return std::string(strPath.c_str(), pszSlash);
}

int InitPkgList() {
    const std::string strDir = GetClientViewDir();
    if (strDir.empty()) return 0;
    const std::string strMenu = strDir + "\\data\\PkgMenuList.dat";
    const std::string strMenuEx = strDir + "\\data\\PkgMenuListEx.dat";
    const std::string strStore = strDir + "\\data\\PkgStoreList.dat";
    return GetPkgList()->LoadPkgList(strMenu.c_str(), strMenuEx.c_str(), strStore.c_str());
}

extern "C" int OS_STDCALL DllMain(void* /*hModule*/, uint32_t dwReason, void* /*pReserved*/) {
    try {
        if (dwReason == OS_PROCESS_ATTACH)
            InitPkgList();
        else if (dwReason == OS_PROCESS_DETACH)
            ReleasePkgList();
    } catch (...) {  // the module always loads; nothing may cross the entry
    }
    return 1;
}
