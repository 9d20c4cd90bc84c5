// Daily log files and their retention.
//
// A host's daily file is <Log dir>\<name>YYYYMMDD.log, where <name> comes from
// the lower-case host file name (DailyLogName). Retention deletes only files of
// exactly that form whose date lies before the cutoff: other names that the
// wildcard pattern also matches (host.log, host-old.log, the files of a program
// host1) once sorted before the cutoff name and were deleted with the host's own.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "../platform/AnsiText.h"
#include "Logger.h"

namespace {
constexpr size_t DATE_DIGITS = 8;  // YYYYMMDD

void FormatDateName(char* pszDate, size_t nSize, unsigned nYear, unsigned nMonth, unsigned nDay) {
    snprintf(pszDate, nSize, "%04u%02u%02u.log", nYear, nMonth, nDay);
}

// When strFileName (lower-case, no directory) is strHostName's daily file of
// some date, copies the date's eight digits to szDate and returns true.
bool IsDailyFileOf(const std::string& strFileName, const std::string& strHostName, char (&szDate)[DATE_DIGITS + 1]) {
    const size_t nExe = strHostName.find(".exe");
    const size_t nDatePos = nExe == std::string::npos ? strHostName.size() : nExe;
    if (strFileName.size() < nDatePos + DATE_DIGITS) return false;
    for (size_t i = 0; i < DATE_DIGITS; ++i) {
        const char c = strFileName[nDatePos + i];
        if (c < '0' || c > '9') return false;
        szDate[i] = c;
    }
    szDate[DATE_DIGITS] = 0;
    char szDateName[32];
    snprintf(szDateName, sizeof(szDateName), "%s.log", szDate);
    return DailyLogName(strHostName, szDateName) == strFileName;
}
}  // namespace

std::string DailyLogName(const std::string& strHostName, const char* pszDateName) {
    std::string strName;
    size_t nFrom = 0;
    bool bReplaced = false;
    for (size_t nExe; (nExe = strHostName.find(".exe", nFrom)) != std::string::npos; nFrom = nExe + 4) {
        strName.append(strHostName, nFrom, nExe - nFrom);
        strName += pszDateName;
        bReplaced = true;
    }
    strName.append(strHostName, nFrom, std::string::npos);
    if (!bReplaced) strName += pszDateName;
    return strName;
}

void FindFiles(std::vector<std::string>& vecList, const char* pszDir, const char* pszPatterns) {
    std::string strDir = pszDir;
    if (!strDir.empty() && strDir.back() != '\\') strDir += '\\';
    std::vector<std::string> vecPatterns;
    SplitText(pszPatterns, vecPatterns, ';');
    std::vector<std::string> vecNames;
    for (const std::string& strPattern : vecPatterns) {
        OsFindFiles(pszDir, strPattern.c_str(), vecNames);
        for (const std::string& strName : vecNames)
            if (strName != "." && strName != "..") vecList.push_back(strDir + strName);
    }
}

const char* CLogger::GetHostModulePath(bool bWhole) {
    ReadHostPath(m_szModulePath, sizeof(m_szModulePath));
    LowerAscii(m_szModulePath);
    if (bWhole) return m_szModulePath;
    const char* pszSlash = strrchr(m_szModulePath, '\\');
    return pszSlash ? pszSlash : "";
}

void CLogger::WriteDailyFile(const SLocalTime& st, const char* pszLine) {
    FormatDateName(m_szNowDate, sizeof(m_szNowDate), st.wYear, st.wMonth, st.wDay);
    if (strcmp(m_szNowDate, m_szFileDate) != 0) {
        m_logFile.Close();
        PurgeOldLogs(m_nKeepDays);
        const char* pszTail = GetHostModulePath(false);
        // A host path without a file name gives no daily file: the date is
        // still taken, so the failed open is not retried line by line.
        if (pszTail[0] == '\\' && pszTail[1] && !m_strLogDir.empty()) {
            try {
                const std::string strPath = m_strLogDir + "\\" + DailyLogName(pszTail + 1, m_szNowDate);
                m_logFile.Open(strPath.c_str());
            } catch (...) {  // no memory for the path: this date has no file
            }
        }
        memcpy(m_szFileDate, m_szNowDate, sizeof(m_szFileDate));
    }
    if (m_logFile.IsOpen()) m_logFile.WriteText(pszLine);
}

void CLogger::PurgeOldLogs(int nDays) {
    // Retention must never keep the new date's file from opening.
    try {
        const char* pszTail = GetHostModulePath(false);
        if (*pszTail == '\\') ++pszTail;
        if (!*pszTail || m_strLogDir.empty()) return;
        const std::string strHostName = pszTail;

        std::vector<std::string> vecPaths;
        FindFiles(vecPaths, m_strLogDir.c_str(), DailyLogName(strHostName, "*.log").c_str());
        if (vecPaths.empty()) return;

        const int64_t nNow = m_config.pfnUnixTime ? m_config.pfnUnixTime() : int64_t(time(nullptr));
        const int64_t nCutoff = nNow - int64_t(uint32_t(nDays) * 86400u);
        int nYear = 0, nMonth = 0, nDay = 0;
        if (!OsLocalDate(nCutoff, nYear, nMonth, nDay)) nYear = nMonth = nDay = 0;
        char szCutoff[32];
        snprintf(szCutoff, sizeof(szCutoff), "%04u%02u%02u", unsigned(nYear), unsigned(nMonth), unsigned(nDay));

        for (const std::string& strPath : vecPaths) {
            std::string strName = strPath.substr(strPath.rfind('\\') + 1);
            LowerAscii(strName);
            char szDate[DATE_DIGITS + 1];
            // Eight digits against eight digits: text order is date order.
            if (IsDailyFileOf(strName, strHostName, szDate) && strcmp(szDate, szCutoff) < 0)
                OsDeleteFile(strPath.c_str());
        }
    } catch (...) {  // no memory for the search: nothing is deleted this time
    }
}
