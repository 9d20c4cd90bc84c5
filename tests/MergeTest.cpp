#include <gtest/gtest.h>

#include <cstring>

#include "CatalogueTestSupport.h"
#include "module/HalvexCode.h"
#include "platform/OsSystem.h"

using namespace cattest;

namespace {
class MergeTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        m_strMenu = m_dir.Path("PkgMenuList.dat");
        m_strEx = m_dir.Path("PkgMenuListEx.dat");
        m_strStore = m_dir.Path("PkgStoreList.dat");
    }

    int LoadPkgList() {
        testing::internal::CaptureStdout();
        const int nResult = m_list.LoadPkgList(m_strMenu.c_str(), m_strEx.c_str(), m_strStore.c_str());
        m_strOut = testing::internal::GetCapturedStdout();
        return nResult;
    }

    SPackageInfo Get(uint32_t dwId) {
        bool bFound = false;
        SPackageInfo info = Find(m_list, dwId, bFound);
        EXPECT_TRUE(bFound) << dwId;
        return info;
    }

    CTempDir m_dir;
    std::string m_strMenu, m_strEx, m_strStore, m_strOut;
    CInspectableList m_list;
};

CPackageInfo Menu(uint32_t dwId, const std::string& strName) {
    CPackageInfo info = MakePackage(dwId, strName, "C:\\menu\\" + std::to_string(dwId));
    info.PkgLocalVer = 100 + dwId;
    return info;
}
CPackageInfo Store(uint32_t dwId, const std::string& strName, int8_t nType = 0) {
    CPackageInfo info = MakePackage(dwId, strName, "C:\\store\\" + std::to_string(dwId), "", nType);
    info.PkgLocalVer = 200 + dwId;
    return info;
}
CPackageExInfo Ex(uint32_t dwId, const std::string& strName, const std::string& strText = "", int8_t nType = 0) {
    CPackageExInfo ex = MakePackageEx(dwId, strName, strText, nType);
    SetText(ex.MainExe, sizeof(ex.MainExe), "ex" + std::to_string(dwId) + ".exe");
    ex.PkgNewVer = 300 + dwId;
    return ex;
}
}  // namespace

TEST_F(MergeTest, ExtensionDecidesTheCatalogueMenuThenStoreSupplyRecords) {
    WriteMenuList(m_strMenu, {Menu(1, "one"), Menu(2, "two"), Menu(3, "three")});
    WriteMenuList(m_strStore, {Store(3, "three"), Store(9, "nine", 4)});
    WriteExList(m_strEx, {Ex(3, "Three", "5=33"), Ex(9, "nine", "6=99", 4)});

    EXPECT_EQ(1, LoadPkgList());
    EXPECT_EQ((std::vector<uint32_t>{3, 9}), m_list.Ids());

    const SPackageInfo three = Get(3);  // the menu's record, not the store's
    EXPECT_EQ(std::string("C:\\menu\\3\0", 10), FieldText(three.PkgPath));
    EXPECT_EQ(103u, three.PkgLocalVer);
    EXPECT_STREQ("Three", three.PkgName) << "extension fields applied";
    EXPECT_STREQ("ex3.exe", three.MainExe);
    EXPECT_EQ("ex3.exe", three.MenuMainExe);
    EXPECT_EQ(303u, three.PkgNewVer);
    EXPECT_EQ(33u, three.PkgExtra1);

    const SPackageInfo nine = Get(9);  // the store's record
    EXPECT_EQ(std::string("C:\\store\\9\0", 11), FieldText(nine.PkgPath));
    EXPECT_EQ(209u, nine.PkgLocalVer);
    EXPECT_EQ(4, nine.PkgType);
    EXPECT_EQ(99u, nine.PkgExtra3);
    EXPECT_EQ(309u, nine.PkgNewVer);

    // The two working copies were made, the extension list was read in place.
    EXPECT_EQ(2, CountLines(m_strOut, "Info", "CopyRightFile succeed"));
    EXPECT_EQ(1, CountLines(m_strOut, "Info", "strVlfFileName:" + m_strMenu + "_"));
    EXPECT_EQ(1, CountLines(m_strOut, "Info", "strVlfFileName:" + m_strStore + "_"));
    EXPECT_FALSE(std::filesystem::exists(m_dir.Native("PkgMenuListEx.dat_")));
}

