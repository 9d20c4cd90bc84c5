#include "Logger.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "../platform/AnsiText.h"
#include "../platform/OsFile.h"

namespace {
// Guards only the first creation of the process-wide logger.
CCriticalSection s_csCreate;
std::atomic<CLogger*> s_pLogger{nullptr};
// The logger lives here rather than on the heap: building it can never fail
// for want of memory, and it is never destroyed (lines may come from static
// destructors of the host after the library's own are gone).
alignas(CLogger) unsigned char s_abLoggerStorage[sizeof(CLogger)];

// Appends a formatted piece at nPos, never past LOG_LINE_TEXT characters.
uint32_t AppendCut(char* pszLine, uint32_t nPos, const char* pszFormat, va_list args) {
    const uint32_t nRoom = LOG_LINE_TEXT - nPos;
    const int n = vsnprintf(pszLine + nPos, size_t(nRoom) + 1, pszFormat, args);
    if (n < 0) {
        pszLine[nPos] = 0;
        return nPos;
    }
    return nPos + (uint32_t(n) < nRoom ? uint32_t(n) : nRoom);
}

uint32_t AppendCutf(char* pszLine, uint32_t nPos, const char* pszFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
uint32_t AppendCutf(char* pszLine, uint32_t nPos, const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    nPos = AppendCut(pszLine, nPos, pszFormat, args);
    va_end(args);
    return nPos;
}
}  // namespace

const char* LogLevelName(uint32_t dwLevel) {
    switch (dwLevel) {
        case Startup: return "Startup";
        case Shutdown: return "Shutdown";
        case Info: return "Info";
        case Warning: return "Warning";
        case Trace: return "Trace";
        case Error: return "Error";
        case Debug: return "Debug";
        default: return "Unkown";
    }
}

CLogger* CLogger::Instance() {
    CLogger* pLogger = s_pLogger.load(std::memory_order_acquire);
    if (pLogger) return pLogger;
    CScopedLock lock(s_csCreate);
    pLogger = s_pLogger.load(std::memory_order_relaxed);
    if (!pLogger) {
        pLogger = new (s_abLoggerStorage) CLogger(SLogConfig());
        s_pLogger.store(pLogger, std::memory_order_release);  // published only once built
    }
    return pLogger;
}

void CLogger::ReadHostPath(char* pszPath, uint32_t dwSize) const {
    if (m_config.strHostPath.empty()) {
        OsGetModuleFileName(pszPath, dwSize);
        return;
    }
    const size_t n = m_config.strHostPath.size() < dwSize ? m_config.strHostPath.size() : dwSize - 1;
    memcpy(pszPath, m_config.strHostPath.data(), n);
    pszPath[n] = 0;
}

CLogger::CLogger(const SLogConfig& config)
    : m_dwOutput(config.dwOutput),
      m_dwPrefix(config.dwPrefix),
      m_dwLevelMask(config.dwLevelMask),
      m_nKeepDays(config.nKeepDays),
      m_config(config) {
    char szPath[HOST_PATH_BUFFER] = "";
    ReadHostPath(szPath, sizeof(szPath));
    char szLower[HOST_PATH_BUFFER];
    memcpy(szLower, szPath, sizeof(szLower));
    LowerAscii(szLower);

    // The file name keeps what precedes its first dot: Host.Exe gives \host.
    char* pszSlash = strrchr(szLower, '\\');
    char* pszName = pszSlash ? pszSlash + 1 : szLower;
    if (char* pszDot = strchr(pszName, '.')) *pszDot = 0;
    snprintf(m_szChannelName, sizeof(m_szChannelName), "\\%.*s", int(LOG_CHANNEL_NAME - 2), pszName);

    // Where names ignore case the directory is taken lower-cased; elsewhere in
    // its true case, or the log directory would not be found again.
    const char* pszDirSource = OsPathsIgnoreCase() ? szLower : szPath;
    const size_t nDirLen = pszSlash ? size_t(pszSlash - szLower) : 0;
    try {
        m_strLogDir.assign(pszDirSource, nDirLen);
        m_strLogDir += pszSlash ? "\\Log" : "Log";
    } catch (...) {
        m_strLogDir.clear();
    }
    if (!m_strLogDir.empty()) OsCreateDirectory(m_strLogDir.c_str());
    // Only a logger that posts opens the channel (the defaults post): a logger
    // built without the channel must not wipe the ring of the host's others.
    if (m_dwOutput & OutChannel) m_channel.Open(m_szChannelName);
}

CLogger::~CLogger() = default;

void CLogger::SetCallSite(const char* pszFile, int nLine) {
    CScopedLock lock(m_csLock);
    try {
        m_strFile = pszFile ? pszFile : "";
    } catch (...) {
        m_strFile.clear();
    }
    m_nLine = nLine;
}

void CLogger::Write(uint32_t dwLevel, const char* pszFormat, va_list args) {
    if ((dwLevel & m_dwLevelMask) == 0) return;
    CScopedLock lock(m_csLock);
    SLocalTime st{};
    m_config.pfnLocalTime(st);

    uint32_t nPos = 0;
    m_szLine[0] = 0;
    if (m_dwPrefix & PrefixTime)
        nPos = AppendCutf(m_szLine, nPos, "[%02u:%02u:%02u.%03u]|", unsigned(st.wHour), unsigned(st.wMinute),
                          unsigned(st.wSecond), unsigned(st.wMilliseconds));
    if (m_dwPrefix & PrefixThread) nPos = AppendCutf(m_szLine, nPos, "[%04x]|", unsigned(m_config.pfnThreadId()));
    if (m_dwPrefix & PrefixCallSite) nPos = AppendCutf(m_szLine, nPos, "[%s:%d]|", m_strFile.c_str(), m_nLine);
    nPos = AppendCutf(m_szLine, nPos, "[%s]|", LogLevelName(dwLevel));
    nPos = AppendCut(m_szLine, nPos, pszFormat, args);
    m_szLine[nPos] = '\n';
    m_szLine[nPos + 1] = 0;
    Output(dwLevel, st);
}

void CLogger::Output(uint32_t dwLevel, const SLocalTime& st) {
    // Each output is tried alone: one that fails must not keep the line from the others.
    if (m_dwOutput & OutConsole) {
        try {
            m_config.pfnStdout(m_szLine);
        } catch (...) {
        }
    }
    if (m_dwOutput & OutDebugger) OsOutputDebugString(m_szLine);
    if (m_dwOutput & OutFile) {
        try {
            WriteDailyFile(st, m_szLine);
        } catch (...) {
        }
    }
    if (m_dwOutput & OutChannel) m_channel.Post(m_szLine, dwLevel);
}

void LogPrint(uint32_t dwLevel, const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    CLogger::Instance()->Write(dwLevel, pszFormat, args);
    va_end(args);
}
