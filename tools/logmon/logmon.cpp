// logmon: follows the live log channel of a host program.
//
//   logmon [--level LIST|MASK] [--count N] [--timeout S] [--history]
//          [--colour|--no-colour] CHANNEL
//
// CHANNEL is the host executable's name up to its first dot, with or without
// the leading backslash ("host", "\host", "Host.exe" all follow \host). Lines
// go to standard output as the hosts log them; notices go to standard error,
// the first being "logmon: following \host" once the monitor is in place.
//
// Exit status: 0 after Ctrl-C, after N lines with --count, or at the end of
// --timeout without --count; 1 when --timeout ends before N lines, or the
// channel cannot be opened; 2 for a bad command line.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "RingReader.h"
#include "log/LogChannel.h"
#include "platform/AnsiText.h"
#include "log/Logger.h"
#include "platform/OsConsole.h"
#include "platform/OsShared.h"

namespace {
std::atomic<bool> s_bInterrupted{false};

void OnInterrupt() { s_bInterrupted.store(true); }

struct SOptions {
    std::string strChannel;
    uint32_t dwLevelMask = 0xFFFFFFFFu;
    long nCount = -1;
    double dTimeout = -1;
    bool bHistory = false;
    int nColour = -1;  // -1: when standard output is a terminal
};

void Usage() {
    fputs("usage: logmon [--level LIST|MASK] [--count N] [--timeout S] [--history]\n"
          "              [--colour|--no-colour] CHANNEL\n"
          "  CHANNEL      host executable name up to its first dot: host or \\host\n"
          "  --level      levels to show: names joined by ',' (Error,Warning) or a mask (40, 0x28)\n"
          "  --count N    stop after N lines\n"
          "  --timeout S  stop after S seconds (status 1 if --count was not reached)\n"
          "  --history    show the lines already in the ring first\n",
          stderr);
}

bool EqualsNoCase(const char* a, const char* b, size_t nLength) {
    for (size_t i = 0; i < nLength; ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]) || !b[i]) return false;
    }
    return b[nLength] == 0;
}

// "Error,Warning", "Error+Trace", "40", "0x28" or a mix; 0 when none is valid.
uint32_t ParseLevels(const char* pszText) {
    static const uint32_t s_adwLevels[] = {Startup, Shutdown, Info, Warning, Trace, Error, Debug};
    uint32_t dwMask = 0;
    const char* p = pszText;
    while (*p) {
        size_t n = strcspn(p, ",+|");
        if (n > 0) {
            bool bFound = false;
            for (uint32_t dwLevel : s_adwLevels)
                if (EqualsNoCase(p, LogLevelName(dwLevel), n)) {
                    dwMask |= dwLevel;
                    bFound = true;
                }
            if (!bFound) {
                const std::string strPiece(p, n);
                char* pEnd = nullptr;
                const unsigned long ulValue = strtoul(strPiece.c_str(), &pEnd, 0);
                if (pEnd == strPiece.c_str() || *pEnd) return 0;
                dwMask |= uint32_t(ulValue);
            }
        }
        p += n;
        if (*p) ++p;
    }
    return dwMask;
}

// "\host", "host", "Host.exe" → "\host".
std::string ChannelName(const char* pszArg) {
    const char* pszName = strrchr(pszArg, '\\');
    pszName = pszName ? pszName + 1 : pszArg;
    std::string str = "\\";
    for (const char* p = pszName; *p && *p != '.'; ++p) str += LowerAscii(*p);
    return str;
}

int ParseArgs(int argc, char** argv, SOptions& opt) {
    for (int i = 1; i < argc; ++i) {
        const std::string strArg = argv[i];
        const bool bHasValue = i + 1 < argc;
        if (strArg == "--level" && bHasValue) {
            opt.dwLevelMask = ParseLevels(argv[++i]);
            if (!opt.dwLevelMask) return 0;
        } else if (strArg == "--count" && bHasValue) {
            opt.nCount = strtol(argv[++i], nullptr, 10);
            if (opt.nCount <= 0) return 0;
        } else if (strArg == "--timeout" && bHasValue) {
            opt.dTimeout = strtod(argv[++i], nullptr);
            if (opt.dTimeout <= 0) return 0;
        } else if (strArg == "--history") {
            opt.bHistory = true;
        } else if (strArg == "--colour" || strArg == "--color") {
            opt.nColour = 1;
        } else if (strArg == "--no-colour" || strArg == "--no-color") {
            opt.nColour = 0;
        } else if (strArg.size() > 1 && strArg[0] == '-' && strArg[1] == '-') {
            return 0;
        } else if (opt.strChannel.empty()) {
            opt.strChannel = ChannelName(argv[i]);
            if (opt.strChannel.size() < 2 || opt.strChannel.size() >= LOG_CHANNEL_NAME) return 0;
        } else {
            return 0;
        }
    }
    return opt.strChannel.empty() ? 0 : 1;
}

