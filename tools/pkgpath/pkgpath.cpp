// pkgpath: the host side of the library, for people and tests.
//
//   pkgpath [--lib PATH] [--reset] [--buffer N] ID...
//
// Loads the library at run time (by default the one beside this program,
// else wherever the system finds it by name), resolves both exports, and
// prints one line per id:
//   "<id> <path>"        the library answered 1
//   "<id> not found"     the library answered 0
// Where the system exports by ordinal, each export is resolved both by
// ordinal and by name and the two must be the same function.
// --reset      after the first answers, calls Reset and asks again; the
//              answers must not change.
// --pause-before-reset
//              with --reset: prints "waiting before Reset", then waits for a
//              line on standard input, so a test can change the list files
//              between the answers and Reset.
// --buffer N   size of the caller's buffer in bytes (default 260).
//
// Exit codes: 0 every id found; 1 some id not found; 2 usage, load or
// resolution error, or an answer of 0 that wrote into the buffer; 3 the
// answers changed after Reset.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HalvexDll.h"
#include "platform/OsFile.h"
#include "platform/OsLibrary.h"
#include "platform/OsSystem.h"

namespace {
constexpr int EXIT_NOT_FOUND = 1;
constexpr int EXIT_ERROR = 2;
constexpr int EXIT_RESET_CHANGED = 3;

// Export names as the library's export table holds them. The system with
// ordinals is the one whose export table carries the C++ name in its
// Microsoft form (from the module-definition file).
const char* const GET_PKG_FULL_PATH_NAME = "GetPkgFullPath";
const char* ResetName() { return CDynamicLibrary::HasOrdinals() ? "?Reset@@YAXXZ" : "_Z5Resetv"; }
constexpr uint16_t RESET_ORDINAL = 1;
constexpr uint16_t GET_PKG_FULL_PATH_ORDINAL = 2;

struct SAnswer {
    int nResult;
    std::string strPath;
    bool bTouchedOnFailure = false;  // answered 0 yet wrote into the buffer
    bool operator==(const SAnswer& o) const { return nResult == o.nResult && strPath == o.strPath; }
};

void Usage(FILE* pOut) {
    fprintf(pOut,
            "usage: pkgpath [--lib PATH] [--reset] [--buffer N] ID...\n"
            "  --lib PATH   the library to load (default: %s beside pkgpath, else by name)\n"
            "  --reset      call Reset after the first answers and check that none changes\n"
            "  --pause-before-reset  with --reset: wait for a line on standard input before Reset\n"
            "  --buffer N   bytes of the answer buffer (default 260)\n"
            "prints \"ID PATH\" or \"ID not found\"; exit 0 all found, 1 some not found, 2 error, 3 Reset changed "
            "an answer\n",
            HALVEX_LIB_NAME);
}

bool ParseU32(const char* psz, uint32_t& dwValue) {
    if (!*psz || *psz == '-' || *psz == '+') return false;
    char* pEnd = nullptr;
    const unsigned long long ull = strtoull(psz, &pEnd, 0);
    if (*pEnd || ull > 0xFFFFFFFFull) return false;
    dwValue = uint32_t(ull);
    return true;
}

std::string DefaultLibraryPath() {
    char szPath[HOST_PATH_BUFFER] = {};
    if (OsGetModuleFileName(szPath, sizeof(szPath)) != 0) {
        if (char* pszSlash = strrchr(szPath, '\\')) {
            const std::string strBeside = std::string(szPath, pszSlash + 1) + HALVEX_LIB_NAME;
            if (OsPathExists(strBeside.c_str())) return strBeside;
        }
    }
    return HALVEX_LIB_NAME;
}

// Resolves one export by name and, where there are ordinals, by ordinal too;
// null (after a message) when it is missing or the two disagree.
void* Resolve(const CDynamicLibrary& lib, const char* pszName, uint16_t wOrdinal) {
    void* pByName = lib.GetSymbol(pszName);
    if (!pByName) {
        fprintf(stderr, "pkgpath: export %s not found: %s\n", pszName, CDynamicLibrary::LastErrorText());
        return nullptr;
    }
    if (!CDynamicLibrary::HasOrdinals()) return pByName;
    void* pByOrdinal = lib.GetOrdinal(wOrdinal);
    if (!pByOrdinal) {
        fprintf(stderr, "pkgpath: export ordinal %u not found: %s\n", unsigned(wOrdinal),
                CDynamicLibrary::LastErrorText());
        return nullptr;
    }
    if (pByOrdinal != pByName) {
        fprintf(stderr, "pkgpath: ordinal %u is not %s\n", unsigned(wOrdinal), pszName);
        return nullptr;
    }
    return pByName;
}

std::vector<SAnswer> AskAll(PFN_GetPkgFullPath pfnGet, const std::vector<uint32_t>& vecIds, uint32_t dwBufLen) {
    std::vector<SAnswer> vecAnswers;
    std::vector<char> vecBuf(dwBufLen + 1u);
    for (uint32_t dwId : vecIds) {
        // A marker the library must leave alone when it answers 0.
        std::fill(vecBuf.begin(), vecBuf.end(), '\x5a');
        SAnswer answer;
        answer.nResult = pfnGet(dwId, vecBuf.data(), dwBufLen);
        if (answer.nResult == 1)
            answer.strPath.assign(vecBuf.data(), strnlen(vecBuf.data(), dwBufLen));
        else
            answer.bTouchedOnFailure = std::any_of(vecBuf.begin(), vecBuf.end(), [](char c) { return c != '\x5a'; });
        vecAnswers.push_back(answer);
    }
    return vecAnswers;
}
}  // namespace

