// List decode of 100k package records of typical size, as the loaders run it
// over a payload held in memory.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "ListEncoder.h"
#include "datafile/VarLengthField.h"

namespace {
const std::string& Payload() {
    static const std::string s_str = [] {
        std::vector<CPackageInfo> vec;
        vec.reserve(100000);
        for (uint32_t i = 0; i < 100000; ++i) {
            const std::string strName = "Package" + std::to_string(i);
            vec.push_back(MakePackage(i, strName, "D:\\Games\\" + strName + "\\bin",
                                      i % 3 ? std::string() : "V:\\VDisk\\" + strName, int8_t(i % 4)));
        }
        return EncodePackageList(vec);
    }();
    return s_str;
}

void BM_DecodePackageList100k(benchmark::State& state) {
    const std::string& str = Payload();
    for (auto _ : state) {
        CByteReader reader(reinterpret_cast<const uint8_t*>(str.data()), uint32_t(str.size()));
        CPackageInfoList list;
        if (list.Decode(reader) != 0) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(list.GetCount());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 100000);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(str.size()));
}
BENCHMARK(BM_DecodePackageList100k)->Unit(benchmark::kMillisecond);
}  // namespace
