#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CatalogueTestSupport.h"
#include "module/HalvexCode.h"

using namespace cattest;

namespace {
SPackageInfo Record(uint32_t dwId, const std::string& strName, const std::string& strPath) {
    SPackageInfo info;
    info.PkgId = dwId;
    SetText(info.PkgName, sizeof(info.PkgName), strName);
    info.PkgPath.AssignText(strPath.data(), strPath.size());
    return info;
}
}  // namespace

TEST(PackageMapTest, FindOnEmptyMapLeavesRecordAlone) {
    CPackageList list;
    SPackageInfo info = Record(5, "mine", "C:\\mine");
    info.ExtValue7 = 99;
    EXPECT_EQ(0, list.FindInfo(info));
    EXPECT_STREQ("mine", info.PkgName);
    EXPECT_EQ(99u, info.ExtValue7);
    EXPECT_EQ(std::string("C:\\mine\0", 8), FieldText(info.PkgPath));
}

TEST(PackageMapTest, AddTwiceKeepsOneEntryHoldingTheSecondRecordWhole) {
    CInspectableList list;
    SPackageInfo first = Record(7, "first", "C:\\one");
    first.ExtText10 = "first text";
    first.PkgExtra3 = 1;
    list.AddInfo(first);
    SPackageInfo second = Record(7, "second", "D:\\two");
    second.VDiskPath.Assign("", 0);
    second.ExtValue7 = 0;
    list.AddInfo(second);

    EXPECT_EQ(std::vector<uint32_t>{7}, list.Ids());
    bool bFound = false;
    const SPackageInfo got = Find(list, 7, bFound);
    ASSERT_TRUE(bFound);
    EXPECT_STREQ("second", got.PkgName);
    EXPECT_EQ(std::string("D:\\two\0", 7), FieldText(got.PkgPath));
    EXPECT_EQ(0u, got.VDiskPath.GetLength());
    EXPECT_EQ(0u, got.ExtValue7);
    EXPECT_TRUE(got.ExtText10.empty()) << "the whole record is replaced, added fields included";
    EXPECT_EQ(0u, got.PkgExtra3);
}

TEST(PackageMapTest, StoredRecordIsACopy) {
    CPackageList list;
    SPackageInfo info = Record(3, "orig", "C:\\orig");
    list.AddInfo(info);
    SetText(info.PkgName, sizeof(info.PkgName), "changed");
    info.PkgPath.AssignText("X", 1);
    bool bFound = false;
    SPackageInfo got = Find(list, 3, bFound);
    ASSERT_TRUE(bFound);
    EXPECT_STREQ("orig", got.PkgName);
    got.PkgPath.AssignText("Y", 1);  // changing the copy out changes nothing inside
    const SPackageInfo again = Find(list, 3, bFound);
    EXPECT_EQ(std::string("C:\\orig\0", 8), FieldText(again.PkgPath));
}

TEST(PackageMapTest, ClearEmptiesTheMap) {
    CPackageList list;
    for (uint32_t id : {1u, 2u, 3u}) list.AddInfo(Record(id, "p", "C:\\p"));
    ASSERT_EQ(3u, list.GetCount());
    list.ClearInfo();
    EXPECT_EQ(0u, list.GetCount());
    for (uint32_t id : {1u, 2u, 3u}) {
        bool bFound = true;
        Find(list, id, bFound);
        EXPECT_FALSE(bFound) << id;
    }
}

TEST(PackageMapTest, IdsAreOrderedAsUnsignedNumbers) {
    CInspectableList list;
    for (uint32_t id : {4294967295u, 0u, 10u, 2147483648u}) list.AddInfo(Record(id, "p", "C:\\p"));
    EXPECT_EQ((std::vector<uint32_t>{0u, 10u, 2147483648u, 4294967295u}), list.Ids());
    bool bFound = false;
    EXPECT_EQ(4294967295u, Find(list, 4294967295u, bFound).PkgId);
    EXPECT_TRUE(bFound);
}

