// Drawing speed of level pictures.
//
//   BM_MemsetFreshPlane     memset of one plane's worth of new memory (16,384 x 2,048)
//   BM_DrawPlane            a whole plane drawn to indices, every cell in use, into a new picture
//   BM_DrawPreview          the window's picture: the used cells scaled to 1,000 px
//   BM_ScaleDrawnPlane      scaling an already drawn plane by 16
//
// The first two compare drawing with writing the same bytes, both into new
// memory (first touching 32 MiB costs page faults on this machine).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <tavro/core/chunk_conversion.h>
#include <tavro/drawing/level_render.h>
#include <tavro/core/region_map.h>

namespace {

using tavro::drawing::Game;
using tavro::drawing::LevelMemory;
using tavro::core::Plane;
namespace core = tavro::core;
namespace drawing = tavro::drawing;
namespace format = tavro::core::format;
constexpr format::GameFormat kGame = format::kFirstGame;
constexpr unsigned kLastChunk = tavro::core::kLastConvertedChunk;  // the chunks the second game holds too

// A first-game state whose every layout cell names one of chunks 1 to 63,
// filled with random entries of blocks that exist, made of random patterns.
drawing::LevelMemory busyLevel() {
    std::mt19937 random(7);
    std::vector<std::uint8_t> state(tavro::core::kMinSaveStateSize + 32768);
    for (auto& byte : state) byte = static_cast<std::uint8_t>(random());
    const auto ram = [&](std::size_t offset) -> std::uint8_t& { return state.at(format::kMainRamOffset + offset); };
    for (std::size_t entry = 0; entry < kGame.chunkAddress(kLastChunk + 1); entry += 2) {
        const auto block = static_cast<unsigned>(random() % format::kBlockCount);
        ram(entry) = static_cast<std::uint8_t>((ram(entry) & 0xFC) | block >> 8);
        ram(entry + 1) = static_cast<std::uint8_t>(block);
    }
    for (std::size_t cell = 0; cell < kGame.layoutBytes(); ++cell)
        ram(kGame.layout + cell) = static_cast<std::uint8_t>(1 + random() % kLastChunk);
    return drawing::LevelMemory::fromSaveState(state).value();
}

void BM_MemsetFreshPlane(benchmark::State& state) {
    const std::size_t size = std::size_t{tavro::drawing::kPlaneWidth} * tavro::drawing::kPlaneHeight;
    for (auto _ : state) {
        const auto plane = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        std::memset(plane.get(), 1, size);
        benchmark::DoNotOptimize(plane.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_MemsetFreshPlane)->Unit(benchmark::kMillisecond);

void BM_DrawPlane(benchmark::State& state) {
    const drawing::LevelMemory level = busyLevel();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto image = tavro::drawing::drawPlane(level, drawing::Game::First, core::Plane::Foreground);
        bytes = image.pixels.size();
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_DrawPlane)->Unit(benchmark::kMillisecond);

void BM_DrawPreview(benchmark::State& state) {
    const drawing::LevelMemory level = busyLevel();
    for (auto _ : state) {
        const auto preview =
            tavro::drawing::drawPreview(level, drawing::Game::First, core::Plane::Foreground, 1000, 1000);
        benchmark::DoNotOptimize(preview->picture.pixels.data());
    }
}
BENCHMARK(BM_DrawPreview)->Unit(benchmark::kMillisecond);

void BM_ScaleDrawnPlane(benchmark::State& state) {
    const drawing::LevelMemory level = busyLevel();
    const auto image = tavro::drawing::drawPlane(level, drawing::Game::First, core::Plane::Foreground);
    const auto palette = tavro::drawing::readPalette(level);
    for (auto _ : state) {
        const auto picture = tavro::drawing::scaleDown(image, palette, 16);
        benchmark::DoNotOptimize(picture.pixels.data());
    }
}
BENCHMARK(BM_ScaleDrawnPlane)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
