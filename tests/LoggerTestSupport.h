// Shared pieces of the logger suites: a fresh directory per test, a settable
// clock, captured standard output, and a logger built on them.
#pragma once

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "TempDir.h"
#include "log/Logger.h"
#include "platform/OsSystem.h"

namespace logtest {

inline SLocalTime s_stNow{};
inline int64_t s_nUnixNow = 0;
inline uint32_t s_dwThreadId = 0x0f3c;
inline std::string s_strStdout;

inline void FakeLocalTime(SLocalTime& st) { st = s_stNow; }
inline int64_t FakeUnixTime() { return s_nUnixNow; }
inline uint32_t FakeThreadId() { return s_dwThreadId; }
inline void CaptureStdout(const char* pszText) { s_strStdout += pszText; }

// Both clocks at one local instant.
inline void SetNow(int nYear, int nMonth, int nDay, int nHour = 12, int nMinute = 0, int nSecond = 0,
                   int nMilliseconds = 0) {
    struct tm tm {};
    tm.tm_year = nYear - 1900;
    tm.tm_mon = nMonth - 1;
    tm.tm_mday = nDay;
    tm.tm_hour = nHour;
    tm.tm_min = nMinute;
    tm.tm_sec = nSecond;
    tm.tm_isdst = -1;
    s_nUnixNow = int64_t(mktime(&tm));
    s_stNow = SLocalTime{uint16_t(nYear),   uint16_t(nMonth),  uint16_t(tm.tm_wday),  uint16_t(nDay),
                         uint16_t(nHour),   uint16_t(nMinute), uint16_t(nSecond), uint16_t(nMilliseconds)};
}

using halvextest::ToCorePath;

inline std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteWhole(const std::filesystem::path& path, const std::string& strData) {
    std::ofstream(path, std::ios::binary) << strData;
}

inline void Log(CLogger& logger, uint32_t dwLevel, const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    logger.Write(dwLevel, pszFormat, args);
    va_end(args);
}

// A fresh directory, removed with everything in it at the end of the test.
class CTempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pTemp = std::make_unique<halvextest::CTempDir>("halvexlog");
        m_dir = m_pTemp->Root();
        s_strStdout.clear();
        s_dwThreadId = 0x0f3c;
        SetNow(2021, 3, 15);
    }
    void TearDown() override { m_pTemp.reset(); }

    // A logger whose host executable is <dir>\strHostFile, on the fake clock.
    SLogConfig Config(const std::string& strHostFile, uint32_t dwOutput, uint32_t dwPrefix = 0) const {
        SLogConfig config;
        config.dwOutput = dwOutput;
        config.dwPrefix = dwPrefix;
        config.strHostPath = ToCorePath((m_dir / strHostFile).string());
        config.pfnLocalTime = &FakeLocalTime;
        config.pfnUnixTime = &FakeUnixTime;
        config.pfnStdout = &CaptureStdout;
        config.pfnThreadId = &FakeThreadId;
        return config;
    }

    std::unique_ptr<halvextest::CTempDir> m_pTemp;
    std::filesystem::path m_dir;
};

// Channel names of this process only, and their shared objects unlinked.
inline std::string UniqueChannelName(const char* pszTag) {
    static int s_nNext = 0;
    return std::string(pszTag) + std::to_string(OsGetCurrentProcessId()) + "x" + std::to_string(s_nNext++);
}

inline void UnlinkChannel(const std::string& strName) {
#ifndef _WIN32
    shm_unlink(("/Global." + strName + ".mem").c_str());
    shm_unlink(("/Global." + strName + ".evt").c_str());
#else
    (void)strName;  // Windows drops a named object with its last handle
#endif
}

}  // namespace logtest
