#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "catalogue/PackageInfo.h"

namespace {
std::string Bytes(const char* p, size_t n) { return std::string(p, n); }
std::string OneZero() { return std::string(1, '\0'); }
std::string FieldBytes(const CByteField& field) {
    return std::string(reinterpret_cast<const char*>(field.GetData()), field.GetLength());
}
}  // namespace

TEST(PackageInfoTest, DefaultRecordHoldsItsDefaults) {
    const SPackageInfo info;
    EXPECT_EQ(0u, info.PkgId);
    EXPECT_EQ(3u, info.ExtValue7);
    for (uint32_t v : {info.PkgAttr1, info.PkgLocalClass, info.PkgAttr2, info.PkgIDCVer, info.PkgNewVer,
                       info.PkgLocalVer, info.PkgIdxCRC, info.PkgAttr3, info.PkgAttr4, info.VDiskUpdateDate,
                       info.PkgExtra1, info.PkgExtra2, info.PkgExtra3, info.PkgExtra4, info.PkgExtra5, info.ExtValue8,
                       info.ExtValue9, info.ExtValue15, info.ExtValue16})
        EXPECT_EQ(0u, v);
    EXPECT_EQ(0, info.PkgType);
    EXPECT_EQ(std::string(33, '\0'), Bytes(info.PkgName, sizeof(info.PkgName)));
    for (const char* p : {info.PkgIDCClass, info.MainExe, info.RunExe}) EXPECT_EQ(std::string(65, '\0'), Bytes(p, 65));
    for (const CByteField* f : {&info.PkgPath, &info.VDiskPath, &info.LargeUrl, &info.SmallUrl})
        EXPECT_EQ(OneZero(), FieldBytes(*f));
    for (const std::string* s : {&info.ExtText10, &info.MenuMainExe, &info.ExtText11, &info.ExtText13, &info.ExtText14})
        EXPECT_TRUE(s->empty());

    const CPackageExInfo ex;
    EXPECT_EQ(0u, ex.ExtParams.GetLength());
    EXPECT_EQ(nullptr, ex.ExtParams.GetData());
}

// A record decoded from a file may carry text fields without a terminator
// and bytes after it; assignment normalises them, copy construction does not.
TEST(PackageInfoTest, AssignmentTruncatesTextFieldsCopyConstructionKeepsThem) {
    SPackageInfo src;
    memset(src.PkgName, 'N', sizeof(src.PkgName));                     // 33 non-zero bytes
    memcpy(src.RunExe, "abc\0xyz", 7);                                  // text, zero, further bytes
    memset(src.MainExe, 'M', sizeof(src.MainExe));                      // 65 non-zero bytes
    memcpy(src.PkgIDCClass, "cls\0\x01\x02", 6);
    src.PkgPath.Assign("p\0q", 3);
    src.VDiskPath.Assign("", 0);
    src.ExtText10 = "ten";
    src.ExtValue7 = 70;

    SPackageInfo assigned;
    assigned = src;
    EXPECT_EQ(std::string(32, 'N') + OneZero(), Bytes(assigned.PkgName, 33));
    EXPECT_EQ("abc" + std::string(62, '\0'), Bytes(assigned.RunExe, 65));
    EXPECT_EQ(std::string(64, 'M') + OneZero(), Bytes(assigned.MainExe, 65));
    EXPECT_EQ("cls" + std::string(62, '\0'), Bytes(assigned.PkgIDCClass, 65));
    EXPECT_EQ(std::string("p\0q", 3), FieldBytes(assigned.PkgPath));
    EXPECT_EQ(0u, assigned.VDiskPath.GetLength()) << "a byte field of length 0 stays 0, no zero byte";
    EXPECT_EQ(nullptr, assigned.VDiskPath.GetData());
    EXPECT_EQ("ten", assigned.ExtText10);
    EXPECT_EQ(70u, assigned.ExtValue7);
    EXPECT_NE(src.PkgPath.GetData(), assigned.PkgPath.GetData()) << "byte fields are deep copies";

    const SPackageInfo copied(src);
    EXPECT_EQ(Bytes(src.PkgName, 33), Bytes(copied.PkgName, 33));
    EXPECT_EQ(Bytes(src.RunExe, 65), Bytes(copied.RunExe, 65));
    EXPECT_EQ(Bytes(src.MainExe, 65), Bytes(copied.MainExe, 65));
    EXPECT_EQ(FieldBytes(src.PkgPath), FieldBytes(copied.PkgPath));
    EXPECT_EQ(0u, copied.VDiskPath.GetLength());
    EXPECT_NE(src.PkgPath.GetData(), copied.PkgPath.GetData());

    // Plain CPackageInfo behaves the same, and self-assignment changes nothing.
    CPackageInfo base;
    memset(base.PkgName, 'Q', sizeof(base.PkgName));
    CPackageInfo baseCopy(base);
    EXPECT_EQ(std::string(33, 'Q'), Bytes(baseCopy.PkgName, 33));
    baseCopy = base;
    EXPECT_EQ(std::string(32, 'Q') + OneZero(), Bytes(baseCopy.PkgName, 33));
    CPackageInfo& self = baseCopy;
    baseCopy.PkgPath.Assign("abc", 3);
    baseCopy = self;
    EXPECT_EQ("abc", FieldBytes(baseCopy.PkgPath));
    EXPECT_EQ(std::string(32, 'Q') + OneZero(), Bytes(baseCopy.PkgName, 33));
}