TEST_F(MergeTest, StoreRecordNeedsSameTypeAndExactName) {
    const struct {
        const char* pszCase;
        std::string strStoreName;
        int8_t nStoreType;
        bool bTaken;
    } aCases[] = {
        {"same", "nine", 4, true},
        {"name differs in case", "Nine", 4, false},
        {"type differs", "nine", 5, false},
        {"name longer", "nine!", 4, false},
    };
    for (const auto& c : aCases) {
        Reset();
        WriteMenuList(m_strMenu, {Menu(1, "one")});
        WriteMenuList(m_strStore, {Store(9, c.strStoreName, c.nStoreType)});
        WriteExList(m_strEx, {Ex(9, "nine", "", 4)});
        EXPECT_EQ(1, LoadPkgList()) << c.pszCase;
        EXPECT_EQ(std::vector<uint32_t>{9}, m_list.Ids()) << c.pszCase;
        const SPackageInfo nine = Get(9);
        EXPECT_STREQ("nine", nine.PkgName) << c.pszCase;
        EXPECT_EQ(4, nine.PkgType) << c.pszCase;
        if (c.bTaken) {
            EXPECT_EQ(209u, nine.PkgLocalVer) << c.pszCase;
        } else {
            EXPECT_EQ(0u, nine.PkgLocalVer) << c.pszCase;
            EXPECT_EQ(std::string(1, '\0'), FieldText(nine.PkgPath)) << c.pszCase;
            EXPECT_EQ(std::string(1, '\0'), FieldText(nine.VDiskPath)) << c.pszCase;
        }
    }
}

TEST_F(MergeTest, EmptyExtensionListEmptiesTheCatalogue) {
    WriteMenuList(m_strMenu, {Menu(1, "one"), Menu(2, "two")});
    WriteMenuList(m_strStore, {});
    WriteExList(m_strEx, {});
    EXPECT_EQ(1, LoadPkgList());
    EXPECT_TRUE(m_list.Ids().empty());
}

// When the extension list cannot be used, the menu list stays, unmerged.
TEST_F(MergeTest, UnusableExtensionListLeavesMenuRecords) {
    const std::string strValidEx = WithTrailer(EncodePackageExList({Ex(1, "other")}));
    std::string strBadTrailer = strValidEx;
    strBadTrailer.back() ^= 0x40;
    const struct {
        const char* pszCase;
        bool bWrite;
        std::string strBytes;
        int nResult;
    } aCases[] = {
        {"missing", false, "", 0},
        {"trailer mismatch", true, strBadTrailer, 0},
        {"2 bytes", true, "ab", 0},
        {"empty file: decode fails, merge skipped", true, "", 1},
        {"undecodable payload", true, WithTrailer(std::string("\0\0\0\x05xyz", 7)), 1},
    };
    for (const auto& c : aCases) {
        Reset();
        WriteMenuList(m_strMenu, {Menu(1, "one"), Menu(2, "two")});
        WriteMenuList(m_strStore, {Store(5, "five")});
        std::filesystem::remove(m_dir.Native("PkgMenuListEx.dat"));
        if (c.bWrite) {
            ASSERT_TRUE(WriteBinaryFile(m_strEx, c.strBytes));
        }
        EXPECT_EQ(c.nResult, LoadPkgList()) << c.pszCase;
        EXPECT_EQ((std::vector<uint32_t>{1, 2}), m_list.Ids()) << c.pszCase;
        const SPackageInfo one = Get(1);
        EXPECT_STREQ("one", one.PkgName) << c.pszCase;
        EXPECT_TRUE(one.MenuMainExe.empty()) << c.pszCase;
        EXPECT_EQ(0, CountLines(m_strOut, "Error", "LoadVLFFromFile FAIDED PATH  =" + m_strEx)) << c.pszCase;
        EXPECT_EQ(std::string::npos, m_strOut.find("PkgMenuListEx")) << c.pszCase << ": nothing logged of it";
        EXPECT_EQ(std::string::npos, m_strOut.find(m_strStore)) << c.pszCase << ": no merge, no store list";
    }
}

TEST_F(MergeTest, MissingMenuListStillMerges) {
    WriteMenuList(m_strStore, {Store(9, "nine")});
    WriteExList(m_strEx, {Ex(9, "nine"), Ex(4, "four", "2=V:\\4")});
    EXPECT_EQ(1, LoadPkgList());
    EXPECT_EQ((std::vector<uint32_t>{4, 9}), m_list.Ids());
    EXPECT_EQ(1, CountLines(m_strOut, "Error", "LoadVLFFromFile FAIDED PATH  =" + m_strMenu));
    EXPECT_EQ(std::string("V:\\4\0", 5), FieldText(Get(4).VDiskPath));
}

