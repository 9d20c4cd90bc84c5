#include <string>

#include "LoggerTestSupport.h"
#include "platform/OsSystem.h"

using namespace logtest;

namespace {
class LoggerTest : public CTempDirTest {};
}  // namespace

TEST_F(LoggerTest, LevelMaskAndLevelNames) {
    CLogger logger(Config("host.exe", OutConsole));
    const struct {
        uint32_t dwLevel;
        const char* pszExpected;  // "" when nothing may come out
    } aCases[] = {
        {Startup, "[Startup]|m\n"}, {Shutdown, "[Shutdown]|m\n"}, {Info, "[Info]|m\n"},
        {Warning, "[Warning]|m\n"}, {Trace, "[Trace]|m\n"},       {Error, "[Error]|m\n"},
        {Debug, ""},                {0, ""},                      {3, "[Unkown]|m\n"},
        {Debug | Startup, "[Unkown]|m\n"},                        {128, ""},
        {0x80000000u, ""},
    };
    for (const auto& c : aCases) {
        s_strStdout.clear();
        Log(logger, c.dwLevel, "m");
        EXPECT_EQ(c.pszExpected, s_strStdout) << "level " << c.dwLevel;
    }
}

TEST_F(LoggerTest, ThreadTagIsAtLeastFourHexDigits) {
    CLogger logger(Config("host.exe", OutConsole, PrefixThread));
    const struct {
        uint32_t dwThreadId;
        const char* pszExpected;
    } aCases[] = {
        {26, "[001a]|[Info]|x\n"},
        {0, "[0000]|[Info]|x\n"},
        {0xffff, "[ffff]|[Info]|x\n"},
        {0x12345, "[12345]|[Info]|x\n"},
        {0xdeadbeef, "[deadbeef]|[Info]|x\n"},
    };
    for (const auto& c : aCases) {
        s_strStdout.clear();
        s_dwThreadId = c.dwThreadId;
        Log(logger, Info, "x");
        EXPECT_EQ(c.pszExpected, s_strStdout);
    }
}

TEST_F(LoggerTest, DefaultTagsAndFormatting) {
    SLogConfig config = Config("host.exe", OutConsole, SLogConfig().dwPrefix);
    CLogger logger(config);
    SetNow(2021, 3, 15, 14, 3, 7, 15);
    Log(logger, Warning, "pkg %d of %s", 7, "menu");
    EXPECT_EQ("[14:03:07.015]|[0f3c]|[Warning]|pkg 7 of menu\n", s_strStdout);
}

TEST_F(LoggerTest, MessageIsCutToTheLineBuffer) {
    CLogger logger(Config("host.exe", OutConsole));
    const size_t nTag = strlen("[Info]|");
    const size_t nRoom = LOG_LINE_TEXT - nTag;  // 2035 message characters fit
    const std::string strFull = "[Info]|" + std::string(nRoom, 'm') + "\n";
    const struct {
        size_t nMessage;
        std::string strExpected;
    } aCases[] = {
        {nRoom - 1, "[Info]|" + std::string(nRoom - 1, 'm') + "\n"},
        {nRoom, strFull},
        {nRoom + 1, strFull},
        {5000, strFull},
    };
    for (const auto& c : aCases) {
        s_strStdout.clear();
        Log(logger, Info, "%s", std::string(c.nMessage, 'm').c_str());
        EXPECT_EQ(c.strExpected, s_strStdout) << c.nMessage;
    }
    ASSERT_EQ(size_t(LOG_LINE_TEXT + 1), strFull.size());
    EXPECT_EQ('\n', strFull[2042]);
}

TEST_F(LoggerTest, CallSiteTag) {
    CLogger logger(Config("host.exe", OutConsole, PrefixCallSite));
    Log(logger, Info, "first");
    EXPECT_EQ("[:0]|[Info]|first\n", s_strStdout);

    s_strStdout.clear();
    logger.SetCallSite("Loader.cpp", 42);
    Log(logger, Info, "a");
    Log(logger, Info, "b");  // no new record: the last one stands
    EXPECT_EQ("[Loader.cpp:42]|[Info]|a\n[Loader.cpp:42]|[Info]|b\n", s_strStdout);

    // A call-site text longer than the whole line: tags are cut, the line
    // still ends with its newline inside the buffer.
    s_strStdout.clear();
    logger.SetCallSite(std::string(3000, 's').c_str(), 7);
    Log(logger, Error, "lost");
    ASSERT_EQ(size_t(LOG_LINE_TEXT + 1), s_strStdout.size());
    EXPECT_EQ("[" + std::string(LOG_LINE_TEXT - 1, 's') + "\n", s_strStdout);
}

TEST_F(LoggerTest, NamesTakenAtConstruction) {
    const bool bIgnoreCase = OsPathsIgnoreCase();
    const struct {
        const char* pszHostPath;
        const char* pszLogDir;
        const char* pszChannel;
    } aCases[] = {
        // On a case-ignoring file system the directory is lower-cased; elsewhere
        // it keeps its true case, or it would not be found again.
        {"C:\\Apps\\Tool.EXE", bIgnoreCase ? "c:\\apps\\Log" : "C:\\Apps\\Log", "\\tool"},
        {"C:\\Apps\\my.app.exe", bIgnoreCase ? "c:\\apps\\Log" : "C:\\Apps\\Log", "\\my"},
        {"\\\\srv\\Share\\Bin\\HOST", bIgnoreCase ? "\\\\srv\\share\\bin\\Log" : "\\\\srv\\Share\\Bin\\Log",
         "\\host"},
    };
    for (const auto& c : aCases) {
        SLogConfig config = Config("unused", OutConsole);
        config.strHostPath = c.pszHostPath;
        CLogger logger(config);
        EXPECT_EQ(c.pszLogDir, logger.GetLogDir()) << c.pszHostPath;
        EXPECT_STREQ(c.pszChannel, logger.GetChannelName()) << c.pszHostPath;
        EXPECT_FALSE(logger.GetChannel().IsOn()) << "a logger without the channel output leaves it closed";
    }
}

TEST_F(LoggerTest, LongHostNameIsCutToTheChannelName) {
    SLogConfig config = Config(std::string(300, 'N') + ".exe", OutConsole);
    CLogger logger(config);
    EXPECT_EQ("\\" + std::string(LOG_CHANNEL_NAME - 2, 'n'), logger.GetChannelName());
}

TEST_F(LoggerTest, ChannelOutputCarriesTheLine) {
    const std::string strName = UniqueChannelName("lg");
    {
        CLogger logger(Config(strName + ".Exe", OutChannel | OutConsole));
        ASSERT_TRUE(logger.GetChannel().IsOn());
        Log(logger, Error, "boom %d", 1);
        Log(logger, Debug, "dropped");
        const SRingHeader* pRing = logger.GetChannel().m_pRing;
        EXPECT_EQ(1u, pRing->nNextSlot);
        EXPECT_EQ(uint32_t(Error), pRing->aSlots[0].dwLevel);
        EXPECT_STREQ("[Error]|boom 1\n", pRing->aSlots[0].szText);
        EXPECT_EQ("[Error]|boom 1\n", s_strStdout);
    }
    UnlinkChannel(strName);
}