int main(int argc, char** argv) {
    std::string strLib;
    bool bReset = false;
    bool bPauseBeforeReset = false;
    uint32_t dwBufLen = 260;
    std::vector<uint32_t> vecIds;
    for (int i = 1; i < argc; ++i) {
        const char* pszArg = argv[i];
        if (strcmp(pszArg, "--lib") == 0 && i + 1 < argc) {
            strLib = argv[++i];
        } else if (strcmp(pszArg, "--reset") == 0) {
            bReset = true;
        } else if (strcmp(pszArg, "--pause-before-reset") == 0) {
            bPauseBeforeReset = true;
        } else if (strcmp(pszArg, "--buffer") == 0 && i + 1 < argc) {
            if (!ParseU32(argv[++i], dwBufLen) || dwBufLen > (1u << 20)) {
                fprintf(stderr, "pkgpath: bad buffer size %s\n", argv[i]);
                return EXIT_ERROR;
            }
        } else if (strcmp(pszArg, "--help") == 0 || strcmp(pszArg, "-h") == 0) {
            Usage(stdout);
            return 0;
        } else {
            uint32_t dwId = 0;
            if (!ParseU32(pszArg, dwId)) {
                fprintf(stderr, "pkgpath: not a package id: %s\n", pszArg);
                Usage(stderr);
                return EXIT_ERROR;
            }
            vecIds.push_back(dwId);
        }
    }
    if (vecIds.empty()) {
        Usage(stderr);
        return EXIT_ERROR;
    }
    if (strLib.empty()) strLib = DefaultLibraryPath();

    CDynamicLibrary lib;
    if (!lib.Open(strLib.c_str())) {
        fprintf(stderr, "pkgpath: cannot load %s: %s\n", strLib.c_str(), CDynamicLibrary::LastErrorText());
        return EXIT_ERROR;
    }
    auto pfnGet = reinterpret_cast<PFN_GetPkgFullPath>(Resolve(lib, GET_PKG_FULL_PATH_NAME, GET_PKG_FULL_PATH_ORDINAL));
    auto pfnReset = reinterpret_cast<PFN_Reset>(Resolve(lib, ResetName(), RESET_ORDINAL));
    if (!pfnGet || !pfnReset) return EXIT_ERROR;

    const std::vector<SAnswer> vecAnswers = AskAll(pfnGet, vecIds, dwBufLen);
    int nExit = 0;
    for (size_t i = 0; i < vecIds.size(); ++i) {
        if (vecAnswers[i].nResult == 1) {
            printf("%u %s\n", unsigned(vecIds[i]), vecAnswers[i].strPath.c_str());
        } else {
            printf("%u not found\n", unsigned(vecIds[i]));
            if (nExit == 0) nExit = EXIT_NOT_FOUND;
        }
        if (vecAnswers[i].bTouchedOnFailure) {
            fprintf(stderr, "pkgpath: id %u answered 0 but wrote into the buffer\n", unsigned(vecIds[i]));
            nExit = EXIT_ERROR;
        }
    }
    if (bReset) {
        if (bPauseBeforeReset) {
            printf("waiting before Reset\n");
            fflush(stdout);
            char szLine[16];
            if (!fgets(szLine, sizeof(szLine), stdin)) {
                fprintf(stderr, "pkgpath: standard input closed before Reset\n");
                return EXIT_ERROR;
            }
        }
        pfnReset();
        const std::vector<SAnswer> vecAfter = AskAll(pfnGet, vecIds, dwBufLen);
        for (size_t i = 0; i < vecIds.size(); ++i) {
            if (vecAfter[i] == vecAnswers[i]) continue;
            fprintf(stderr, "pkgpath: after Reset id %u answered %d \"%s\", before %d \"%s\"\n", unsigned(vecIds[i]),
                    vecAfter[i].nResult, vecAfter[i].strPath.c_str(), vecAnswers[i].nResult,
                    vecAnswers[i].strPath.c_str());
            nExit = EXIT_RESET_CHANGED;
        }
        if (nExit != EXIT_RESET_CHANGED) printf("Reset: no answer changed\n");
    }
    fflush(stdout);
    lib.Close();  // the unload notification runs here, on this thread
    return nExit;
}
