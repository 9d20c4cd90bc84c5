// Loading and merging the three list files at 10k and 100k records each,
// against merely reading and CRC-checking the same files.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "ListEncoder.h"
#include "catalogue/packagelist.h"
#include "datafile/CRCChkFile.h"
#include "module/HalvexCode.h"

namespace {
struct SListFiles {
    std::string strMenu, strEx, strStore;
};

// The list files of each size, written once into a temporary directory that
// goes when the process ends.
class CListFileCache {
public:
    ~CListFileCache() {
        std::error_code ec;
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
    }

    const SListFiles& Get(uint32_t dwRecords) {
        auto it = m_mapFiles.find(dwRecords);
        if (it != m_mapFiles.end()) return it->second;
        if (m_dir.empty()) {
            m_dir = std::filesystem::temp_directory_path() / ("halvex-loadbench-" + std::to_string(getpid()));
            std::filesystem::create_directories(m_dir);
        }
        const std::string strBase = Core(m_dir / std::to_string(dwRecords));
        SListFiles files{strBase + "PkgMenuList.dat", strBase + "PkgMenuListEx.dat", strBase + "PkgStoreList.dat"};
        // Menu ids 0..N-1, store ids N..2N-1; the extension list names every
        // even menu id and every odd store id, so half the menu is pruned and
        // half the catalogue comes from the store.
        std::vector<CPackageInfo> vecMenu, vecStore;
        std::vector<CPackageExInfo> vecEx;
        vecMenu.reserve(dwRecords);
        vecStore.reserve(dwRecords);
        vecEx.reserve(dwRecords);
        for (uint32_t i = 0; i < dwRecords; ++i) {
            vecMenu.push_back(Package(i));
            vecStore.push_back(Package(dwRecords + i));
            const uint32_t dwId = i % 2 == 0 ? i : dwRecords + i;
            vecEx.push_back(MakePackageEx(dwId, "Package " + std::to_string(dwId),
                                          "1=2;2=V:\\VDisk\\" + std::to_string(dwId) + ";7=1;10=menu text"));
        }
        WriteBinaryFile(files.strMenu, WithTrailer(EncodePackageList(vecMenu)));
        WriteBinaryFile(files.strStore, WithTrailer(EncodePackageList(vecStore)));
        WriteBinaryFile(files.strEx, WithTrailer(EncodePackageExList(vecEx)));
        return m_mapFiles.emplace(dwRecords, files).first->second;
    }

private:
    static std::string Core(const std::filesystem::path& path) {
        std::string str = path.string();
        for (char& c : str)
            if (c == '/') c = '\\';
        return str;
    }
    static CPackageInfo Package(uint32_t dwId) {
        CPackageInfo info = MakePackage(dwId, "Package " + std::to_string(dwId),
                                        "D:\\Games\\Packages\\Package" + std::to_string(dwId));
        info.LargeUrl.AssignText("http://img/large.png", 20);
        return info;
    }

    std::filesystem::path m_dir;
    std::map<uint32_t, SListFiles> m_mapFiles;
};

CListFileCache& Files() {
    static CListFileCache s_cache;
    return s_cache;
}

// The loads log a few lines each; they would only scatter the table.
class CQuietStdout {
public:
    CQuietStdout() {
        fflush(stdout);
        m_fdSaved = dup(STDOUT_FILENO);
        const int fdNull = open("/dev/null", O_WRONLY);
        if (fdNull >= 0) {
            dup2(fdNull, STDOUT_FILENO);
            close(fdNull);
        }
    }
    ~CQuietStdout() {
        fflush(stdout);
        if (m_fdSaved >= 0) {
            dup2(m_fdSaved, STDOUT_FILENO);
            close(m_fdSaved);
        }
    }

private:
    int m_fdSaved = -1;
};

// Steady state: the working copies made by the first load are reused
// ("RightFile Exist"), as every load but the first of a generation does.
void BM_LoadPkgList(benchmark::State& state) {
    const SListFiles& files = Files().Get(uint32_t(state.range(0)));
    CQuietStdout quiet;
    Reset();
    for (auto _ : state) {
        auto pList = std::make_unique<CPackageList>();
        benchmark::DoNotOptimize(pList->LoadPkgList(files.strMenu.c_str(), files.strEx.c_str(), files.strStore.c_str()));
        state.PauseTiming();  // the catalogue's destruction is the unload's, not the load's
        pList.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadPkgList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// With Reset before each load: both working copies are taken afresh.
void BM_LoadPkgListFreshCopies(benchmark::State& state) {
    const SListFiles& files = Files().Get(uint32_t(state.range(0)));
    CQuietStdout quiet;
    for (auto _ : state) {
        Reset();
        auto pList = std::make_unique<CPackageList>();
        benchmark::DoNotOptimize(pList->LoadPkgList(files.strMenu.c_str(), files.strEx.c_str(), files.strStore.c_str()));
        state.PauseTiming();
        pList.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadPkgListFreshCopies)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: each of the three files opened, read whole and CRC-checked.
void BM_ReadAndCrcCheck(benchmark::State& state) {
    const SListFiles& files = Files().Get(uint32_t(state.range(0)));
    for (auto _ : state) {
        for (const std::string* pstrPath : {&files.strMenu, &files.strEx, &files.strStore}) {
            CCRCChkFile file;
            if (!file.Open(pstrPath->c_str(), CFile::modeRead | CFile::shareExclusive, nullptr)) {
                state.SkipWithError("open failed");
                return;
            }
            const uint32_t dwLength = uint32_t(file.GetLength());
            std::unique_ptr<uint8_t[]> pBuffer(new uint8_t[dwLength]);
            if (file.Read(pBuffer.get(), dwLength) != dwLength) {
                state.SkipWithError("CRC check failed");
                return;
            }
            benchmark::DoNotOptimize(pBuffer.get());
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadAndCrcCheck)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace
