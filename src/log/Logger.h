// The process-wide logger: level mask, line format and outputs.
//
// A line is: optional time tag "[hh:mm:ss.mmm]|", optional thread tag
// "[%04x]|", optional call-site tag "[file:line]|", the level tag "[Name]|",
// the message, "\n". It goes, in this order, to standard output, the debugger
// output, the daily file and the live channel, each as its output bit says.
//
// Locks: the logger lock is the innermost lock of the library. While it is
// held the logger calls only the platform and the C library, so any caller
// may log while holding a lock of its own.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

#include <vector>

#include "../platform/OsFile.h"
#include "../platform/OsSync.h"
#include "../platform/OsSystem.h"
#include "LogChannel.h"

enum LogLevel : uint32_t {
    Startup = 1,
    Shutdown = 2,
    Info = 4,
    Warning = 8,
    Trace = 16,
    Error = 32,
    Debug = 64,
};

enum LogOutput : uint32_t {
    OutConsole = 1,
    OutFile = 2,
    OutChannel = 8,
    OutDebugger = 16,
};

enum LogPrefix : uint32_t {
    PrefixTime = 1,
    PrefixThread = 2,
    PrefixCallSite = 4,
};

// Line buffer: at most LOG_LINE_TEXT characters, then "\n" and NUL.
constexpr uint32_t LOG_LINE_BUFFER = 2044;
constexpr uint32_t LOG_LINE_TEXT = LOG_LINE_BUFFER - 2;
// The channel name: a backslash, up to 62 characters of name, NUL.
constexpr uint32_t LOG_CHANNEL_NAME = 64;

// Constant name of a level: one of the seven names, or "Unkown" for any other
// value (the misspelling is what monitors and log readers match on).
const char* LogLevelName(uint32_t dwLevel);

// Everything a logger takes from its surroundings. The process-wide logger
// uses the defaults; tests build their own logger with other values.
struct SLogConfig {
    uint32_t dwOutput = OutConsole | OutFile | 4 | OutChannel;  // 15: the bit 4 selects nothing
    uint32_t dwPrefix = PrefixTime | PrefixThread;              // 3
    uint32_t dwLevelMask = 63;                                  // every named level but Debug
    int nKeepDays = 30;
    // Host executable path in backslash form; empty: ask the system.
    std::string strHostPath;
    // Clock: the local time of a line, and seconds since 1970 for retention.
    void (*pfnLocalTime)(SLocalTime&) = &OsGetLocalTime;
    int64_t (*pfnUnixTime)() = nullptr;  // null: the C library's time()
    // Standard output; tests capture it here.
    void (*pfnStdout)(const char*) = &OsWriteStdout;
    uint32_t (*pfnThreadId)() = &OsGetCurrentThreadId;
};

class CLogger {
public:
    // The one logger of the process, built on first use, never destroyed.
    // Never null: a logger that cannot be allocated ends the process.
    static CLogger* Instance();

    explicit CLogger(const SLogConfig& config);
    ~CLogger();
    CLogger(const CLogger&) = delete;
    CLogger& operator=(const CLogger&) = delete;

    // Records the call site shown by the call-site tag; takes the logger lock.
    void SetCallSite(const char* pszFile, int nLine);

    // Filters by level (without the lock), builds the line and sends it to the
    // outputs under the logger lock. Never raises.
    void Write(uint32_t dwLevel, const char* pszFormat, va_list args);

    const std::string& GetLogDir() const { return m_strLogDir; }
    const char* GetChannelName() const { return m_szChannelName; }
    CLogChannel& GetChannel() { return m_channel; }

    // The daily file step, given the line's local time: at a change of date
    // (the first file line included) closes the old file, runs retention and
    // opens the new date's file; an open that fails is not retried until the
    // date changes again. Called under the lock.
    void WriteDailyFile(const SLocalTime& st, const char* pszLine);
    // Deletes this host's daily files (<name>YYYYMMDD.log, see DailyLogName)
    // dated more than nDays before now. Called under the lock.
    void PurgeOldLogs(int nDays);
    // Lower-case host executable path, whole or from its last backslash; the
    // text lives in m_szModulePath until the next call. Under the lock only.
    const char* GetHostModulePath(bool bWhole);

private:
    void ReadHostPath(char* pszPath, uint32_t dwSize) const;
    void Output(uint32_t dwLevel, const SLocalTime& st);

    CCriticalSection m_csLock;
    const uint32_t m_dwOutput;
    const uint32_t m_dwPrefix;
    const uint32_t m_dwLevelMask;
    const int m_nKeepDays;
    std::string m_strFile;
    int m_nLine = 0;
    std::string m_strLogDir;
    CLogChannel m_channel;

    SLogConfig m_config;
    char m_szChannelName[LOG_CHANNEL_NAME] = "";

    // Process-wide in effect (one logger per process); members so that a test
    // can build a logger of its own. Touched only under m_csLock.
    char m_szLine[LOG_LINE_BUFFER] = "";
    char m_szFileDate[32] = "";
    char m_szNowDate[32] = "";
    CTextAppendFile m_logFile;  // the daily file of m_szFileDate, when its open succeeded
    char m_szModulePath[HOST_PATH_BUFFER] = "";
};

// Name of a host's daily file for one date name ("20210315.log") or for a
// pattern ("*.log"): every ".exe" of the lower-case host file name replaced by
// it, or, for a name with no ".exe" (a POSIX executable, host.com), the name
// followed by it; so every host's files carry the date and are pruned.
std::string DailyLogName(const std::string& strHostName, const char* pszDateName);

// Adds to vecList the full paths (dir, backslash, name as stored) of the
// entries of pszDir that match any of the ";"-separated wildcard patterns, in
// pattern order; "." and ".." are left out. Empty patterns are skipped.
void FindFiles(std::vector<std::string>& vecList, const char* pszDir, const char* pszPatterns);

// The entry of every log call: formats through CLogger::Instance()->Write.
void LogPrint(uint32_t dwLevel, const char* pszFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The source file name without its directories, for the call-site tag.
constexpr const char* LogSourceName(const char* pszPath) {
    const char* pszName = pszPath;
    for (const char* p = pszPath; *p; ++p)
        if (*p == '/' || *p == '\\') pszName = p + 1;
    return pszName;
}

// One log call: the call site, then the message, as one statement.
#define LOG_PRINT(level, ...)                                                      \
    do {                                                                           \
        CLogger::Instance()->SetCallSite(LogSourceName(__FILE__), __LINE__);       \
        LogPrint((level), __VA_ARGS__);                                            \
    } while (0)