const char* LevelColour(uint32_t dwLevel) {
    if (dwLevel & Error) return "\x1b[31m";
    if (dwLevel & Warning) return "\x1b[33m";
    if (dwLevel & (Startup | Shutdown)) return "\x1b[32m";
    if (dwLevel & (Trace | Debug)) return "\x1b[90m";
    return nullptr;
}

void PrintLine(uint32_t dwLevel, const char* pszText, bool bColour) {
    const char* pszColour = bColour ? LevelColour(dwLevel) : nullptr;
    if (!pszColour) {
        fputs(pszText, stdout);
        return;
    }
    const size_t nLength = strlen(pszText);  // ends with "\n": colour what precedes it
    fputs(pszColour, stdout);
    fwrite(pszText, 1, nLength - 1, stdout);
    fputs("\x1b[0m\n", stdout);
}
}  // namespace

int main(int argc, char** argv) {
    SOptions opt;
    if (!ParseArgs(argc, argv, opt)) {
        Usage();
        return 2;
    }
    const bool bColour = opt.nColour < 0 ? OsIsTerminal(OS_STDOUT) : opt.nColour == 1;

    // Creating is what opening is on both systems: the block of a host that
    // has not started yet is made zeroed, and the host's open zeroes it again.
    const std::string strMem = "Global" + opt.strChannel + ".mem";
    const std::string strEvent = "Global" + opt.strChannel + ".evt";
    CSharedMemory mem;
    CNamedEvent event;
    const void* pView = mem.Create(strMem.c_str(), RING_BLOCK_SIZE) ? mem.Map() : nullptr;
    if (!pView || !event.Create(strEvent.c_str())) {
        fprintf(stderr, "logmon: cannot open the channel %s\n", opt.strChannel.c_str());
        return 1;
    }

    OsSetInterruptHandler(&OnInterrupt);
    CRingReader reader(static_cast<const SRingHeader*>(pView));
    reader.Start(opt.bHistory);
    fprintf(stderr, "logmon: following %s\n", opt.strChannel.c_str());
    fflush(stderr);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point tEnd =
        Clock::now() + std::chrono::milliseconds(opt.dTimeout > 0 ? long(opt.dTimeout * 1000) : 0);
    long nPrinted = 0;
    bool bPending = opt.bHistory;
    while (!s_bInterrupted.load()) {
        uint32_t dwWait = 100;  // also the interval of the interrupt and timeout checks
        if (opt.dTimeout > 0) {
            const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - Clock::now()).count();
            if (nLeft <= 0) break;
            if (nLeft < dwWait) dwWait = uint32_t(nLeft);
        }
        // A timeout polls too: the event wakes one waiter, and another monitor
        // of the same channel may have taken the set.
        if (!bPending) event.Wait(dwWait);
        bPending = false;
        const bool bLost = reader.Poll([&](uint32_t dwLevel, const char* pszText) {
            if (!(dwLevel & opt.dwLevelMask)) return;
            if (opt.nCount > 0 && nPrinted >= opt.nCount) return;
            PrintLine(dwLevel, pszText, bColour);
            ++nPrinted;
        });
        if (bLost) {
            fflush(stdout);
            fputs("logmon: fell more than 127 lines behind, or the ring was reset: lines were lost\n", stderr);
            fflush(stderr);
        }
        fflush(stdout);
        if (opt.nCount > 0 && nPrinted >= opt.nCount) return 0;
    }
    if (s_bInterrupted.load()) return 0;
    return opt.nCount > 0 ? 1 : 0;
}
