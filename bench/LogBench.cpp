// One log line with every default output (console into a sink, daily file,
// live channel) against the floor: the same line formatted into a file with
// fprintf and flushed. The ratio of the two is the logger's overhead per line.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>

#include "log/Logger.h"

namespace {
FILE* s_pSink = nullptr;

void SinkStdout(const char* pszText) { fputs(pszText, s_pSink); }

void Log(CLogger& logger, uint32_t dwLevel, const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    logger.Write(dwLevel, pszFormat, args);
    va_end(args);
}

struct STempDir {
    STempDir() {
        std::string strTemplate = (std::filesystem::temp_directory_path() / "halvexlogbenchXXXXXX").string();
        if (mkdtemp(strTemplate.data())) path = strTemplate;
    }
    ~STempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

constexpr const char* MESSAGE = "LoadFile(%s) CRC error. nBytesRead:%d, nRead:%d, LastError:%d";
constexpr const char* ARG_PATH = "c:\\games\\client\\data\\PkgMenuList.dat_";

void BM_LogLineAllOutputs(benchmark::State& state) {
    STempDir dir;
    s_pSink = fopen("/dev/null", "w");
    const std::string strHost = "logbench" + std::to_string(getpid());
    std::string strHostPath = (dir.path / (strHost + ".exe")).string();
    for (char& c : strHostPath)
        if (c == '/') c = '\\';
    {
        SLogConfig config;  // the defaults: console, daily file, channel; time and thread tags
        config.strHostPath = strHostPath;
        config.pfnStdout = &SinkStdout;
        CLogger logger(config);
        if (!logger.GetChannel().IsOn()) state.SkipWithError("channel did not open");
        int n = 0;
        for (auto _ : state) Log(logger, Error, MESSAGE, ARG_PATH, 1024, ++n, 0);
    }
    fclose(s_pSink);
    shm_unlink(("/Global." + strHost + ".mem").c_str());
    shm_unlink(("/Global." + strHost + ".evt").c_str());
}
BENCHMARK(BM_LogLineAllOutputs);

void BM_BareFormattedWriteAndFlush(benchmark::State& state) {
    STempDir dir;
    FILE* pFile = fopen((dir.path / "bare.log").c_str(), "a+");
    int n = 0;
    for (auto _ : state) {
        fprintf(pFile, "[%02u:%02u:%02u.%03u]|[%04x]|[%s]|", 14u, 3u, 7u, 15u, 0xf3cu, "Error");
        fprintf(pFile, MESSAGE, ARG_PATH, 1024, ++n, 0);
        fputs("\n", pFile);
        fflush(pFile);
    }
    fclose(pFile);
}
BENCHMARK(BM_BareFormattedWriteAndFlush);
}  // namespace