TEST_F(MergeTest, RepeatedExtensionIdBuildsOnTheFirst) {
    WriteMenuList(m_strMenu, {Menu(1, "one")});
    WriteMenuList(m_strStore, {});
    CPackageExInfo second = Ex(1, "second", "6=2");
    second.PkgAttr3 = 77;
    WriteExList(m_strEx, {Ex(1, "first", "5=1;10=kept;2=V:\\first"), second});
    EXPECT_EQ(1, LoadPkgList());
    EXPECT_EQ(std::vector<uint32_t>{1}, m_list.Ids());
    const SPackageInfo one = Get(1);
    EXPECT_STREQ("second", one.PkgName);
    EXPECT_EQ(77u, one.PkgAttr3);
    EXPECT_EQ(1u, one.PkgExtra1) << "from the first extension record";
    EXPECT_EQ(2u, one.PkgExtra3);
    EXPECT_EQ("kept", one.ExtText10);
    EXPECT_EQ(std::string("V:\\first\0", 9), FieldText(one.VDiskPath));
    EXPECT_EQ(101u, one.PkgLocalVer) << "the menu record underneath";
}

TEST_F(MergeTest, ReloadReplacesTheWholeCatalogue) {
    WriteMenuList(m_strMenu, {Menu(1, "one"), Menu(2, "two")});
    WriteMenuList(m_strStore, {});
    WriteExList(m_strEx, {Ex(1, "one"), Ex(2, "two", "7=")});
    ASSERT_EQ(1, LoadPkgList());
    EXPECT_EQ(0u, Get(2).ExtValue7);
    Reset();
    WriteMenuList(m_strMenu, {Menu(2, "two"), Menu(3, "three")});
    WriteExList(m_strEx, {Ex(2, "two"), Ex(3, "three")});
    ASSERT_EQ(1, LoadPkgList());
    EXPECT_EQ((std::vector<uint32_t>{2, 3}), m_list.Ids());
    EXPECT_EQ(3u, Get(2).ExtValue7) << "nothing of the earlier merge survives";
}

// ---------------------------------------------------------------------------
// The extension text, applied onto a default record.

namespace {
SPackageInfo Applied(const std::string& strText) {
    SPackageInfo info;
    CByteField field;
    field.Assign(strText.data(), uint32_t(strText.size()));
    ApplyExtParams(info, field);
    return info;
}
}  // namespace

TEST(ExtParamsTest, KeysValuesAndSeparators) {
    const struct {
        const char* pszCase;
        std::string strText;
        uint32_t dwLocalClass;  // key 1
        uint32_t dwValue7;      // key 7
        std::string strText10;  // key 10
    } aCases[] = {
        {"plain", "1=5;7=8;10=ten", 5, 8, "ten"},
        {"blanks before the key", "  1=6", 6, 3, ""},
        {"tab and plus sign", "\t+1=6", 6, 3, ""},
        {"minus sign gives -1", "-1=6", 0, 3, ""},
        {"digits then letters", "1abc=7", 7, 3, ""},
        {"key of letters", "abc=7", 0, 3, ""},
        {"key 0 and 17", "0=1;17=1;00=4", 0, 3, ""},
        {"no equals sign", "1;15;10", 0, 3, ""},
        {"empty value: number 0, empty text", "1=;7=;10=", 0, 0, ""},
        {"value without digits", "7=abc", 0, 0, ""},
        {"value digits then letters", "7=12ab", 0, 12, ""},
        {"value with blanks and sign", "7=  -3", 0, uint32_t(-3), ""},
        {"later key wins", "10=first;10=second;7=1;7=2", 0, 2, "second"},
        {"value holds equals signs", "10=a=b==c", 0, 3, "a=b==c"},
        {"leading, trailing and doubled separators", ";;1=5;;7=8;10=ten;;", 5, 8, "ten"},
        {"only separators", ";;;", 0, 3, ""},
        {"empty", "", 0, 3, ""},
        {"text stops at its zero byte", std::string("1=5\0;7=8", 8), 5, 3, ""},
        {"value keeps blanks", "10= a b ", 0, 3, " a b "},
        {"clamped high", "1=99999999999;7=2147483648", 2147483647u, 2147483647u, ""},
        {"clamped low", "1=-99999999999;7=-2147483649", 0x80000000u, 0x80000000u, ""},
        {"limits exact", "1=2147483647;7=-2147483648", 2147483647u, 0x80000000u, ""},
        {"huge key is no key", "4294967297=1", 0, 3, ""},
    };
    for (const auto& c : aCases) {
        const SPackageInfo info = Applied(c.strText);
        EXPECT_EQ(c.dwLocalClass, info.PkgLocalClass) << c.pszCase;
        EXPECT_EQ(c.dwValue7, info.ExtValue7) << c.pszCase;
        EXPECT_EQ(c.strText10, info.ExtText10) << c.pszCase;
    }
}

