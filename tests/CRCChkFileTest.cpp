#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>

#include "ListEncoder.h"
#include "ReadOnlyTestSupport.h"
#include "TempDir.h"
#include "datafile/CRCChkFile.h"

namespace fs = std::filesystem;

namespace {
const std::string CHECK_PAYLOAD = "123456789";
const std::string CHECK_TRAILER = "\x26\x39\xF4\xCB";  // 0xCBF43926, least significant first

class CRCChkFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pTemp = std::make_unique<halvextest::CTempDir>("crcchk");
        m_dir = m_pTemp->Root();
        s_nOpens = 0;
        s_nFailFirst = 0;
    }
    void TearDown() override {
        OsSetFaultHook(nullptr);
        m_pTemp.reset();
    }

    std::string PathOf(const char* pszName) const { return (m_dir / pszName).string(); }
    std::string Put(const std::string& strBytes, const char* pszName = "list.dat") const {
        const std::string strPath = PathOf(pszName);
        std::ofstream(strPath, std::ios::binary) << strBytes;
        return strPath;
    }
    static std::string Slurp(const std::string& strPath) {
        std::ifstream in(strPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Counts opens, and fails the first s_nFailFirst of them as a locked file would.
    static uint32_t CountingHook(EFaultOp op, const char*, uint32_t) {
        if (op != EFaultOp::OpenFile) return 0;
        return ++s_nOpens <= s_nFailFirst ? OS_ERROR_SHARING_VIOLATION : 0;
    }

    static int s_nOpens;
    static int s_nFailFirst;
    std::unique_ptr<halvextest::CTempDir> m_pTemp;
    fs::path m_dir;
};
int CRCChkFileTest::s_nOpens = 0;
int CRCChkFileTest::s_nFailFirst = 0;

const uint32_t READ_FLAGS = CFile::modeRead | CFile::shareExclusive;
}  // namespace

TEST_F(CRCChkFileTest, LengthAndReadOfWholeImages) {
    const struct {
        const char* pszCase;
        std::string strImage;
        uint64_t nLength;   // GetLength
        uint32_t dwCount;   // bytes asked of Read
        uint32_t dwResult;  // Read's answer
    } aCases[] = {
        {"check value", CHECK_PAYLOAD + CHECK_TRAILER, 9, 9, 9},
        {"trailer big-endian", CHECK_PAYLOAD + "\xCB\xF4\x39\x26", 9, 9, 0},
        {"empty list payload", std::string(4, '\0') + "\x1C\xDF\x44\x21", 4, 4, 4},
        {"four-byte file", std::string("\x00\x00\x00\x00", 4), 0, 0, 0},
        {"three-byte file, no room for a trailer", "abc", 3, 3, 0},
        {"empty file", "", 0, 0, 0},
        {"trailer cut short", CHECK_PAYLOAD + CHECK_TRAILER.substr(0, 3), 8, 9, 0},
        {"byte after the trailer", CHECK_PAYLOAD + CHECK_TRAILER + "x", 10, 10, 0},
        {"payload longer than the file", CHECK_PAYLOAD + CHECK_TRAILER, 9, 10, 0},
    };
    for (const auto& c : aCases) {
        const std::string strPath = Put(c.strImage);
        CCRCChkFile file;
        ASSERT_NE(0, file.Open(strPath.c_str(), READ_FLAGS)) << c.pszCase;
        EXPECT_EQ(c.nLength, file.GetLength()) << c.pszCase;
        std::string strBuf(c.dwCount, '\0');
        EXPECT_EQ(c.dwResult, file.Read(&strBuf[0], c.dwCount)) << c.pszCase;
        if (c.dwResult) {
            EXPECT_EQ(c.strImage.substr(0, c.dwCount), strBuf) << c.pszCase;
        }
        file.Close();
    }
}

TEST_F(CRCChkFileTest, EverySingleBitFlipFailsTheRead) {
    const std::string strGood = CHECK_PAYLOAD + CHECK_TRAILER;
    for (size_t nBit = 0; nBit < strGood.size() * 8; ++nBit) {
        std::string strImage = strGood;
        strImage[nBit / 8] ^= char(1 << (nBit % 8));
        CCRCChkFile file;
        ASSERT_NE(0, file.Open(Put(strImage).c_str(), READ_FLAGS));
        char szBuf[9];
        EXPECT_EQ(0u, file.Read(szBuf, 9)) << "bit " << nBit;
    }
}

