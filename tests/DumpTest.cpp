#include <gtest/gtest.h>

#include <cstring>

#include "CatalogueTestSupport.h"

using namespace cattest;

namespace {
std::string DumpOf(CBasicInfoMap<CPackageInfoMap, CPackageInfoMap::iterator, SPackageInfo, CPackageInfoList>& map) {
    testing::internal::CaptureStdout();
    map.DumpInfo();  // virtual: a CPackageList writes its heading first
    return testing::internal::GetCapturedStdout();
}

std::string Line(int nId, const std::string& strName, int nNewVer, const std::string& strMain, const std::string& strRun,
                 const std::string& strClass, int nIDCVer, int nIdxCRC, int nLocalClass, int nLocalVer,
                 const std::string& strPath, int nType, const std::string& strSmall, const std::string& strLarge,
                 const std::string& strVDisk, int nUpdate) {
    char sz[2048];
    snprintf(sz, sizeof(sz),
             "[Info]|PkgId(%d), PkgName(%s), PkgNewVer(%d), MainExe(%s), RunExe(%s), PkgIDCClass(%s), PkgIDCVer(%d), "
             "PkgIdxCRC(%d), PkgLocalClass(%d), PkgLocalVer(%d), PkgPath(%s), PkgType(%d), SmallUrl(%s), "
             "LargeUrl(%s), VDiskPath(%s), VDiskUpdateDate(%d)",
             nId, strName.c_str(), nNewVer, strMain.c_str(), strRun.c_str(), strClass.c_str(), nIDCVer, nIdxCRC,
             nLocalClass, nLocalVer, strPath.c_str(), nType, strSmall.c_str(), strLarge.c_str(), strVDisk.c_str(),
             nUpdate);
    return sz;
}

std::string DefaultLine(int nId) { return Line(nId, "", 0, "", "", "", 0, 0, 0, 0, "", 0, "", "", "", 0); }
}  // namespace

TEST(DumpTest, EmptyListWritesHeadingOnly) {
    CPackageList list;
    const std::string strOut = DumpOf(list);
    EXPECT_EQ(std::vector<std::string>{"[Info]|CopyPkgInfo dump information."}, Messages(strOut));
    EXPECT_EQ(1, CountLines(strOut, "Info", "CopyPkgInfo dump information."));
}

TEST(DumpTest, LinesFollowIdOrderAndShowFieldsInTheirPlaces) {
    CPackageList list;
    SPackageInfo plain;  // default but for its id
    plain.PkgId = 10;
    list.AddInfo(plain);

    SPackageInfo full;
    full.PkgId = 4294967295u;  // printed signed
    SetText(full.PkgName, sizeof(full.PkgName), "Name");
    full.PkgNewVer = 2;
    SetText(full.MainExe, sizeof(full.MainExe), "main.exe");
    SetText(full.RunExe, sizeof(full.RunExe), "run.exe");
    SetText(full.PkgIDCClass, sizeof(full.PkgIDCClass), "Cls");
    full.PkgIDCVer = 3;
    full.PkgIdxCRC = 0x80000000u;
    full.PkgLocalClass = 4;
    full.PkgLocalVer = 5;
    full.PkgPath.Assign("C:\\p\0junk", 9);  // printed up to its first zero byte
    full.PkgType = -1;
    full.SmallUrl.AssignText("s", 1);
    full.LargeUrl.Assign("L", 1);  // no zero byte: never read beyond the length
    full.VDiskPath.Assign("", 0);
    full.VDiskUpdateDate = 6;
    list.AddInfo(full);

    SPackageInfo zero;
    list.AddInfo(zero);

    const std::vector<std::string> vec = Messages(DumpOf(list));
    ASSERT_EQ(4u, vec.size());
    EXPECT_EQ("[Info]|CopyPkgInfo dump information.", vec[0]);
    EXPECT_EQ(DefaultLine(0), vec[1]);
    EXPECT_EQ(DefaultLine(10), vec[2]);
    EXPECT_EQ(Line(-1, "Name", 2, "main.exe", "run.exe", "Cls", 3, int(0x80000000u), 4, 5, "C:\\p", -1, "s", "L",
                   "(null)", 6),
              vec[3]);
}

TEST(DumpTest, BaseMapWritesNoHeading) {
    CPackageList list;
    SPackageInfo info;
    info.PkgId = 1;
    list.AddInfo(info);
    testing::internal::CaptureStdout();
    list.CPackageMapBase::DumpInfo();
    EXPECT_EQ(std::vector<std::string>{DefaultLine(1)}, Messages(testing::internal::GetCapturedStdout()));
}

TEST(DumpTest, TextFieldWithoutTerminatorStopsAtItsEnd) {
    // A record copy-constructed from a decoded one may hold a full 33-byte name.
    SPackageInfo info;
    memset(info.PkgName, 'n', sizeof(info.PkgName));
    memset(info.MainExe, 'm', sizeof(info.MainExe));
    testing::internal::CaptureStdout();
    DumpPkgInfo(info);
    const std::vector<std::string> vec = Messages(testing::internal::GetCapturedStdout());
    ASSERT_EQ(1u, vec.size());
    EXPECT_EQ(Line(0, std::string(33, 'n'), 0, std::string(65, 'm'), "", "", 0, 0, 0, 0, "", 0, "", "", "", 0), vec[0]);
}
