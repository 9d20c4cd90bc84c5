#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "HalvexDll.h"
#include "TempDir.h"
#include "catalogue/packagelist.h"
#include "module/HalvexCode.h"

namespace fs = std::filesystem;

// The sample catalogue's binaries, merged by the library, answer what the
// catalogue's expected.json says, so that file can be trusted by other suites.
TEST(SampleCatalogueTest, MergedSampleAnswersAsExpected) {
    const fs::path examples = fs::path(__FILE__).parent_path().parent_path() / "examples";
    std::ifstream in(examples / "expected.json");
    ASSERT_TRUE(in) << examples;
    const nlohmann::json expected = nlohmann::json::parse(in);

    const halvextest::CTempDir temp("sample");
    const fs::path& dir = temp.Root();
    for (const char* pszName : {"PkgMenuList.dat", "PkgMenuListEx.dat", "PkgStoreList.dat"})
        fs::copy_file(examples / "data" / pszName, dir / pszName);

    ReleasePkgList();
    const int nLoaded = GetPkgList()->LoadPkgList((dir / "PkgMenuList.dat").string().c_str(),
                                                  (dir / "PkgMenuListEx.dat").string().c_str(),
                                                  (dir / "PkgStoreList.dat").string().c_str());
    EXPECT_EQ(1, nLoaded);
    // One record per distinct id of the extension list: the answering ids and 1008, whose type -1 answers 0.
    EXPECT_EQ(expected["answers"].size() + 1, GetPkgList()->GetCount());
    for (const auto& [strId, jPath] : expected["answers"].items()) {
        char szBuf[300] = "untouched";
        EXPECT_EQ(1, GetPkgFullPath(uint32_t(std::stoul(strId)), szBuf, sizeof(szBuf))) << strId;
        EXPECT_EQ(jPath.get<std::string>(), szBuf) << strId;
    }
    for (const auto& jId : expected["zero"]) {
        char szBuf[300] = "untouched";
        EXPECT_EQ(0, GetPkgFullPath(jId.get<uint32_t>(), szBuf, sizeof(szBuf))) << jId;
        EXPECT_STREQ("untouched", szBuf) << jId;
    }
    ReleasePkgList();
}
