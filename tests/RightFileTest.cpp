#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CatalogueTestSupport.h"
#include "ReadOnlyTestSupport.h"
#include "module/HalvexCode.h"
#include "platform/OsFile.h"

using namespace cattest;

namespace {
std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Fault hook state: which right file refuses to be copied onto, and how many
// copies were asked for.
std::atomic<int> s_nCopyCalls{0};
std::vector<uint32_t> s_vecPauses;  // pauses asked for, recorded instead of taken

void RecordPause(uint32_t dwMilliseconds) { s_vecPauses.push_back(dwMilliseconds); }
std::string s_strRefuseDest;
uint32_t CountCopies(EFaultOp op, const char*, uint32_t) {
    if (op == EFaultOp::CopyFile) ++s_nCopyCalls;
    return 0;
}
uint32_t RefuseCopyOnto(EFaultOp op, const char* pszPath, uint32_t) {
    if (op != EFaultOp::CopyFile) return 0;
    ++s_nCopyCalls;
    return s_strRefuseDest == pszPath ? OS_ERROR_ACCESS_DENIED : 0;
}

class RightFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();  // a fresh generation: every data file's first copy comes next
        s_nCopyCalls = 0;
        s_vecPauses.clear();
        OsSetSleepHook(&RecordPause);
    }
    void TearDown() override {
        OsSetFaultHook(nullptr);
        OsSetSleepHook(nullptr);
    }

    // Runs CopyRightFile and returns its result; the log lines go to strOut.
    std::string Copy(const std::string& strPath, std::string& strOut) {
        testing::internal::CaptureStdout();
        const std::string strResult = CopyRightFile(strPath);
        strOut = testing::internal::GetCapturedStdout();
        return strResult;
    }

    CTempDir m_dir;
};
}  // namespace

TEST_F(RightFileTest, RightFilePathAppendsUnderscore) {
    EXPECT_EQ("C:\\v\\data\\PkgMenuList.dat_", GetRightFilePath("C:\\v\\data\\PkgMenuList.dat"));
}

// Freshness is per data file: each is copied on its own first call of a
// generation, whatever became of the other's copy, and reused after that.
TEST_F(RightFileTest, EachDataFileIsCopiedOnItsFirstCallAfterReset) {
    const std::string strMenu = m_dir.Path("PkgMenuList.dat");
    const std::string strStore = m_dir.Path("PkgStoreList.dat");
    ASSERT_TRUE(WriteBinaryFile(strMenu, "menu v1"));
    ASSERT_TRUE(WriteBinaryFile(strStore, "store v1"));
    ASSERT_TRUE(WriteBinaryFile(strStore + "_", "store stale right file"));  // left by an earlier process

    const std::vector<std::string> vecFresh = {"[Info]|the copy file size not equal zero.",
                                               "[Info]|CopyRightFile succeed"};
    const std::vector<std::string> vecReused = {"[Info]|RightFile Exist"};
    const struct {
        const char* pszStep;
        bool bReset;
        const std::string* pstrFile;
        const char* pszNewContent;  // written to the data file before the call, if any
        std::vector<std::string> vecLines;
        const char* pszRightContent;
    } aSteps[] = {
        {"menu first", false, &strMenu, nullptr, vecFresh, "menu v1"},
        {"menu again, data changed", false, &strMenu, "menu v2", vecReused, "menu v1"},
        {"store first, after menu's copy", false, &strStore, nullptr, vecFresh, "store v1"},
        {"store again", false, &strStore, "store v2", vecReused, "store v1"},
        {"menu after Reset", true, &strMenu, nullptr, vecFresh, "menu v2"},
        {"menu again after Reset", false, &strMenu, "menu v3", vecReused, "menu v2"},
        {"store first after Reset", false, &strStore, nullptr, vecFresh, "store v2"},
        {"store again after Reset", false, &strStore, nullptr, vecReused, "store v2"},
    };
    for (const auto& step : aSteps) {
        if (step.bReset) {
            Reset();
            EXPECT_EQ(1, ForceCopyFlag.load()) << step.pszStep;
        }
        if (step.pszNewContent) {
            ASSERT_TRUE(WriteBinaryFile(*step.pstrFile, step.pszNewContent));
        }
        std::string strOut;
        EXPECT_EQ(*step.pstrFile + "_", Copy(*step.pstrFile, strOut)) << step.pszStep;
        EXPECT_EQ(step.vecLines, Messages(strOut)) << step.pszStep;
        const char* pszRightName = step.pstrFile == &strMenu ? "PkgMenuList.dat_" : "PkgStoreList.dat_";
        EXPECT_EQ(step.pszRightContent, ReadAll(m_dir.Native(pszRightName))) << step.pszStep;
        EXPECT_EQ(0, ForceCopyFlag.load()) << step.pszStep;
    }
}