TEST(PackageInfoTest, ApplyExInfoCopiesExtensionFieldsAndKeepsTheRest) {
    SPackageInfo info;
    info.PkgId = 1;
    info.PkgLocalClass = 11;
    info.PkgIDCVer = 12;
    info.PkgLocalVer = 13;
    info.PkgIdxCRC = 14;
    info.PkgAttr4 = 15;
    info.VDiskUpdateDate = 16;
    info.PkgExtra1 = 21;
    info.PkgExtra5 = 25;
    info.ExtValue7 = 77;
    info.ExtText10 = "kept";
    info.PkgPath.AssignText("C:\\pkg", 6);
    info.VDiskPath.AssignText("V:\\disk", 7);
    memset(info.RunExe, 'R', 64);
    memset(info.MainExe, 'X', 64);

    CPackageExInfo ex;
    ex.PkgId = 42;
    ex.PkgAttr1 = 101;
    memset(ex.PkgName, 'n', 32);  // a full 32-character name
    strcpy(ex.PkgIDCClass, "Class");
    strcpy(ex.MainExe, "game.exe");  // 8 characters
    strcpy(ex.RunExe, "run.exe");
    ex.PkgAttr2 = 102;
    ex.PkgType = -1;
    ex.PkgExAttr = 999;
    ex.PkgNewVer = 103;
    ex.PkgAttr3 = 104;
    ex.ExtParams.AssignText("1=5", 3);

    ApplyExInfo(info, ex);

    EXPECT_EQ(42u, info.PkgId);
    EXPECT_EQ(101u, info.PkgAttr1);
    EXPECT_EQ(std::string(32, 'n') + OneZero(), Bytes(info.PkgName, 33));
    EXPECT_EQ("Class" + std::string(60, '\0'), Bytes(info.PkgIDCClass, 65));
    EXPECT_EQ("game.exe", info.MenuMainExe);
    EXPECT_EQ("game.exe" + std::string(57, '\0'), Bytes(info.MainExe, 65));
    EXPECT_EQ("run.exe" + std::string(58, '\0'), Bytes(info.RunExe, 65));
    EXPECT_EQ(102u, info.PkgAttr2);
    EXPECT_EQ(-1, info.PkgType);
    EXPECT_EQ(103u, info.PkgNewVer);
    EXPECT_EQ(104u, info.PkgAttr3);

    // Untouched: the rest, and the extension's PkgExAttr and ExtParams are not applied here.
    EXPECT_EQ(11u, info.PkgLocalClass);
    EXPECT_EQ(12u, info.PkgIDCVer);
    EXPECT_EQ(13u, info.PkgLocalVer);
    EXPECT_EQ(14u, info.PkgIdxCRC);
    EXPECT_EQ(15u, info.PkgAttr4);
    EXPECT_EQ(16u, info.VDiskUpdateDate);
    EXPECT_EQ(21u, info.PkgExtra1);
    EXPECT_EQ(25u, info.PkgExtra5);
    EXPECT_EQ(77u, info.ExtValue7);
    EXPECT_EQ("kept", info.ExtText10);
    EXPECT_EQ(std::string("C:\\pkg\0", 7), FieldBytes(info.PkgPath));
    EXPECT_EQ(std::string("V:\\disk\0", 8), FieldBytes(info.VDiskPath));
}

TEST(PackageInfoTest, ApplyExInfoCutsLongMainExeToTheField) {
    SPackageInfo info;
    CPackageExInfo ex;
    memset(ex.MainExe, 'm', 64);  // the file's longest text; the in-memory field's last byte stays zero
    ApplyExInfo(info, ex);
    EXPECT_EQ(std::string(64, 'm'), info.MenuMainExe);
    EXPECT_EQ(std::string(64, 'm') + OneZero(), Bytes(info.MainExe, 65));
}
