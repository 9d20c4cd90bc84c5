// Lookups in a catalogue of 100k records, against the floor of a bare map
// lookup and path copy, and the memory a catalogue record takes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "ListEncoder.h"
#include "catalogue/packagelist.h"
#include "module/HalvexCode.h"

namespace {
constexpr uint32_t RECORDS = 100000;

std::string PathOf(uint32_t dwId) { return "D:\\Games\\Packages\\Package" + std::to_string(dwId) + "\\game.exe"; }

// A record as the merge leaves it: names, executables, a package path and
// the default virtual-disk path, and a few extension texts.
SPackageInfo Record(uint32_t dwId) {
    SPackageInfo info;
    info.PkgId = dwId;
    SetText(info.PkgName, sizeof(info.PkgName), "Package " + std::to_string(dwId));
    SetText(info.MainExe, sizeof(info.MainExe), "game.exe");
    SetText(info.RunExe, sizeof(info.RunExe), "launcher.exe");
    SetText(info.PkgIDCClass, sizeof(info.PkgIDCClass), "Class");
    const std::string strPath = PathOf(dwId);
    info.PkgPath.AssignText(strPath.data(), strPath.size());
    info.LargeUrl.AssignText("http://img/large.png", 20);
    info.MenuMainExe = "game.exe";
    return info;
}

void FillGlobalCatalogue() {
    static bool s_bFilled = false;
    if (s_bFilled) return;
    ReleasePkgList();
    for (uint32_t id = 0; id < RECORDS; ++id) GetPkgList()->AddInfo(Record(id));
    s_bFilled = true;
}

void BM_GetPkgFullPath(benchmark::State& state) {
    if (state.thread_index() == 0) FillGlobalCatalogue();
    char szBuf[260];
    uint32_t dwId = uint32_t(state.thread_index()) * 7919;
    for (auto _ : state) {
        dwId = (dwId + 48271) % RECORDS;
        benchmark::DoNotOptimize(GetPkgFullPath(dwId, szBuf, sizeof(szBuf)));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetPkgFullPath)->Threads(1)->Threads(2)->UseRealTime();

// What GetPkgFullPath did before it took only the path under the lock: a
// copy of the whole record out of the catalogue, then the choice on the copy.
void BM_FindInfoWholeRecord(benchmark::State& state) {
    if (state.thread_index() == 0) FillGlobalCatalogue();
    char szBuf[260];
    uint32_t dwId = uint32_t(state.thread_index()) * 7919;
    for (auto _ : state) {
        dwId = (dwId + 48271) % RECORDS;
        SPackageInfo info;
        info.PkgId = dwId;
        if (GetPkgList()->FindInfo(info) && info.PkgType != -1) {
            const std::string strPath = FieldToText(info.VDiskPath.GetLength() > 1 ? info.VDiskPath : info.PkgPath);
            memcpy(szBuf, strPath.c_str(), strPath.size() + 1);
        }
        benchmark::DoNotOptimize(szBuf);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindInfoWholeRecord)->Threads(1)->Threads(2)->UseRealTime();

// The floor: one lookup in a bare map of paths and a copy of the path out.
void BM_FloorMapFindCopy(benchmark::State& state) {
    static std::map<uint32_t, std::string> s_map;
    if (state.thread_index() == 0 && s_map.empty())
        for (uint32_t id = 0; id < RECORDS; ++id) s_map[id] = PathOf(id);
    char szBuf[260];
    uint32_t dwId = uint32_t(state.thread_index()) * 7919;
    for (auto _ : state) {
        dwId = (dwId + 48271) % RECORDS;
        const auto it = s_map.find(dwId);
        std::string strPath = it->second;
        memcpy(szBuf, strPath.c_str(), strPath.size() + 1);
        benchmark::DoNotOptimize(szBuf);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FloorMapFindCopy)->Threads(1)->Threads(2)->UseRealTime();

#if defined(__GLIBC__)
// Heap taken per catalogue record: the map node, the record and the buffers
// of its byte fields and texts.
void BM_CatalogueBytesPerRecord(benchmark::State& state) {
    double dBytesPerRecord = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t nBefore = mallinfo2().uordblks;
        auto* pList = new CPackageList;
        for (uint32_t id = 0; id < RECORDS; ++id) pList->AddInfo(Record(id));
        const size_t nAfter = mallinfo2().uordblks;
        dBytesPerRecord = double(nAfter - nBefore) / RECORDS;
        delete pList;
    }
    state.counters["bytes_per_record"] = dBytesPerRecord;
    state.counters["sizeof_SPackageInfo"] = double(sizeof(SPackageInfo));
}
BENCHMARK(BM_CatalogueBytesPerRecord)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif
}  // namespace