TEST_F(RightFileTest, TrailerOnlyDataFileFailsAfterThirtyOneAttempts) {
    const std::string strData = m_dir.Path("four.dat");
    ASSERT_TRUE(WriteBinaryFile(strData, std::string(4, '\x11')));
    OsSetFaultHook(&CountCopies);
    std::string strOut;
    EXPECT_EQ(strData, Copy(strData, strOut));
    std::vector<std::string> vecExpected(31, "[Info]|the copy file size equal zero.");
    vecExpected.push_back("[Info]|CopyRightFile Failed!");
    EXPECT_EQ(vecExpected, Messages(strOut));
    EXPECT_EQ(31, s_nCopyCalls.load());
    EXPECT_EQ(std::vector<uint32_t>(31, 100u), s_vecPauses) << "a pause of 100 ms after each unusable copy";
    EXPECT_EQ(1, ForceCopyFlag.load()) << "a failed copy keeps the flag";
}

TEST_F(RightFileTest, ShortDataFileSucceedsAtFirstAttempt) {
    for (const std::string& strBytes : {std::string("\x01"), std::string("ab"), std::string("\0\0\0", 3)}) {
        const std::string strData = m_dir.Path("short" + std::to_string(strBytes.size()) + ".dat");
        ASSERT_TRUE(WriteBinaryFile(strData, strBytes));
        s_nCopyCalls = 0;
        OsSetFaultHook(&CountCopies);
        std::string strOut;
        EXPECT_EQ(strData + "_", Copy(strData, strOut)) << strBytes.size();
        EXPECT_EQ((std::vector<std::string>{"[Info]|the copy file size not equal zero.", "[Info]|CopyRightFile succeed"}),
                  Messages(strOut))
            << strBytes.size();
        EXPECT_EQ(1, s_nCopyCalls.load());
        EXPECT_EQ(strBytes, ReadAll(m_dir.Native("short" + std::to_string(strBytes.size()) + ".dat_")));
    }
}

TEST_F(RightFileTest, MissingDataFileFailsAtOnceAndReturnsItsPath) {
    const std::string strData = m_dir.Path("missing.dat");
    OsSetFaultHook(&CountCopies);
    std::string strOut;
    EXPECT_EQ(strData, Copy(strData, strOut));
    EXPECT_EQ(std::vector<std::string>{"[Info]|CopyRightFile Failed!"}, Messages(strOut));
    EXPECT_EQ(31, s_nCopyCalls.load());
    EXPECT_EQ(std::vector<uint32_t>{}, s_vecPauses) << "failed copies are retried without a pause";
    EXPECT_FALSE(std::filesystem::exists(m_dir.Native("missing.dat_")));
}

// A right file that cannot be written: the data file is read directly, the
// old right file stays as it was, and the next call tries again.
TEST_F(RightFileTest, UnwritableRightFileFallsBackToDataFile) {
    const struct {
        const char* pszCase;
        bool bHook;  // else the owner write bit is taken away
    } aCases[] = {{"fault hook", true}, {"read-only right file", false}};
    for (const auto& c : aCases) {
        Reset();
        const std::string strData = m_dir.Path(std::string(c.bHook ? "hook" : "ro") + ".dat");
        ASSERT_TRUE(WriteBinaryFile(strData, "fresh data"));
        ASSERT_TRUE(WriteBinaryFile(strData + "_", "old right"));
        const std::filesystem::path right = m_dir.Native(std::string(c.bHook ? "hook" : "ro") + ".dat_");
        s_nCopyCalls = 0;
        s_strRefuseDest = strData + "_";
        OsSetFaultHook(&RefuseCopyOnto);
        if (!c.bHook) {
            s_strRefuseDest.clear();
            std::filesystem::permissions(right, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::remove);
            if (!rotest::ReadOnlyKeepsWritersOut(right))
                GTEST_SKIP() << "read-only files open for writing here (wine as root)";
        }
        for (int nCall = 0; nCall < 2; ++nCall) {
            std::string strOut;
            EXPECT_EQ(strData, Copy(strData, strOut)) << c.pszCase << nCall;
            EXPECT_EQ(std::vector<std::string>{"[Info]|CopyRightFile Failed!"}, Messages(strOut)) << c.pszCase << nCall;
            EXPECT_EQ(31 * (nCall + 1), s_nCopyCalls.load()) << c.pszCase << nCall;
            EXPECT_EQ("old right", ReadAll(right)) << c.pszCase;
        }
        EXPECT_EQ(1, ForceCopyFlag.load());
    }
}
