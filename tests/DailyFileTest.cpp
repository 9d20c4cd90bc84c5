#include <algorithm>
#include <string>
#include <vector>

#include "LoggerTestSupport.h"

using namespace logtest;
namespace fs = std::filesystem;

namespace {
class DailyFileTest : public CTempDirTest {
protected:
    fs::path LogDir() const { return m_dir / "Log"; }
    void Touch(const std::string& strName, const std::string& strData = "x") { WriteWhole(LogDir() / strName, strData); }
    bool Exists(const std::string& strName) const { return fs::exists(LogDir() / strName); }
    std::string Read(const std::string& strName) const { return ReadWhole(LogDir() / strName); }
};
}  // namespace

TEST_F(DailyFileTest, FirstLineRunsRetentionThenAppendsToTheDaysFile) {
    CLogger logger(Config("host.exe", OutFile));
    ASSERT_TRUE(fs::is_directory(LogDir()));
    Touch("host20210315.log", "old\r\n");
    Touch("host20210212.log");
    Touch("host20210213.log");

    SetNow(2021, 3, 15);
    Log(logger, Info, "one");
    EXPECT_FALSE(Exists("host20210212.log"));
    EXPECT_TRUE(Exists("host20210213.log"));
    Log(logger, Error, "two");
    // Text mode on disk: every line ends in CR LF, after the old contents.
    EXPECT_EQ("old\r\n[Info]|one\r\n[Error]|two\r\n", Read("host20210315.log"));
}

TEST_F(DailyFileTest, RetentionDeletesOnlyTheHostsOwnOldDailyFiles) {
    CLogger logger(Config("host.exe", OutFile));
    const struct {
        const char* pszName;
        bool bDeleted;
    } aCases[] = {
        {"host20210212.log", true},  // the day before the cutoff (30 days before 15 March)
        {"host20210101.log", true},
        {"host19991231.log", true},
        {"HOST20200101.LOG", true},  // letter case does not matter
        {"host20210213.log", false},  // the cutoff date itself stays
        {"host20210314.log", false},
        // Matched by the pattern, but not daily files of this host:
        {"host.log", false},
        {"host-old.log", false},
        {"hostx.log", false},
        {"host120210101.log", false},  // a program host1's daily file
        {"host220210101.log", false},
        {"host2021021.log", false},
        {"host2021021a.log", false},
        {"host20210212x.log", false},
        // Not matched at all:
        {"host20210212.log.bak", false},
        {"host20210212.txt", false},
        {"other20200101.log", false},
    };
    for (const auto& c : aCases) Touch(c.pszName);
    fs::create_directory(LogDir() / "host20200102.log");  // cannot be deleted; the pass goes on

    SetNow(2021, 3, 15);
    Log(logger, Info, "now");
    for (const auto& c : aCases) EXPECT_EQ(!c.bDeleted, Exists(c.pszName)) << c.pszName;
    EXPECT_TRUE(fs::is_directory(LogDir() / "host20200102.log"));
    EXPECT_EQ("[Info]|now\r\n", Read("host20210315.log"));
}

TEST_F(DailyFileTest, EveryHostNameGetsDatedFilesAndRetention) {
    const struct {
        const char* pszHostFile;
        const char* pszDailyFile;
        const char* pszOwnOld;  // deleted by retention
        const char* pszForeign;  // matched by the pattern or near it, kept
    } aCases[] = {
        {"host.exe", "host20210315.log", "host20210101.log", "host.log"},
        {"HOST.EXE", "host20210315.log", "host20210101.log", "hostx.log"},
        {"my.app.exe", "my.app20210315.log", "my.app20210101.log", "my20210101.log"},
        // No ".exe": the date is appended, so the file rotates and is pruned.
        {"host", "host20210315.log", "host20210101.log", "host.log"},
        {"host.com", "host.com20210315.log", "host.com20210101.log", "host.com.log"},
    };
    for (const auto& c : aCases) {
        fs::remove_all(LogDir());
        CLogger logger(Config(c.pszHostFile, OutFile));
        Touch(c.pszOwnOld);
        Touch(c.pszForeign);
        SetNow(2021, 3, 15);
        Log(logger, Info, "x");

        std::vector<std::string> vecNames;
        for (const auto& entry : fs::directory_iterator(LogDir())) vecNames.push_back(entry.path().filename().string());
        std::sort(vecNames.begin(), vecNames.end());
        std::vector<std::string> vecExpected = {c.pszDailyFile, c.pszForeign};
        std::sort(vecExpected.begin(), vecExpected.end());
        EXPECT_EQ(vecExpected, vecNames) << c.pszHostFile;
        EXPECT_EQ("[Info]|x\r\n", Read(c.pszDailyFile)) << c.pszHostFile;
    }
}

