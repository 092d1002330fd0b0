#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "conversion.h"
#include "level_render.h"
#include "region_map.h"
#include "test_files.h"

namespace tavro {
namespace {

using namespace render;

constexpr std::size_t kStateSize = 180000;
constexpr std::size_t kLayout = kMainRamOffset + 0xA400;
constexpr std::size_t kTargetChunks = kMainRamOffset;
constexpr std::size_t kTargetLayout = kMainRamOffset + 0x8000;

// Byte `byte` (0-15) of row `row` (0-7) of quarter `quarter` of source chunk `chunk`, in a save state.
std::uint8_t* quarterRow(Bytes& state, unsigned chunk, unsigned quarter, unsigned row) {
    return &state.at(kMainRamOffset + (chunk - 1) * 512 + (quarter / 2) * 256 + row * 32 + (quarter % 2) * 16);
}
void copyQuarter(Bytes& state, unsigned chunk, unsigned quarter, unsigned fromChunk, unsigned fromQuarter) {
    for (unsigned row = 0; row < 8; ++row)
        std::copy_n(quarterRow(state, fromChunk, fromQuarter, row), 16, quarterRow(state, chunk, quarter, row));
}
// Every entry of the quarter `high` `low`.
void fillQuarter(Bytes& state, unsigned chunk, unsigned quarter, std::uint8_t high, std::uint8_t low) {
    for (unsigned row = 0; row < 8; ++row) {
        std::uint8_t* bytes = quarterRow(state, chunk, quarter, row);
        for (unsigned i = 0; i < 16; i += 2) bytes[i] = high, bytes[i + 1] = low;
    }
}

// Random bytes with block 0 and pattern 0 empty, as real levels have them,
// and blocks naming only the patterns a conversion carries.
Bytes randomLevel(unsigned seed) {
    Bytes state = testing::randomBytes(kStateSize, seed);
    for (std::size_t i = 0; i < 6144; i += 2) state[kMainRamOffset + 0xB000 + i] &= 0xFB;
    std::fill_n(&state[kMainRamOffset + 0xB000], 8, 0);
    std::fill_n(&state[kVideoRamOffset], 32, 0);
    std::fill_n(&state[kLayout], 1024, 0);
    return state;
}

Bytes convert(const Bytes& source, const Bytes& target, ChunkNumbering numbering) {
    return patchTarget(target, convertRegions(readSourceRegions(source), numbering));
}

// The target, drawn as the second game, shows the source drawn as the first
// in both planes, whole, except the cells `emptied` which show nothing.
void expectSamePictures(const Bytes& source, const Bytes& target, const std::vector<int>& emptied) {
    const auto before = LevelMemory::fromSaveState(source).value();
    const auto after = LevelMemory::fromSaveState(target).value();
    for (const Plane plane : {Plane::Foreground, Plane::Background}) {
        IndexedImage expected = drawPlane(before, Game::First, plane);
        const IndexedImage actual = drawPlane(after, Game::Second, plane);
        for (const int cell : emptied) {
            const int column = cell % 128 - (plane == Plane::Background ? 64 : 0);
            if (column < 0 || column >= 64) continue;
            for (int y = cell / 128 * 256; y < (cell / 128 + 1) * 256; ++y)
                std::fill_n(&expected.pixels.at(static_cast<std::size_t>(y * kPlaneWidth + column * 256)), 256, 0);
        }
        EXPECT_GT(std::count_if(expected.pixels.begin(), expected.pixels.end(), [](auto p) { return p != 0; }), 50000)
            << "a comparison of two empty pictures";
        ASSERT_TRUE(expected.pixels == actual.pixels) << "plane " << int(plane);
    }
}

// Levels naming chunks up to 82 (up to 127 on some fixed-numbering seeds): packed
// numbering carries every cell, fixed numbering empties the cells naming chunk
// 64 and above; the summary says which, and the pictures agree.
TEST(LevelConversion, RandomLevelsLookTheSameAfterConversion) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        const bool fixed = seed % 3 == 0;
        const auto numbering = fixed ? ChunkNumbering::Fixed : ChunkNumbering::Packed;
        std::mt19937 random(seed);
        const auto roll = [&random](unsigned n) { return static_cast<unsigned>(random() % n); };
        Bytes source = randomLevel(seed);
        // Each quarter of chunks 2 to 82: kept random, emptied, or a copy of an earlier chunk's quarter.
        for (unsigned chunk = 2; chunk <= 82; ++chunk)
            for (unsigned quarter = 0; quarter < 4; ++quarter) {
                const unsigned pick = roll(4), fromChunk = 1 + roll(chunk - 1), fromQuarter = roll(4);
                if (pick == 0) fillQuarter(source, chunk, quarter, 0, 0);
                if (pick == 1) copyQuarter(source, chunk, quarter, fromChunk, fromQuarter);
            }
        std::vector<int> emptied;
        std::set<int> named, lost;
        int inUse = 0;
        for (std::size_t i = 0; i < 1024; ++i) {
            const unsigned chunk = roll(fixed && seed % 2 == 0 ? 128 : 83), flag = roll(2) << 7;
            if (roll(4)) source[kLayout + i] = static_cast<std::uint8_t>(chunk | flag);
            if ((source[kLayout + i] & 0x7F) == 0) continue;
            named.insert(source[kLayout + i] & 0x7F), ++inUse;
            if (fixed && (source[kLayout + i] & 0x7F) >= 64) emptied.push_back(static_cast<int>(i)), lost.insert(source[kLayout + i] & 0x7F);
        }
        const Bytes target = testing::randomBytes(kStateSize, seed + 1000);
        const Bytes packed = convert(source, target, numbering);
        EXPECT_EQ(convert(source, target, numbering), packed);
        const LevelSummary summary = summarizeLevel(readSourceRegions(source), numbering);
        EXPECT_EQ(summary.emptiedCells, emptied);
        EXPECT_EQ(summary.lostChunks, std::vector<int>(lost.begin(), lost.end()));
        EXPECT_EQ(std::tuple(summary.cellsLost, summary.cellsExpanded, summary.chunksNamed),
                  std::tuple(int(emptied.size()), inUse - int(emptied.size()), int(named.size())));
        EXPECT_EQ(summary.chunksUsed, fixed ? 4 * int(named.size() - lost.size()) : std::clamp(summary.chunksUsed, 83, 255));
        // Packed: the chunks past the ones in use are zero.
        EXPECT_TRUE(fixed || std::all_of(&packed[kTargetChunks + static_cast<std::size_t>(summary.chunksUsed + 1) * 128],
                                         &packed[kTargetChunks + 32768], [](auto b) { return b == 0; }));
        expectSamePictures(source, packed, emptied);
    }
}

