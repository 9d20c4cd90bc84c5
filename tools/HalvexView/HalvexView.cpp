// Substitute client view program: a process named HalvexView.exe whose
// executable directory holds the catalogue's list files in "data".
//
//   HalvexView.exe [--write-sample | --no-write]
//
// --write-sample  writes the built-in sample catalogue into the data directory
//                 beside the executable (created if missing), replacing the
//                 three list files, then serves.
// --no-write      (the default) leaves the data directory as it is: tests lay
//                 out their own files.
//
// Once its files are in place it prints one line
//   "HalvexView ready pid=<process id> dir=<executable directory>"
// and flushes it, so a starter can wait for that line before it loads the
// library. It then runs until it is stopped (a terminating signal, Ctrl-C, or
// being killed); it answers nothing, like the real program it only has to
// exist under its name.

#include <cstdio>
#include <cstring>
#include <string>

#include "SampleCatalogue.h"
#include "platform/OsFile.h"
#include "platform/OsSystem.h"

namespace {
void Usage(FILE* pOut) {
    fprintf(pOut,
            "usage: HalvexView.exe [--write-sample | --no-write]\n"
            "  --write-sample  write the built-in sample catalogue into the data directory beside the program\n"
            "  --no-write      write nothing (the default)\n");
}

std::string ExecutableDir() {
    char szPath[HOST_PATH_BUFFER] = {};
    if (OsGetModuleFileName(szPath, sizeof(szPath)) == 0) return std::string();
    const char* pszSlash = strrchr(szPath, '\\');
    return pszSlash ? std::string(szPath, size_t(pszSlash - szPath)) : std::string();
}

// 1 when every sample file was written whole.
int WriteSample(const std::string& strDataDir) {
    if (g_nSampleFiles == 0) {
        fprintf(stderr, "HalvexView: this build carries no sample catalogue (examples/data was empty)\n");
        return 0;
    }
    if (!OsPathExists(strDataDir.c_str()) && !OsCreateDirectory(strDataDir.c_str())) {
        fprintf(stderr, "HalvexView: cannot create %s (error %u)\n", strDataDir.c_str(), unsigned(OsGetLastError()));
        return 0;
    }
    for (const SSampleFile* p = g_aSampleFiles; p->pszName; ++p) {
        const std::string strPath = strDataDir + "\\" + p->pszName;
        // An earlier read-only copy is replaced, not refused.
        if (OsPathExists(strPath.c_str())) OsSetFileAttributesNormal(strPath.c_str());
        CFile file;
        CFileException error(CFileException::none, 0);
        if (!file.Open(strPath.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error)) {
            fprintf(stderr, "HalvexView: cannot create %s (error %u)\n", strPath.c_str(), unsigned(error.m_lOsError));
            return 0;
        }
        try {
            file.Write(p->pbData, p->nSize);
            file.Close();
        } catch (const CFileException& e) {
            fprintf(stderr, "HalvexView: cannot write %s (error %u)\n", strPath.c_str(), unsigned(e.m_lOsError));
            return 0;
        }
    }
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    bool bWriteSample = false;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--write-sample") == 0) {
            bWriteSample = true;
        } else if (strcmp(argv[i], "--no-write") == 0) {
            bWriteSample = false;
        } else if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            Usage(stdout);
            return 0;
        } else {
            fprintf(stderr, "HalvexView: unknown option %s\n", argv[i]);
            Usage(stderr);
            return 2;
        }
    }
    const std::string strDir = ExecutableDir();
    if (strDir.empty()) {
        fprintf(stderr, "HalvexView: cannot read the executable's own path\n");
        return 1;
    }
    if (bWriteSample && !WriteSample(strDir + "\\data")) return 1;

    printf("HalvexView ready pid=%u dir=%s\n", unsigned(OsGetCurrentProcessId()), strDir.c_str());
    fflush(stdout);
    // Nothing to do but be found; the default action of a terminating signal
    // or console break ends the process.
    for (;;) OsSleep(60 * 1000);
}