TEST_F(CRCChkFileTest, PayloadReadInPiecesFailsTheCheck) {
    CCRCChkFile file;
    ASSERT_NE(0, file.Open(Put(CHECK_PAYLOAD + CHECK_TRAILER).c_str(), READ_FLAGS));
    char szBuf[9];
    EXPECT_EQ(0u, file.Read(szBuf, 4));  // bytes 4..7 are no trailer of bytes 0..3
}

TEST_F(CRCChkFileTest, WriteOverLongerFileLeavesExactFormat) {
    std::string strOld(100, '\0');
    for (size_t i = 0; i < strOld.size(); ++i) strOld[i] = char(0xA0 + i);
    const std::string strPath = Put(strOld);
    {
        CCRCChkFile file;
        ASSERT_NE(0, file.Open(strPath.c_str(), CFile::modeReadWrite | CFile::shareExclusive));
        file.Write(CHECK_PAYLOAD.data(), uint32_t(CHECK_PAYLOAD.size()));
        EXPECT_EQ(9u, file.GetLength());
    }
    EXPECT_EQ(CHECK_PAYLOAD + CHECK_TRAILER, Slurp(strPath));

    CCRCChkFile file;
    ASSERT_NE(0, file.Open(strPath.c_str(), READ_FLAGS));
    char szBuf[9];
    EXPECT_EQ(9u, file.Read(szBuf, 9));
}

TEST_F(CRCChkFileTest, WriteMatchesEncoderForLargePayload) {
    std::mt19937 rng(3);
    std::string strPayload(100000, '\0');
    for (char& c : strPayload) c = char(rng());
    const std::string strPath = PathOf("big.dat");
    {
        CCRCChkFile file;
        ASSERT_NE(0, file.Open(strPath.c_str(), CFile::modeCreate | CFile::modeWrite));
        file.Write(strPayload.data(), uint32_t(strPayload.size()));
    }
    EXPECT_EQ(WithTrailer(strPayload), Slurp(strPath));
}

TEST_F(CRCChkFileTest, WriteOfNothingLeavesFileUnchanged) {
    const std::string strOld(100, 'x');
    const std::string strPath = Put(strOld);
    {
        CCRCChkFile file;
        ASSERT_NE(0, file.Open(strPath.c_str(), CFile::modeReadWrite | CFile::shareExclusive));
        file.Write("", 0);
        EXPECT_EQ(96u, file.GetLength());
    }
    EXPECT_EQ(strOld, Slurp(strPath));
}

TEST_F(CRCChkFileTest, ReadOnlyFileOpensForWritingOnRetryAndStaysNormal) {
    const std::string strPath = Put(CHECK_PAYLOAD + CHECK_TRAILER);
    fs::permissions(strPath, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (!rotest::ReadOnlyKeepsWritersOut(strPath)) GTEST_SKIP() << "read-only files open for writing here (wine as root)";
    {
        CFile plain;  // the plain class gives up at once on a read-only file
        EXPECT_EQ(0, plain.Open(strPath.c_str(), CFile::modeWrite));
    }
    OsSetFaultHook(CountingHook);
    CCRCChkFile file;
    EXPECT_NE(0, file.Open(strPath.c_str(), CFile::modeReadWrite | CFile::shareExclusive));
    EXPECT_EQ(2, s_nOpens);  // refused once, then opened after the attributes were reset
    file.Close();
    EXPECT_NE(fs::perms::none, fs::status(strPath).permissions() & fs::perms::owner_write);
}

TEST_F(CRCChkFileTest, OpenRetriesOnceWhateverTheCause) {
    const std::string strPath = Put(CHECK_PAYLOAD + CHECK_TRAILER);
    const struct {
        const char* pszCase;
        std::string strPath;
        int nFailFirst;
        bool bOpens;
    } aCases[] = {
        {"opens at once", strPath, 0, true},
        {"locked once", strPath, 1, true},
        {"locked twice", strPath, 2, false},
        {"missing file", PathOf("missing.dat"), 0, false},
    };
    OsSetFaultHook(CountingHook);
    for (const auto& c : aCases) {
        s_nOpens = 0;
        s_nFailFirst = c.nFailFirst;
        CCRCChkFile file;
        EXPECT_EQ(c.bOpens, file.Open(c.strPath.c_str(), READ_FLAGS) != 0) << c.pszCase;
        EXPECT_EQ(c.nFailFirst == 0 && c.bOpens ? 1 : 2, s_nOpens) << c.pszCase;
    }
    EXPECT_FALSE(fs::exists(PathOf("missing.dat")));
}