TEST_F(DailyFileTest, MidnightStartsTheNextFileAndRunsRetentionOnce) {
    CLogger logger(Config("host.exe", OutFile));
    Touch("host20210515.log");

    SetNow(2021, 6, 14, 23, 59, 59);
    Log(logger, Info, "late");
    EXPECT_TRUE(Exists("host20210515.log")) << "the cutoff day of 14 June stays";

    SetNow(2021, 6, 15, 0, 0, 1);
    Log(logger, Info, "early");
    EXPECT_FALSE(Exists("host20210515.log")) << "at the change of date retention runs again";

    Touch("host20200101.log");
    Log(logger, Info, "later");
    EXPECT_TRUE(Exists("host20200101.log")) << "retention runs at a change of date, not per line";

    EXPECT_EQ("[Info]|late\r\n", Read("host20210614.log"));
    EXPECT_EQ("[Info]|early\r\n[Info]|later\r\n", Read("host20210615.log"));
}

TEST_F(DailyFileTest, FailedOpenWaitsForTheNextDate) {
    CLogger logger(Config("host.exe", OutFile | OutConsole));
    // A directory where the file should be: the open fails, even for root.
    fs::create_directory(LogDir() / "host20210315.log");

    SetNow(2021, 3, 15, 10);
    Log(logger, Info, "a");
    fs::remove(LogDir() / "host20210315.log");
    Log(logger, Info, "b");
    EXPECT_FALSE(Exists("host20210315.log")) << "no new open until the date changes";

    SetNow(2021, 3, 16, 10);
    Log(logger, Info, "c");
    EXPECT_EQ("[Info]|c\r\n", Read("host20210316.log"));
    EXPECT_EQ("[Info]|a\n[Info]|b\n[Info]|c\n", s_strStdout) << "the other outputs kept every line";
}

TEST_F(DailyFileTest, MissingLogDirectoryOnlyLosesTheFile) {
    CLogger logger(Config("host.exe", OutFile | OutConsole));
    fs::remove_all(LogDir());
    Log(logger, Info, "a");
    EXPECT_FALSE(fs::exists(LogDir()));
    EXPECT_EQ("[Info]|a\n", s_strStdout);
}

TEST_F(DailyFileTest, FindFilesTakesPatternsInOrder) {
    for (const char* pszName : {"a1.txt", "b1.log", "b12.log", "c.txt"}) WriteWhole(m_dir / pszName, "x");
    const std::string strDir = ToCorePath(m_dir.string());

    std::vector<std::string> vecList = {"kept"};
    FindFiles(vecList, strDir.c_str(), ";b?.LOG;;a*.txt;");
    EXPECT_EQ((std::vector<std::string>{"kept", strDir + "\\b1.log", strDir + "\\a1.txt"}), vecList);

    // "." and ".." never come back; a trailing backslash is not doubled.
    vecList.clear();
    FindFiles(vecList, (strDir + "\\").c_str(), "*");
    std::sort(vecList.begin(), vecList.end());
    EXPECT_EQ((std::vector<std::string>{strDir + "\\a1.txt", strDir + "\\b1.log", strDir + "\\b12.log",
                                        strDir + "\\c.txt"}),
              vecList);

    vecList.clear();
    FindFiles(vecList, strDir.c_str(), ";;");
    FindFiles(vecList, (strDir + "\\missing").c_str(), "*");
    EXPECT_TRUE(vecList.empty());
}

TEST_F(DailyFileTest, DailyLogNameReplacesEveryExe) {
    const struct {
        const char* pszHost;
        const char* pszDate;
        const char* pszExpected;
    } aCases[] = {
        {"host.exe", "20210315.log", "host20210315.log"},
        {"host.exe", "*.log", "host*.log"},
        {"my.app.exe", "*.log", "my.app*.log"},
        {"a.exe.b.exe", "20210315.log", "a20210315.log.b20210315.log"},
        {"host", "*.log", "host*.log"},
        {"host.com", "20210315.log", "host.com20210315.log"},
    };
    for (const auto& c : aCases) EXPECT_EQ(c.pszExpected, DailyLogName(c.pszHost, c.pszDate)) << c.pszHost;
}
