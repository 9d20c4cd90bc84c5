// CRC-32 throughput over a list-sized buffer: the sliced form, the bytewise
// reference and zlib's crc32 in the same run, so the ratios are comparable.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "datafile/CRC32.h"

namespace {
const std::vector<uint8_t>& Buffer() {
    static const std::vector<uint8_t> s_vec = [] {
        std::vector<uint8_t> vec(4u << 20);
        std::mt19937 rng(1);
        for (auto& b : vec) b = uint8_t(rng());
        return vec;
    }();
    return s_vec;
}

void BM_Crc32Sliced(benchmark::State& state) {
    const auto& vec = Buffer();
    for (auto _ : state) benchmark::DoNotOptimize(Crc32(vec.data(), vec.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(vec.size()));
}
BENCHMARK(BM_Crc32Sliced);

void BM_Crc32Bytewise(benchmark::State& state) {
    const auto& vec = Buffer();
    for (auto _ : state) benchmark::DoNotOptimize(Crc32Bytewise(vec.data(), vec.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(vec.size()));
}
BENCHMARK(BM_Crc32Bytewise);

void BM_Crc32Zlib(benchmark::State& state) {
    const auto& vec = Buffer();
    for (auto _ : state) benchmark::DoNotOptimize(crc32(crc32(0L, Z_NULL, 0), vec.data(), uInt(vec.size())));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(vec.size()));
}
BENCHMARK(BM_Crc32Zlib);
}  // namespace
