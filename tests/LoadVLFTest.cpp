#include <gtest/gtest.h>

#include <cstring>

#include "CatalogueTestSupport.h"
#include "module/HalvexCode.h"
#include "platform/OsFile.h"

using namespace cattest;

namespace {
// Copies refused: the loader then reads the data file itself, without the
// 3.1 s that a copy with an empty payload costs.
uint32_t RefuseCopies(EFaultOp op, const char*, uint32_t) { return op == EFaultOp::CopyFile ? OS_ERROR_ACCESS_DENIED : 0; }

SPackageInfo MapRecord(uint32_t dwId, const std::string& strName) {
    SPackageInfo info;
    info.PkgId = dwId;
    SetText(info.PkgName, sizeof(info.PkgName), strName);
    info.ExtValue7 = 9;
    info.ExtText10 = "merged earlier";
    return info;
}

class LoadVLFTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        m_list.AddInfo(MapRecord(1, "map one"));
        m_list.AddInfo(MapRecord(5, "map five"));
    }
    void TearDown() override { OsSetFaultHook(nullptr); }

    int Load(const std::string& strPath, std::vector<std::string>& vecLines) {
        testing::internal::CaptureStdout();
        const int nResult = m_list.LoadVLFFromFile(strPath.c_str());
        vecLines = Messages(testing::internal::GetCapturedStdout());
        return nResult;
    }

    void ExpectMapUnchanged(const char* pszCase) {
        EXPECT_EQ((std::vector<uint32_t>{1, 5}), m_list.Ids()) << pszCase;
        bool bFound = false;
        const SPackageInfo info = Find(m_list, 5, bFound);
        EXPECT_STREQ("map five", info.PkgName) << pszCase;
        EXPECT_EQ("merged earlier", info.ExtText10) << pszCase;
    }

    CTempDir m_dir;
    CInspectableList m_list;
};
}  // namespace

TEST_F(LoadVLFTest, FailedLoadsLogOneLineAndLeaveTheMap) {
    const std::string strValid = WithTrailer(EncodePackageList({MakePackage(5, "file five", "C:\\f5")}));
    std::string strChanged = strValid;
    strChanged[20] ^= 0x01;  // inside the payload
    const uint32_t nPayload = uint32_t(strValid.size() - 4);

    const std::string strMissing = m_dir.Path("missing.dat");
    const std::string strCrc = m_dir.Path("crc.dat");
    const std::string strTwo = m_dir.Path("two.dat");
    const std::string strEmpty = m_dir.Path("empty.dat");
    const std::string strFour = m_dir.Path("four.dat");
    const struct {
        const char* pszCase;
        std::string strPath;
        const char* pszBytes;  // null: no file
        std::string strBytes;
        bool bRefuseCopies;
        std::string strRead;  // the path the loader opens
        std::string strErrorPrefix;
    } aCases[] = {
        {"missing", strMissing, nullptr, "", false, strMissing, "[Error]|LoadVLFFromFile FAIDED PATH  =" + strMissing},
        {"payload byte changed", strCrc, "", strChanged, false, strCrc + "_",
         "[Error]|LoadFile(" + strCrc + "_) CRC error. nBytesRead:" + std::to_string(nPayload) + ", nRead:0, LastError:"},
        {"2-byte file", strTwo, "", std::string("\0\0", 2), false, strTwo + "_",
         "[Error]|LoadFile(" + strTwo + "_) CRC error. nBytesRead:2, nRead:0, LastError:"},
        {"empty file", strEmpty, "", "", true, strEmpty, "[Error]|LoadFile decode error."},
        {"4-byte file", strFour, "", std::string("\0\0\0\0", 4), true, strFour, "[Error]|LoadFile decode error."},
    };
    for (const auto& c : aCases) {
        if (c.pszBytes) {
            ASSERT_TRUE(WriteBinaryFile(c.strPath, c.strBytes));
        }
        OsSetFaultHook(c.bRefuseCopies ? &RefuseCopies : nullptr);
        std::vector<std::string> vecLines;
        EXPECT_EQ(0, Load(c.strPath, vecLines)) << c.pszCase;
        ASSERT_GE(vecLines.size(), 3u) << c.pszCase;
        const size_t n = vecLines.size();
        EXPECT_EQ("[Info]|strVlfFileName:" + c.strRead, vecLines[n - 2]) << c.pszCase;
        EXPECT_EQ(c.strErrorPrefix, vecLines[n - 1].substr(0, c.strErrorPrefix.size())) << c.pszCase;
        if (c.strErrorPrefix.back() == ':') {  // the error code follows
            EXPECT_NE(std::string::npos, vecLines[n - 1].find_first_of("0123456789", c.strErrorPrefix.size()))
                << c.pszCase;
        } else {
            EXPECT_EQ(c.strErrorPrefix, vecLines[n - 1]) << c.pszCase;
        }
        ExpectMapUnchanged(c.pszCase);
    }
}

