#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "HalvexDll.h"
#include "catalogue/packagelist.h"
#include "module/HalvexCode.h"

namespace {
void AddPackage(uint32_t dwId, const std::string& strPkgPath, const std::string& strVDisk, int8_t nType = 0) {
    SPackageInfo info;
    info.PkgId = dwId;
    info.PkgType = nType;
    info.PkgPath.Assign(strPkgPath.data(), uint32_t(strPkgPath.size()));
    info.VDiskPath.Assign(strVDisk.data(), uint32_t(strVDisk.size()));
    GetPkgList()->AddInfo(info);
}

std::string Bytes(std::initializer_list<char> bytes) { return std::string(bytes); }

class GetPkgFullPathTest : public ::testing::Test {
protected:
    void SetUp() override { ReleasePkgList(); }
    void TearDown() override { ReleasePkgList(); }
};
}  // namespace

TEST_F(GetPkgFullPathTest, NoCatalogueCreatesEmptyOneAndAnswersZero) {
    char szBuf[16] = "untouched";
    EXPECT_EQ(0, GetPkgFullPath(1, szBuf, sizeof(szBuf)));
    EXPECT_STREQ("untouched", szBuf);
    EXPECT_EQ(0u, GetPkgList()->GetCount());
}

TEST_F(GetPkgFullPathTest, ChoosesFieldAndAppliesBufferRule) {
    const std::string strPath = "C:\\Games\\App";  // 12 bytes
    const struct {
        const char* pszCase;
        std::string strPkgPath, strVDisk;
        int8_t nType;
        uint32_t dwBufLen;
        int nResult;
        std::string strExpected;  // when nResult is 1
    } aCases[] = {
        {"fits exactly", strPath + '\0', Bytes({0}), 0, 13, 1, strPath},
        {"one byte short", strPath + '\0', Bytes({0}), 0, 12, 0, ""},
        {"zero length buffer", strPath + '\0', Bytes({0}), 0, 0, 0, ""},
        {"vdisk of length 1 falls back", strPath + '\0', Bytes({0}), 0, 64, 1, strPath},
        {"vdisk of zeros wins, empty text", strPath + '\0', Bytes({0, 0}), 0, 64, 1, ""},
        {"vdisk preferred", strPath + '\0', "V:\\disk" + std::string(1, '\0'), 0, 64, 1, "V:\\disk"},
        {"empty chosen field", "", "", 0, 1, 1, ""},
        {"type -1 has no path", strPath + '\0', Bytes({0}), -1, 64, 0, ""},
        {"inner zero kept, trailing dropped", std::string("abc\0efghij\0\0\0", 13), Bytes({0}), 0, 64, 1,
         std::string("abc\0efghij", 10)},
    };
    for (const auto& c : aCases) {
        ReleasePkgList();
        AddPackage(7, c.strPkgPath, c.strVDisk, c.nType);
        char szBuf[64];
        memset(szBuf, 'x', sizeof(szBuf));
        EXPECT_EQ(c.nResult, GetPkgFullPath(7, szBuf, c.dwBufLen)) << c.pszCase;
        if (c.nResult == 1) {
            EXPECT_EQ(c.strExpected, std::string(szBuf, c.strExpected.size())) << c.pszCase;
            EXPECT_EQ(0, szBuf[c.strExpected.size()]) << c.pszCase;
        } else {
            EXPECT_EQ(std::string(64, 'x'), std::string(szBuf, 64)) << c.pszCase;
        }
    }
}

TEST_F(GetPkgFullPathTest, NullBufferAnswersZero) {
    AddPackage(3, std::string("p\0", 2), Bytes({0}));
    EXPECT_EQ(0, GetPkgFullPath(3, nullptr, 100));
}

TEST_F(GetPkgFullPathTest, ResetChangesNoAnswer) {
    AddPackage(3, std::string("C:\\p\0", 5), Bytes({0}));
    char szBuf[16] = "";
    ASSERT_EQ(1, GetPkgFullPath(3, szBuf, sizeof(szBuf)));
    ForceCopyFlag = 0;
    Reset();
    EXPECT_EQ(1, ForceCopyFlag.load());
    char szAfter[16] = "";
    ASSERT_EQ(1, GetPkgFullPath(3, szAfter, sizeof(szAfter)));
    EXPECT_STREQ(szBuf, szAfter);
}
