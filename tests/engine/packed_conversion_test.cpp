#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include <tavro/core/conversion.h>
#include <tavro/drawing/level_render.h>
#include <tavro/core/level_check.h>
#include <tavro/pictures/png_image.h>
#include "plausible_states.h"
#include "random_level.h"

namespace tavro {
namespace {

using namespace drawing;

using test::SaveState;
using test::randomLevel;
constexpr core::format::GameFormat kSource = core::format::kFirstGame;
constexpr core::format::GameFormat kTarget = core::format::kSecondGame;
constexpr unsigned kQuarterRows = 8, kQuarterRowBytes = 16;

// Row `row` of quarter `quarter` of source chunk `chunk`.
std::uint8_t* quarterRow(SaveState& state, unsigned chunk, unsigned quarter, unsigned row) {
    return &state.ram(kSource.chunkAddress(chunk) + (quarter / 2) * 256 + row * 32 + (quarter % 2) * 16);
}
void copyQuarter(SaveState& state, unsigned chunk, unsigned quarter, unsigned fromChunk, unsigned fromQuarter) {
    for (unsigned row = 0; row < kQuarterRows; ++row) std::copy_n(quarterRow(state, fromChunk, fromQuarter, row), kQuarterRowBytes, quarterRow(state, chunk, quarter, row));
}
// Every entry of the quarter `high` `low`.
void fillQuarter(SaveState& state, unsigned chunk, unsigned quarter, std::uint8_t high, std::uint8_t low) {
    for (unsigned row = 0; row < kQuarterRows; ++row) {
        std::uint8_t* bytes = quarterRow(state, chunk, quarter, row);
        for (unsigned i = 0; i < kQuarterRowBytes; i += 2) bytes[i] = high, bytes[i + 1] = low;
    }
}

SaveState convert(const SaveState& source, const SaveState& target, core::ChunkNumbering numbering) {
    return {core::patchTarget(target.bytes, core::convertRegions(core::readSourceRegions(source.bytes), numbering))};
}

// The target, drawn as the second game, shows the source drawn as the first
// in both planes, whole, except the cells `emptied` which show nothing.
// Source layout byte i: rows of 128 cells, the first 64 foreground.
core::LayoutCell cellAt(std::size_t i) { return {i % 128 < 64 ? core::Plane::Foreground : core::Plane::Background, int(i / 128), int(i % 64)}; }

void expectSamePictures(const SaveState& source, const SaveState& target, const std::vector<core::LayoutCell>& emptied) {
    const auto before = drawing::LevelMemory::fromSaveState(source.bytes).value();
    const auto after = drawing::LevelMemory::fromSaveState(target.bytes).value();
    for (const core::Plane plane : {core::Plane::Foreground, core::Plane::Background}) {
        drawing::IndexedImage expected = drawing::drawPlane(before, drawing::Game::First, plane);
        const drawing::IndexedImage actual = drawing::drawPlane(after, drawing::Game::Second, plane);
        for (const core::LayoutCell& cell : emptied) {
            if (cell.plane != plane) continue;
            for (int y = cell.row * 256; y < (cell.row + 1) * 256; ++y)
                std::fill_n(&expected.pixels.at(static_cast<std::size_t>(y * kPlaneWidth + cell.column * 256)), 256, 0);
        }
        EXPECT_GT(std::count_if(expected.pixels.begin(), expected.pixels.end(), [](auto p) { return p != 0; }), 50000) << "a comparison of two empty pictures";
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
        const auto numbering = fixed ? core::ChunkNumbering::Fixed : core::ChunkNumbering::Packed;
        std::mt19937 random(seed);
        const auto roll = [&random](unsigned n) { return static_cast<unsigned>(random() % n); };
        SaveState source = randomLevel(seed);
        // Each quarter of chunks 2 to 82: kept random, emptied, or a copy of an earlier chunk's quarter.
        for (unsigned chunk = 2; chunk <= 82; ++chunk)
            for (unsigned quarter = 0; quarter < 4; ++quarter) {
                const unsigned pick = roll(4), fromChunk = 1 + roll(chunk - 1), fromQuarter = roll(4);
                if (pick == 0) fillQuarter(source, chunk, quarter, 0, 0);
                if (pick == 1) copyQuarter(source, chunk, quarter, fromChunk, fromQuarter);
            }
        std::vector<core::LayoutCell> emptied;
        std::set<int> named, lost;
        int inUse = 0;
        for (std::size_t i = 0; i < kSource.layoutBytes(); ++i) {
            const unsigned chunk = roll(fixed && seed % 2 == 0 ? 128 : 83), flag = roll(2) << 7;
            std::uint8_t& cell = source.cell(kSource, i);
            if (roll(4)) cell = static_cast<std::uint8_t>(chunk | flag);
            const int name = cell & 0x7F;  // bit 7 is a flag
            if (name == 0) continue;
            named.insert(name), ++inUse;
            if (fixed && name >= 64) emptied.push_back(cellAt(i)), lost.insert(name);
        }
        const SaveState target = SaveState::random(seed + 1000);
        SaveState packed = convert(source, target, numbering);
        EXPECT_EQ(convert(source, target, numbering).bytes, packed.bytes);
        const core::LevelSummary summary = core::summarizeLevel(core::readSourceRegions(source.bytes), numbering);
        EXPECT_EQ(summary.emptiedCells, emptied);
        EXPECT_EQ(summary.lostChunks, std::vector<int>(lost.begin(), lost.end()));
        EXPECT_EQ(std::tuple(summary.cellsLost, summary.cellsExpanded, summary.chunksNamed), std::tuple(int(emptied.size()), inUse - int(emptied.size()), int(named.size())));
        EXPECT_EQ(summary.chunksUsed, fixed ? 4 * int(named.size() - lost.size()) : std::clamp(summary.chunksUsed, 83, 255));
        // Packed: the chunks past the ones in use are zero.
        const std::uint8_t* chunks = &packed.ram(kTarget.chunkTable);
        EXPECT_TRUE(fixed || std::all_of(chunks + (summary.chunksUsed + 1) * 128, chunks + 256 * 128, [](auto b) { return b == 0; }));
        expectSamePictures(source, packed, emptied);
    }
}

TEST(PackedConversion, NumbersQuartersInChunkOrderSharingRepeatsAndEmptyingBlanks) {
    SaveState source = randomLevel(7);
    // Chunk 5: A, empty, A again, B; chunk 70: B again, C, a quarter that converts to all zero, empty.
    for (const auto& [chunk, quarter, high, low] :
         {std::tuple{5, 0, 0x61, 0x23}, {5, 1, 0, 0}, {5, 2, 0x61, 0x23}, {5, 3, 0x18, 0x05}, {70, 0, 0x18, 0x05}, {70, 1, 0x40, 0x07}, {70, 2, 0x80, 0}, {70, 3, 0, 0}})
        fillQuarter(source, unsigned(chunk), unsigned(quarter), std::uint8_t(high), std::uint8_t(low));
    source.cell(kSource, 2 * 128 + 64 + 3) = 0x85;  // background, row 2, column 3: chunk 5
    source.cell(kSource, 0) = 70;
    SaveState packed = convert(source, {core::Bytes(core::format::kRecordedStateBytes, 0xEE)}, core::ChunkNumbering::Packed);

    const auto cell = [&](std::size_t row, std::size_t column) { return int{packed.cell(kTarget, row * 256 + column)}; };
    EXPECT_EQ((std::vector{cell(4, 128 + 6), cell(4, 128 + 7), cell(5, 128 + 6), cell(5, 128 + 7)}), (std::vector{1, 0, 1, 2}));
    EXPECT_EQ((std::vector{cell(0, 0), cell(0, 1), cell(1, 0), cell(1, 1)}), (std::vector{2, 3, 0, 0}));
    const std::pair<int, int> entries[] = {{0, 0}, {0xF1, 0x23}, {0x0C, 0x05}, {0xA0, 0x07}, {0, 0}};
    for (std::size_t chunk = 0; chunk <= 4; ++chunk)
        for (std::size_t i = 0; i < 128; i += 2)
            ASSERT_EQ((std::pair<int, int>{packed.ram(chunk * 128 + i), packed.ram(chunk * 128 + i + 1)}), entries[chunk]) << "chunk " << chunk;
    EXPECT_EQ(std::count(&packed.cell(kTarget, 0), &packed.cell(kTarget, 0) + 4096, 0), 4096 - 5);
    EXPECT_EQ(core::summarizeLevel(core::readSourceRegions(source.bytes), core::ChunkNumbering::Packed).chunksUsed, 3);
}

TEST(PackedConversion, TooManyQuartersKeepTheMostNamedChunksWholeAndReportTheRest) {
    SaveState source = randomLevel(3);  // chunks 1 to 72 of random bytes: four distinct quarters each
    copyQuarter(source, 71, 0, 9, 0);  // chunk 71 adds one quarter
    fillQuarter(source, 71, 1, 0, 0);
    copyQuarter(source, 71, 2, 10, 3);
    copyQuarter(source, 72, 2, 72, 0);  // chunk 72 adds two
    fillQuarter(source, 72, 3, 0, 0);
    // Chunks 8 to 70 are named twice (252 quarters), the others once.
    std::vector<unsigned> names;
    for (unsigned chunk = 1; chunk <= 72; ++chunk) names.insert(names.end(), chunk >= 8 && chunk <= 70 ? 2 : 1, chunk);
    std::vector<std::size_t> emptiedBytes;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::size_t cell = i * 7 % kSource.layoutBytes();
        source.cell(kSource, cell) = static_cast<std::uint8_t>(names[i] | (i % 3 == 0 ? 0x80 : 0));
        if (names[i] < 8) emptiedBytes.push_back(cell);
    }
    std::sort(emptiedBytes.begin(), emptiedBytes.end());
    std::vector<core::LayoutCell> expectedEmptied;
    for (const std::size_t cell : emptiedBytes) expectedEmptied.push_back(cellAt(cell));
    const core::LevelSummary summary = core::summarizeLevel(core::readSourceRegions(source.bytes), core::ChunkNumbering::Packed);
    EXPECT_EQ(std::tuple(summary.chunksUsed, summary.cellsLost, summary.cellsExpanded), std::tuple(255, 7, int(names.size()) - 7));
    EXPECT_EQ(summary.lostChunks, (std::vector{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(summary.emptiedCells, expectedEmptied);
    expectSamePictures(source, convert(source, SaveState::random(77), core::ChunkNumbering::Packed), expectedEmptied);
}

// The game check (level_check.h) on plausible states of both games, their
// tables over the other game's addresses too (tools/plausible_states.h),
// levels converted into them (fixed and packed), swapped pairs, text, noise,
// PNG pictures, zeros and the samples: each judged as it should be, every
// time. bench/game_check_table.cpp measures 500 seeds of each.
TEST(LevelCheck, TellsEachGameFromTheOtherAndFromWhatIsNoSaveState) {
    const auto rows =
        plausible::identificationTable(4, {{"tavro1.state", test::readBytes(TAVRO_SAMPLE_SOURCE)}, {"tavro2.state", test::readBytes(TAVRO_SAMPLE_TARGET)}}, {true, false});
    EXPECT_EQ(rows.size(), 27u);
    for (const auto& row : rows) EXPECT_EQ(row.right, row.tried) << row.what;
}

}  // namespace
}  // namespace tavro