TEST_F(LoadVLFTest, CountZeroEmptiesTheMap) {
    const std::string strPath = m_dir.Path("zero.dat");
    const std::string strBytes("\0\0\0\0\x1C\xDF\x44\x21", 8);
    ASSERT_EQ(WithTrailer(std::string(4, '\0')), strBytes);
    ASSERT_TRUE(WriteBinaryFile(strPath, strBytes));
    std::vector<std::string> vecLines;
    EXPECT_EQ(1, Load(strPath, vecLines));
    EXPECT_TRUE(m_list.Ids().empty());
    EXPECT_EQ("[Info]|strVlfFileName:" + strPath + "_", vecLines.back());
}

TEST_F(LoadVLFTest, LoadReplacesTheMapAndASecondLoadGivesTheSame) {
    const std::string strPath = m_dir.Path("list.dat");
    CPackageInfo five = MakePackage(5, "file five", "C:\\f5", "V:\\five");
    five.PkgLocalVer = 55;
    WriteMenuList(strPath, {MakePackage(9, "file nine", "C:\\f9"), five});

    for (int nLoad = 0; nLoad < 2; ++nLoad) {
        std::vector<std::string> vecLines;
        EXPECT_EQ(1, Load(strPath, vecLines)) << nLoad;
        EXPECT_EQ((std::vector<uint32_t>{5, 9}), m_list.Ids()) << nLoad;
        bool bFound = false;
        const SPackageInfo got = Find(m_list, 5, bFound);
        EXPECT_STREQ("file five", got.PkgName);
        EXPECT_EQ(55u, got.PkgLocalVer);
        EXPECT_EQ(std::string("V:\\five\0", 8), FieldText(got.VDiskPath));
        EXPECT_EQ(3u, got.ExtValue7) << "added fields are back at their defaults";
        EXPECT_TRUE(got.ExtText10.empty());
        EXPECT_EQ("[Info]|strVlfFileName:" + strPath + "_", vecLines.back()) << nLoad;
        EXPECT_EQ(nLoad == 0 ? "[Info]|CopyRightFile succeed" : "[Info]|RightFile Exist", vecLines[vecLines.size() - 2]);
    }
}

TEST_F(LoadVLFTest, SetInfoFromVLFKeepsTheLastOfARepeatedId) {
    CPackageInfo third = MakePackage(7, "third", "C:\\third");
    memset(third.PkgName, 'T', sizeof(third.PkgName));  // as decoded: no terminator
    const std::string strPayload =
        EncodePackageList({MakePackage(7, "first", "C:\\first"), MakePackage(3, "second", "C:\\second"), third});
    CPackageInfoList list;
    CByteReader reader(reinterpret_cast<const uint8_t*>(strPayload.data()), uint32_t(strPayload.size()));
    ASSERT_EQ(0, list.Decode(reader));

    m_list.AddInfo(MapRecord(2, "map two"));
    m_list.SetInfoFromVLF(list);
    EXPECT_EQ((std::vector<uint32_t>{3, 7}), m_list.Ids());
    bool bFound = false;
    const SPackageInfo got = Find(m_list, 7, bFound);
    EXPECT_EQ(std::string(32, 'T'), got.PkgName) << "stored through record assignment";
    EXPECT_EQ(std::string("C:\\third\0", 9), FieldText(got.PkgPath));
    EXPECT_EQ(3u, got.ExtValue7);

    CPackageInfoList empty;
    const std::string strZero(4, '\0');
    CByteReader zeroReader(reinterpret_cast<const uint8_t*>(strZero.data()), 4);
    ASSERT_EQ(0, empty.Decode(zeroReader));
    m_list.SetInfoFromVLF(empty);
    EXPECT_TRUE(m_list.Ids().empty());
}
