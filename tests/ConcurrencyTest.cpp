// Lookups on several threads while another thread loads the catalogue again
// and again from two list sets of different content. Every answer must come
// from one complete catalogue: empty (before the first load), set A or set B.
// Meant for the thread sanitizer as well as the normal suite.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "CatalogueTestSupport.h"
#include "module/HalvexCode.h"

using namespace cattest;

namespace {
constexpr int LOADS = 24;
constexpr uint32_t PRUNED_FIRST = 1000;  // in both menus, in neither extension list
constexpr uint32_t PRUNED_LAST = 1009;
constexpr uint32_t ID_MAX = 90;

// Set A: menu 1..40 answered by their package path, 60..69 from the store.
// Set B: menu 21..60 answered by the virtual-disk path of their extension
// text, 80..89 from the store. A catalogue caught between the menu load and
// the merge would answer B's menu paths or the pruned ids.
std::string ExpectedPath(char chSet, uint32_t dwId) {
    const std::string strId = std::to_string(dwId);
    if (chSet == 'A') {
        if (dwId >= 1 && dwId <= 40) return "A\\menu\\" + strId;
        if (dwId >= 60 && dwId <= 69) return "A\\store\\" + strId;
    } else {
        if (dwId >= 21 && dwId <= 60) return "B\\vd\\" + strId;
        if (dwId >= 80 && dwId <= 89) return "B\\store\\" + strId;
    }
    return std::string();
}

std::map<uint32_t, std::string> WholeSet(char chSet) {
    std::map<uint32_t, std::string> map;
    for (uint32_t id = 0; id <= ID_MAX; ++id)
        if (!ExpectedPath(chSet, id).empty()) map[id] = ExpectedPath(chSet, id);
    return map;
}

struct SListSet {
    std::string strMenu, strEx, strStore;
};

SListSet WriteSet(const CTempDir& dir, char chSet) {
    const std::string strPrefix(1, chSet);
    SListSet set{dir.Path(strPrefix + "PkgMenuList.dat"), dir.Path(strPrefix + "PkgMenuListEx.dat"),
                 dir.Path(strPrefix + "PkgStoreList.dat")};
    const uint32_t dwMenuFirst = chSet == 'A' ? 1 : 21, dwMenuLast = chSet == 'A' ? 40 : 60;
    const uint32_t dwStoreFirst = chSet == 'A' ? 60 : 80;
    const std::string strMark = chSet == 'A' ? "8=1" : "8=2";
    std::vector<CPackageInfo> vecMenu, vecStore;
    std::vector<CPackageExInfo> vecEx;
    for (uint32_t id = dwMenuFirst; id <= dwMenuLast; ++id) {
        vecMenu.push_back(MakePackage(id, "p" + std::to_string(id), strPrefix + "\\menu\\" + std::to_string(id)));
        const std::string strText = chSet == 'A' ? strMark : strMark + ";2=B\\vd\\" + std::to_string(id);
        vecEx.push_back(MakePackageEx(id, "p" + std::to_string(id), strText));
    }
    for (uint32_t id = PRUNED_FIRST; id <= PRUNED_LAST; ++id)
        vecMenu.push_back(MakePackage(id, "gone", strPrefix + "\\menu\\" + std::to_string(id)));
    for (uint32_t id = dwStoreFirst; id < dwStoreFirst + 10; ++id) {
        vecStore.push_back(MakePackage(id, "s" + std::to_string(id), strPrefix + "\\store\\" + std::to_string(id)));
        vecEx.push_back(MakePackageEx(id, "s" + std::to_string(id), strMark));
    }
    WriteMenuList(set.strMenu, vecMenu);
    WriteMenuList(set.strStore, vecStore);
    WriteExList(set.strEx, vecEx);
    return set;
}

// One answer: found with a path, or not found.
bool AnswerFits(uint32_t dwId, bool bFound, const std::string& strPath, std::string& strWhy) {
    if (!bFound) return true;  // empty catalogue, or the id is not in the set now loaded
    if (dwId >= PRUNED_FIRST) {
        strWhy = "pruned id " + std::to_string(dwId) + " answered " + strPath;
        return false;
    }
    if (strPath == ExpectedPath('A', dwId) || strPath == ExpectedPath('B', dwId)) return true;
    strWhy = "id " + std::to_string(dwId) + " answered " + strPath;
    return false;
}

class ConcurrencyTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        ReleasePkgList();
        m_setA = WriteSet(m_dir, 'A');
        m_setB = WriteSet(m_dir, 'B');
    }
    void TearDown() override { ReleasePkgList(); }

    // Loads A, B, A, ... on its own thread while `reader` runs on nReaders
    // threads until the loads are done; returns the first inconsistency seen.
    template <class TReader>
    std::string Run(CPackageList& list, int nReaders, TReader reader) {
        std::atomic<bool> bStop{false};
        std::string strFirstError;
        CCriticalSection csError;
        auto fail = [&](const std::string& strWhy) {
            CScopedLock lock(csError);
            if (strFirstError.empty()) strFirstError = strWhy;
        };
        testing::internal::CaptureStdout();  // the loads log every copy and list they read
        std::vector<std::thread> vecThreads;
        for (int i = 0; i < nReaders; ++i)
            vecThreads.emplace_back([&, i] {
                for (uint32_t n = uint32_t(i); !bStop.load(); ++n) reader(n, fail);
            });
        std::thread loader([&] {
            for (int i = 0; i < LOADS; ++i) {
                const SListSet& set = i % 2 == 0 ? m_setA : m_setB;
                if (list.LoadPkgList(set.strMenu.c_str(), set.strEx.c_str(), set.strStore.c_str()) != 1)
                    fail("load " + std::to_string(i) + " failed");
                ++m_nLoaded;
                std::this_thread::yield();
            }
            bStop = true;
        });
        loader.join();
        for (auto& t : vecThreads) t.join();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(LOADS, m_nLoaded.load());
        return strFirstError;
    }

    CTempDir m_dir;
    SListSet m_setA, m_setB;
    std::atomic<int> m_nLoaded{0};  // counted after each load has returned
};