TEST(PackedConversion, NumbersQuartersInChunkOrderSharingRepeatsAndEmptyingBlanks) {
    Bytes source = randomLevel(7);
    // Chunk 5: A, empty, A again, B; chunk 70: B again, C, a quarter that converts to all zero, empty.
    for (const auto& [chunk, quarter, high, low] : {std::tuple{5, 0, 0x61, 0x23}, {5, 1, 0, 0}, {5, 2, 0x61, 0x23}, {5, 3, 0x18, 0x05},
                                                    {70, 0, 0x18, 0x05}, {70, 1, 0x40, 0x07}, {70, 2, 0x80, 0}, {70, 3, 0, 0}})
        fillQuarter(source, unsigned(chunk), unsigned(quarter), std::uint8_t(high), std::uint8_t(low));
    source[kLayout + 2 * 128 + 64 + 3] = 0x85;  // background, row 2, column 3: chunk 5
    source[kLayout + 0] = 70;
    const Bytes packed = convert(source, Bytes(kStateSize, 0xEE), ChunkNumbering::Packed);

    const auto cell = [&](std::size_t row, std::size_t column) { return int{packed[kTargetLayout + row * 256 + column]}; };
    EXPECT_EQ((std::vector{cell(4, 128 + 6), cell(4, 128 + 7), cell(5, 128 + 6), cell(5, 128 + 7)}), (std::vector{1, 0, 1, 2}));
    EXPECT_EQ((std::vector{cell(0, 0), cell(0, 1), cell(1, 0), cell(1, 1)}), (std::vector{2, 3, 0, 0}));
    const std::pair<int, int> entries[] = {{0, 0}, {0xF1, 0x23}, {0x0C, 0x05}, {0xA0, 0x07}, {0, 0}};
    for (std::size_t chunk = 0; chunk <= 4; ++chunk)
        for (std::size_t i = 0; i < 128; i += 2)
            ASSERT_EQ((std::pair<int, int>{packed[kTargetChunks + chunk * 128 + i], packed[kTargetChunks + chunk * 128 + i + 1]}),
                      entries[chunk]) << "chunk " << chunk;
    EXPECT_EQ(std::count(&packed[kTargetLayout], &packed[kTargetLayout + 4096], 0), 4096 - 5);
    EXPECT_EQ(summarizeLevel(readSourceRegions(source), ChunkNumbering::Packed).chunksUsed, 3);
}

TEST(PackedConversion, TooManyQuartersKeepTheMostNamedChunksWholeAndReportTheRest) {
    Bytes source = randomLevel(3);  // chunks 1 to 72 of random bytes: four distinct quarters each
    copyQuarter(source, 71, 0, 9, 0);  // chunk 71 adds one quarter
    fillQuarter(source, 71, 1, 0, 0);
    copyQuarter(source, 71, 2, 10, 3);
    copyQuarter(source, 72, 2, 72, 0);  // chunk 72 adds two
    fillQuarter(source, 72, 3, 0, 0);
    // Chunks 8 to 70 are named twice (252 quarters), the others once.
    std::vector<unsigned> names;
    for (unsigned chunk = 1; chunk <= 72; ++chunk) names.insert(names.end(), chunk >= 8 && chunk <= 70 ? 2 : 1, chunk);
    std::vector<int> expectedEmptied;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int cell = static_cast<int>(i * 7 % 1024);
        source[kLayout + static_cast<std::size_t>(cell)] = static_cast<std::uint8_t>(names[i] | (i % 3 == 0 ? 0x80 : 0));
        if (names[i] < 8) expectedEmptied.push_back(cell);
    }
    std::sort(expectedEmptied.begin(), expectedEmptied.end());
    const LevelSummary summary = summarizeLevel(readSourceRegions(source), ChunkNumbering::Packed);
    EXPECT_EQ(std::tuple(summary.chunksUsed, summary.cellsLost, summary.cellsExpanded), std::tuple(255, 7, int(names.size()) - 7));
    EXPECT_EQ(summary.lostChunks, (std::vector{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(summary.emptiedCells, expectedEmptied);
    expectSamePictures(source, convert(source, testing::randomBytes(kStateSize, 77), ChunkNumbering::Packed), expectedEmptied);
}

}  // namespace
}  // namespace tavro
