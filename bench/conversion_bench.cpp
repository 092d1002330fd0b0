// One in-memory conversion beside a memcpy of the bytes it reads and writes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <tavro/core/conversion.h>

namespace {

std::vector<std::uint8_t> load(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::vector<std::uint8_t>& sourceState() {
    static const auto bytes = load(TAVRO_SAMPLE_SOURCE);
    return bytes;
}
const std::vector<std::uint8_t>& targetState() {
    static const auto bytes = load(TAVRO_SAMPLE_TARGET);
    return bytes;
}

// Source regions in, target regions out.
void BM_ConvertRegions(benchmark::State& state) {
    const tavro::core::SourceRegions source = tavro::core::readSourceRegions(sourceState());
    for (auto _ : state) {
        tavro::core::TargetRegions target = tavro::core::convertRegions(source);
        benchmark::DoNotOptimize(target.chunkArea.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ConvertRegions);

const std::vector<std::uint8_t>& bigSourceState() {
    static const auto bytes = load(TAVRO_SAMPLE_BIG);
    return bytes;
}

// The packed conversion of a level naming all 82 chunks the first game's
// chunk table can hold: source regions in, target regions out.
void BM_ConvertRegionsPacked(benchmark::State& state) {
    const tavro::core::SourceRegions source = tavro::core::readSourceRegions(bigSourceState());
    for (auto _ : state) {
        tavro::core::TargetRegions target = tavro::core::convertRegions(source, tavro::core::ChunkNumbering::Packed);
        benchmark::DoNotOptimize(target.chunkArea.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ConvertRegionsPacked);

// Read, convert and patch: the whole in-memory part of a run.
void BM_ReadConvertPatch(benchmark::State& state) {
    for (auto _ : state) {
        const tavro::core::SourceRegions source = tavro::core::readSourceRegions(sourceState());
        auto patched = tavro::core::patchTarget(targetState(), tavro::core::convertRegions(source));
        benchmark::DoNotOptimize(patched.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ReadConvertPatch);

// The yardstick: copying the 105,697 bytes a run reads plus the 76,001 it writes.
void BM_MemcpyOfRegionBytes(benchmark::State& state) {
    constexpr std::size_t kBytes = 105697 + 76001;
    std::vector<std::uint8_t> from(kBytes, 1), to(kBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyOfRegionBytes);

}  // namespace

BENCHMARK_MAIN();