TEST(ExtParamsTest, EveryKeyReachesItsField) {
    const SPackageInfo info = Applied(
        "1=1;2=V:\\vdisk;3=http://large;4=http://small;5=5;6=6;7=7;8=8;9=9;10=t10;11=t11;12=12;13=t13;14=t14;15=15;16=16");
    EXPECT_EQ(1u, info.PkgLocalClass);
    EXPECT_EQ(std::string("V:\\vdisk\0", 9), FieldText(info.VDiskPath));
    EXPECT_EQ(std::string("http://large\0", 13), FieldText(info.LargeUrl));
    EXPECT_EQ(std::string("http://small\0", 13), FieldText(info.SmallUrl));
    EXPECT_EQ(5u, info.PkgExtra1);
    EXPECT_EQ(6u, info.PkgExtra3);
    EXPECT_EQ(7u, info.ExtValue7);
    EXPECT_EQ(8u, info.ExtValue8);
    EXPECT_EQ(9u, info.ExtValue9);
    EXPECT_EQ("t10", info.ExtText10);
    EXPECT_EQ("t11", info.ExtText11);
    EXPECT_EQ(12u, info.PkgExtra5);
    EXPECT_EQ("t13", info.ExtText13);
    EXPECT_EQ("t14", info.ExtText14);
    EXPECT_EQ(15u, info.ExtValue15);
    EXPECT_EQ(16u, info.ExtValue16);
    EXPECT_EQ(0u, info.PkgExtra2);
    EXPECT_EQ(0u, info.PkgExtra4);
    EXPECT_EQ(std::string(1, '\0'), FieldText(info.PkgPath));
}

TEST(ExtParamsTest, ByteFieldKeysTakeValueAndOneZero) {
    EXPECT_EQ(std::string(1, '\0'), FieldText(Applied("2=").VDiskPath));
    EXPECT_EQ(std::string("0123456789\0", 11), FieldText(Applied("2=0123456789").VDiskPath));
    EXPECT_EQ(std::string("a=b\0", 4), FieldText(Applied("3=a=b").LargeUrl));

    // Key 2 with an empty value is no virtual-disk path: the package path answers.
    SPackageInfo info;
    info.PkgId = 4040;
    info.PkgPath.AssignText("C:\\pkg", 6);
    info.VDiskPath.AssignText("V:\\old", 6);
    CByteField field;
    field.AssignText("2=", 2);
    ApplyExtParams(info, field);
    EXPECT_EQ(1u, info.VDiskPath.GetLength());
    GetPkgList()->AddInfo(info);
    char szBuf[32] = "";
    EXPECT_EQ(1, GetPkgFullPath(4040, szBuf, sizeof(szBuf)));
    EXPECT_STREQ("C:\\pkg", szBuf);
    ReleasePkgList();
}

// A trail byte equal to "=" belongs to its double-byte character.
TEST(ExtParamsTest, DoubleByteTrailIsNoEqualsSign) {
    struct SRestore {
        ~SRestore() { OsSetDbcsLeadByteRange(1, 0); }
    } restore;
    OsSetDbcsLeadByteRange(0x81, 0xFE);
    // Key "10\x81=" has no "=" of its own until the one after the character.
    const SPackageInfo a = Applied("10\x81==x");
    EXPECT_EQ("x", a.ExtText10) << "the first '=' is the trail byte of \\x81=";
    const SPackageInfo b = Applied("10\x81=");  // no "=" outside the character: skipped
    EXPECT_TRUE(b.ExtText10.empty());
    const SPackageInfo c = Applied("10=\x81=\x82=");  // values keep their characters whole
    EXPECT_EQ("\x81=\x82=", c.ExtText10);
    EXPECT_EQ(nullptr, FindCharMb("\x81=", '='));
    const char* pszText = "\x81==";
    EXPECT_EQ(pszText + 2, FindCharMb(pszText, '='));
    // A lead byte at the very end has no trail: a following zero ends the text.
    EXPECT_EQ(nullptr, FindCharMb("ab\x81", '='));

    OsSetDbcsLeadByteRange(1, 0);
    EXPECT_EQ(pszText + 1, FindCharMb(pszText, '=')) << "without lead bytes the same byte is '='";
}

TEST(ExtParamsTest, SplitTextDropsEmptyPieces) {
    const struct {
        std::string strText;
        std::vector<std::string> vecPieces;
    } aCases[] = {
        {"", {}},
        {";", {}},
        {"a", {"a"}},
        {"a;b", {"a", "b"}},
        {";a;;b;", {"a", "b"}},
        {";;;a", {"a"}},
        {"a b ; c", {"a b ", " c"}},
    };
    for (const auto& c : aCases) {
        std::vector<std::string> vec{"before"};
        EXPECT_EQ(int(c.vecPieces.size() + 1), SplitText(c.strText, vec, ';')) << c.strText;
        std::vector<std::string> vecExpected{"before"};
        vecExpected.insert(vecExpected.end(), c.vecPieces.begin(), c.vecPieces.end());
        EXPECT_EQ(vecExpected, vec) << c.strText;
    }
}