TEST(PackageMapTest, LockIsRecursiveForItsHolderAndExcludesOthers) {
    CInspectableList list;
    list.AddInfo(Record(1, "p", "C:\\p"));
    std::atomic<bool> bDone{false};
    list.Lock().Lock();
    list.Lock().Lock();
    bool bFound = false;
    Find(list, 1, bFound);  // the holder takes it a third time; a plain mutex would hang here
    EXPECT_TRUE(bFound);
    list.AddInfo(Record(2, "q", "C:\\q"));

    std::thread other([&] {
        bool b = false;
        Find(list, 2, b);
        bDone = b;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(bDone.load()) << "another thread got in while the lock was held";
    list.Lock().Unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(bDone.load()) << "free after one release of two";
    list.Lock().Unlock();
    other.join();
    EXPECT_TRUE(bDone.load());
}

namespace {
// The test executable's directory in the core's form: the host of this process.
#ifdef _WIN32
extern "C" __declspec(dllimport) unsigned long __stdcall GetModuleFileNameW(void* hModule, wchar_t* pszPath,
                                                                            unsigned long nSize);
std::filesystem::path ExeDirNative() {
    wchar_t szPath[1024] = L"";
    GetModuleFileNameW(nullptr, szPath, 1024);
    return std::filesystem::path(szPath).parent_path();
}
#else
std::filesystem::path ExeDirNative() { return std::filesystem::canonical("/proc/self/exe").parent_path(); }
#endif
}  // namespace

TEST(PackageMapTest, HostExeDirIsTheExecutablesDirectoryWithoutSlash) {
    const std::string strDir = GetHostExeDir();
    EXPECT_EQ(CTempDir::ToCore(ExeDirNative()), strDir);
    ASSERT_FALSE(strDir.empty());
    EXPECT_NE('\\', strDir.back());
    CPackageList list;
    EXPECT_EQ(strDir + "\\Data\\PkgDeleted.ini", list.GetDeletedListPath());
}

TEST(PackageMapTest, ConstructionResetsReadOnlyDeletedList) {
    namespace fs = std::filesystem;
    const fs::path dataDir = ExeDirNative() / "Data";
    const fs::path ini = dataDir / "PkgDeleted.ini";
    std::error_code ec;
    const bool bMadeDir = fs::create_directory(dataDir, ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_FALSE(fs::exists(ini)) << "a PkgDeleted.ini of someone else lies beside the test binary";
    {
        std::ofstream(ini) << "[deleted]\n";
    }
    fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_EQ(fs::perms::none, fs::status(ini).permissions() & fs::perms::owner_write);

    { CPackageList list; }
    const fs::perms after = fs::status(ini).permissions();
    fs::remove(ini, ec);
    if (bMadeDir) fs::remove(dataDir, ec);
    EXPECT_NE(fs::perms::none, after & fs::perms::owner_write) << "still read-only";

    // Without the file, construction leaves the disk as it was.
    { CPackageList list; }
    EXPECT_FALSE(fs::exists(ini));
    if (bMadeDir) {
        EXPECT_FALSE(fs::exists(dataDir));
    }
}

// The narrow lookup behind GetPkgFullPath answers as a whole-record lookup
// and a choice on the copy would.
TEST(PackageMapTest, FindPathAgreesWithFindInfo) {
    CPackageList list;
    const struct {
        uint32_t dwId;
        std::string strPkgPath, strVDisk;
        int8_t nType;
    } aRecords[] = {
        {1, std::string("C:\\p\0", 5), std::string(1, '\0'), 0},
        {2, std::string("C:\\p\0", 5), std::string("V:\\v\0", 5), 3},
        {3, std::string("C:\\p\0", 5), std::string("\0\0", 2), 0},
        {4, "", "", 0},
        {5, std::string("C:\\p\0", 5), std::string("V:\\v\0", 5), -1},
        {6, std::string("a\0b\0\0", 5), "", 0},
    };
    for (const auto& r : aRecords) {
        SPackageInfo info;
        info.PkgId = r.dwId;
        info.PkgType = r.nType;
        info.PkgPath.Assign(r.strPkgPath.data(), uint32_t(r.strPkgPath.size()));
        info.VDiskPath.Assign(r.strVDisk.data(), uint32_t(r.strVDisk.size()));
        list.AddInfo(info);
    }
    for (uint32_t id = 0; id <= 7; ++id) {
        bool bFound = false;
        const SPackageInfo info = Find(list, id, bFound);
        const bool bAnswers = bFound && info.PkgType != -1;
        std::string strPath = "untouched";
        EXPECT_EQ(bAnswers ? 1 : 0, list.FindPath(id, strPath)) << id;
        if (bAnswers) {
            EXPECT_EQ(FieldToText(info.VDiskPath.GetLength() > 1 ? info.VDiskPath : info.PkgPath), strPath) << id;
        } else {
            EXPECT_EQ("untouched", strPath) << id;
        }
    }
}