// Ids 21 to 40 are in both sets: once a load is complete they always answer.
bool InBothSets(uint32_t dwId) { return dwId >= 21 && dwId <= 40; }
}  // namespace

TEST_F(ConcurrencyTest, GetPkgFullPathAnswersFromOneWholeCatalogue) {
    CPackageList& catalogue = *GetPkgList();
    const std::string strError = Run(catalogue, 3, [this](uint32_t n, const auto& fail) {
        const uint32_t dwId = n % 2 ? n % (ID_MAX + 1) : PRUNED_FIRST + n % 10;
        const bool bLoadedBefore = m_nLoaded.load() > 0;
        char szBuf[64];
        const int nResult = GetPkgFullPath(dwId, szBuf, sizeof(szBuf));
        std::string strWhy;
        if (!AnswerFits(dwId, nResult == 1, nResult == 1 ? szBuf : "", strWhy)) fail(strWhy);
        if (bLoadedBefore && InBothSets(dwId) && nResult != 1)
            fail("id " + std::to_string(dwId) + " missing after a complete load");
    });
    EXPECT_EQ("", strError);
    // The last load was set B.
    char szBuf[64] = "";
    EXPECT_EQ(1, GetPkgFullPath(30, szBuf, sizeof(szBuf)));
    EXPECT_STREQ("B\\vd\\30", szBuf);
    EXPECT_EQ(0, GetPkgFullPath(5, szBuf, sizeof(szBuf)));
}

TEST_F(ConcurrencyTest, FindInfoAndWholeSnapshotsSeeOneSet) {
    CInspectableList list;
    const std::map<uint32_t, std::string> mapA = WholeSet('A'), mapB = WholeSet('B');
    std::atomic<int> nSnapshotsA{0}, nSnapshotsB{0};
    const std::string strError = Run(list, 3, [&](uint32_t n, const auto& fail) {
        if (n % 3 == 0) {
            // The whole catalogue at one moment, under its lock.
            std::map<uint32_t, std::string> mapNow;
            bool bLoaded = false;
            {
                CScopedLock lock(list.Lock());
                bLoaded = m_nLoaded.load() > 0;
                for (uint32_t id : list.Ids()) {
                    SPackageInfo info;
                    info.PkgId = id;
                    list.FindInfo(info);
                    mapNow[id] = FieldToText(info.VDiskPath.GetLength() > 1 ? info.VDiskPath : info.PkgPath);
                }
            }
            if (mapNow == mapA)
                ++nSnapshotsA;
            else if (mapNow == mapB)
                ++nSnapshotsB;
            else if (bLoaded || !mapNow.empty())
                fail("a catalogue of " + std::to_string(mapNow.size()) + " entries that is neither set");
            return;
        }
        // One record: its fields must all come from the same set.
        SPackageInfo info;
        info.PkgId = n % (ID_MAX + 1);
        const bool bLoadedBefore = m_nLoaded.load() > 0;
        if (!list.FindInfo(info)) {
            if (bLoadedBefore && InBothSets(info.PkgId))
                fail("id " + std::to_string(info.PkgId) + " missing after a complete load");
            return;
        }
        const std::string strPath = FieldToText(info.VDiskPath.GetLength() > 1 ? info.VDiskPath : info.PkgPath);
        const char chSet = info.ExtValue8 == 1 ? 'A' : info.ExtValue8 == 2 ? 'B' : '?';
        if (chSet == '?' || strPath != ExpectedPath(chSet, info.PkgId) || info.MenuMainExe.empty())
            fail("record " + std::to_string(info.PkgId) + " mixes sets: ExtValue8 " + std::to_string(info.ExtValue8) +
                 ", path " + strPath);
    });
    EXPECT_EQ("", strError);
    std::map<uint32_t, std::string> mapLast;
    for (uint32_t id : list.Ids()) {
        bool bFound = false;
        const SPackageInfo info = Find(list, id, bFound);
        mapLast[id] = FieldToText(info.VDiskPath.GetLength() > 1 ? info.VDiskPath : info.PkgPath);
    }
    EXPECT_EQ(mapB, mapLast) << "the last load was set B";
    // Not a condition of correctness, only that the race was really run.
    RecordProperty("SnapshotsA", nSnapshotsA.load());
    RecordProperty("SnapshotsB", nSnapshotsB.load());
}
