#include <gtest/gtest.h>

#include <array>
#include <climits>

#include <tavro/drawing/level_render.h>
#include "png_decode.h"
#include <tavro/pictures/png_image.h>
#include <tavro/core/region_map.h>
#include "save_state.h"

namespace tavro::drawing {
namespace {

using tavro::test::Bytes;
using tavro::test::SaveState;

// Row y of pattern `index` holds colours (x + y + first) % 16, never two rows alike.
void drawPattern(SaveState& s, unsigned index, unsigned first) {
    for (unsigned i = 0, x = 0, y = 0; i < 32; ++i, x = (i % 4) * 2, y = i / 4)
        s.video(index * 32 + i) = static_cast<std::uint8_t>(((x + y + first) % 16) << 4 | (x + 1 + y * 3 + first) % 16);
}
drawing::LevelMemory levelOf(const SaveState& s) { return drawing::LevelMemory::fromSaveState(s.bytes).value(); }

const std::pair<drawing::Game, core::format::GameFormat> kGames[] = {{drawing::Game::First, core::format::kFirstGame}, {drawing::Game::Second, core::format::kSecondGame}};

// One block (number 5, patterns 1 to 4 with pattern flips and palette lines)
// in the top-left entry of chunk 1, which the top-left cell names.
SaveState oneBlock(const core::format::GameFormat& f, unsigned entryFlips) {
    SaveState s;
    for (unsigned p = 1; p <= 4; ++p) drawPattern(s, p, p * 3);
    const unsigned words[4] = {1, 2 | 1u << 11 | 1u << 13, 3 | 1u << 12 | 2u << 13, 4 | 3u << 11 | 3u << 13 | 1u << 15};
    for (unsigned i = 0; i < 4; ++i) s.ramWord(f.blockTable + 5 * 8 + i * 2, words[i]);
    s.ramWord(f.chunkAddress(1), 5 | entryFlips);
    s.cell(f, 0) = 1;
    return s;
}

std::uint8_t pixel(const drawing::IndexedImage& image, int x, int y) { return image.pixels.at(static_cast<std::size_t>(y * image.width + x)); }

TEST(LevelRender, PatternsBlocksAndPaletteLinesGiveTheIndices) {
    for (const auto& [game, f] : kGames) {
        const auto image = drawing::drawPlane(levelOf(oneBlock(f, 0)), game, core::Plane::Foreground);
        ASSERT_EQ(std::pair(image.width, image.height), std::pair(kPlaneWidth, kPlaneHeight));
        const struct {
            int x, y, index;
        } pixels[] = {            // Top-left: pattern 1 as stored, line 0; the high nibble is the left pixel.
                      {0, 1, (0 + 1 + 3) % 16},
                      {1, 1, (1 + 3 + 3) % 16},
            // Top-right: pattern 2 mirrored left to right, line 1. Bottom-left:
            // pattern 3 upside down, line 2. Bottom-right: pattern 4 turned
            // over both ways, line 3; priority ignored.
                      {15, 2, 16 + (0 + 2 + 6) % 16},
                      {0, 15, 32 + (0 + 0 + 9) % 16},
                      {15, 15, 48 + (0 + 0 + 12) % 16},
            // Colour 0 is transparent whatever the line: pattern 4 has colour 0
            // at (1, 1). The next entry names block 0, which is empty.
                      {14, 14, 0},
                      {16, 0, 0}};
        for (const auto& [x, y, index] : pixels) EXPECT_EQ(pixel(image, x, y), index) << x << "," << y;
        // Flipped entries mirror the whole block.
        const unsigned h = 1u << f.entryHFlipBit, v = 1u << f.entryVFlipBit;
        for (const unsigned flips : {h, v, h | v}) {
            const auto flipped = drawing::drawPlane(levelOf(oneBlock(f, flips)), game, core::Plane::Foreground, {0, 0, 1, 1});
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    ASSERT_EQ(pixel(flipped, x, y), pixel(image, (flips & h) ? 15 - x : x, (flips & v) ? 15 - y : y)) << x << "," << y << " flips " << flips;
        }
    }
}

TEST(LevelRender, CellsChunksAndBlocksAreFoundWhereEachGameKeepsThem) {
    for (const auto& [game, f] : kGames) {
        SaveState s = oneBlock(f, 0);
        const int cell = cellPixels(game);
        const std::size_t chunk2 = f.chunkAddress(2);
        s.ramWord(chunk2 + f.chunkRowBytes() + 2, 5);  // chunk 2, entry row 1, column 1
        s.ramWord(chunk2 + 4, 768);                       // past the block table: nothing
        s.ramWord(f.blockTable + 768 * 8, 1);           // ...even though RAM there holds a word
        const auto cellByte = [&](std::size_t row, std::size_t column) -> std::uint8_t& { return s.cell(f, row * f.layoutRowBytes() + column); };
        cellByte(2, f.layoutRowBytes() / 2) = 1;  // the first background cell of row 2
        if (game == drawing::Game::First) {
            cellByte(1, 3) = 0x82;  // bit 7 is dropped: chunk 2
            cellByte(3, 0) = 0x80;  // chunk 0
        } else {
            cellByte(1, 3) = 2;
            s.ramWord(f.chunkAddress(0), 5);  // chunk 0 is stored, yet a cell naming it draws nothing
        }
        const auto level = levelOf(s);
        const auto fg = drawing::drawPlane(level, game, core::Plane::Foreground);
        EXPECT_EQ((std::array{pixel(fg, 3 * cell + 16, cell + 16 + 1), pixel(fg, 3 * cell + 32 + 1, cell + 1), pixel(fg, cell, 1)}),
                  (std::array<std::uint8_t, 3>{pixel(fg, 0, 1), 0, 0}));
        EXPECT_EQ(std::pair(usedCells(level, game, Plane::Foreground), usedCells(level, game, Plane::Background)),
                  std::pair(std::optional{CellBox{0, 0, 4, 2}}, std::optional{CellBox{0, 2, 1, 1}}));
        const auto bg = drawing::drawPlane(level, game, core::Plane::Background);
        EXPECT_EQ(pixel(bg, 0, 2 * cell + 1), pixel(fg, 0, 1));
        const auto opaque = [](const drawing::IndexedImage& i) { return std::ranges::count_if(i.pixels, [](auto p) { return p != 0; }); };
        EXPECT_TRUE(opaque(bg) == opaque(drawing::drawPlane(level, game, core::Plane::Foreground, {0, 0, 1, 1})) && opaque(bg) > 200);  // the one block
        // A box of cells is the same picture as that part of the plane.
        const auto part = drawing::drawPlane(level, game, core::Plane::Foreground, {3, 1, 2, 1});
        ASSERT_EQ(part.width, 2 * cell);
        for (int y = 0; y < cell; y += 7)
            for (int x = 0; x < 2 * cell; x += 5) ASSERT_EQ(pixel(part, x, y), pixel(fg, 3 * cell + x, cell + y));
    }
}

TEST(LevelRender, PaletteSpreadsThreeBitsAndKeepsColourZeroClear) {
    SaveState s;
    s.ramWord(core::format::kPaletteAddress + 2 * 19, 7u << 9 | 2u << 5 | 5u << 1 | 0xF111);  // line 1, colour 3; stray bits ignored
    s.ramWord(core::format::kPaletteAddress + 2 * 32, 0x0EEE);                                // colour 0 of line 2
    drawing::Palette colours = drawing::readPalette(levelOf(s));
    colours[0] = {1, 2, 3, 255};  // the first entry is written like any other
    const drawing::IndexedImage image{1, 4, {19, 32, 1, 0}};  // one pixel wide
    EXPECT_EQ(drawing::toRgba(image, colours).pixels, (Bytes{182, 72, 255, 255, 0, 0, 0, 0, 0, 0, 0, 255, 1, 2, 3, 255}));
    EXPECT_EQ(tavro::test::decodePng(pictures::encodePng(image, colours).value()).value().pixels, drawing::scaleDown(image, colours, 1).pixels);
    EXPECT_EQ(pictures::encodePng(drawing::IndexedImage{}, drawing::Palette{}).error().cause, core::Cause::EmptyPicture);
}

// Box averages written out plainly, one output pixel at a time: the mean of
// the opaque pixels' colours, rounded, and alpha 255 times the opaque share.
drawing::RgbaImage plainDownscale(const drawing::IndexedImage& image, const drawing::Palette& palette, int factor) {
    drawing::RgbaImage out{(image.width + factor - 1) / factor, (image.height + factor - 1) / factor, {}};
    for (int oy = 0; oy < out.height; ++oy)
        for (int ox = 0; ox < out.width; ++ox) {
            std::uint64_t sums[3] = {}, opaque = 0, all = 0;
            for (int y = oy * factor; y < std::min(image.height, (oy + 1) * factor); ++y)
                for (int x = ox * factor; x < std::min(image.width, (ox + 1) * factor); ++x, ++all)
                    if (const drawing::Rgba c = palette.at(pixel(image, x, y)); c.a != 0) ++opaque, sums[0] += c.r, sums[1] += c.g, sums[2] += c.b;
            for (const std::uint64_t sum : sums) out.pixels.push_back(static_cast<std::uint8_t>(opaque == 0 ? 0 : (sum + opaque / 2) / opaque));
            out.pixels.push_back(static_cast<std::uint8_t>((opaque * 255 + all / 2) / all));
        }
    return out;
}

TEST(LevelRender, ScaledPicturesMatchAPlainBoxAverage) {
    const SaveState random = SaveState::random(11);
    SaveState bright = SaveState::random(31);  // second-game cells of almost only opaque, near-white pixels
    const std::size_t chunksEnd = core::format::kSecondGame.chunkAddress(core::format::kSecondGame.chunkNumbers());
    for (std::size_t i = 0; i < chunksEnd; i += 2) bright.ram(i) &= 0xFD;  // chunk entries: blocks below 512
    for (std::size_t i = 0; i < kVideoRamBytes; ++i) bright.video(i) |= static_cast<std::uint8_t>(i % 61 == 0 ? 0 : 0x11);
    for (unsigned i = 0; i < kPaletteEntries; ++i) bright.ramWord(core::format::kPaletteAddress + 2 * i, i % 5 == 0 ? 0x0CCC : 0x0EEE);  // 218 or 255
    const struct {
        const SaveState& state;
        drawing::Game game;
        drawing::CellBox box;
        std::vector<int> factors;
    } cases[] = {{random, drawing::Game::First, {1, 1, 3, 2}, {1, 2, 3, 16, 100, 1000}},
                 {random, drawing::Game::Second, {5, 3, 2, 3}, {1, 5, 7, 128, 300}},
        // Rows 16,384 pixels wide: a box row holds more than a 16-bit lane could sum.
                 {bright, drawing::Game::Second, {0, 0, 128, 2}, {64, 128, 256, 257, 300, 1000, 4096}}};
    for (const auto& [state, game, box, factors] : cases) {
        const drawing::LevelMemory level = levelOf(state);
        const auto whole = drawing::drawPlane(level, game, core::Plane::Background, box);
        for (const int factor : factors) {
            const auto expected = plainDownscale(whole, drawing::readPalette(level), factor);
            const auto drawn = drawing::drawScaled(level, game, core::Plane::Background, box, factor);
            EXPECT_TRUE(std::tie(drawn.width, drawn.height, drawn.pixels) == std::tie(expected.width, expected.height, expected.pixels)) << "factor " << factor;
            EXPECT_EQ(drawing::scaleDown(whole, drawing::readPalette(level), factor).pixels, expected.pixels) << "factor " << factor;
        }
    }
    EXPECT_TRUE(drawing::scaleDown(drawing::IndexedImage{4, 4, {1}}, drawing::Palette{}, 2).pixels.empty());  // inconsistent size
    EXPECT_EQ(drawPreview(levelOf(random), Game::First, Plane::Foreground, 1000, INT_MAX).value().picture.width, kPlaneWidth / 17 + 1);  // factor 17: the smallest that fits
    EXPECT_EQ(drawing::drawPreview(levelOf(random), drawing::Game::First, core::Plane::Foreground, INT_MAX, 100)->factor, 21);  // 2,048 px tall
    for (const auto& [plane, cause] : {std::pair{Plane::Foreground, core::Cause::EmptyForeground}, std::pair{Plane::Background, core::Cause::EmptyBackground}})
        EXPECT_EQ(drawPreview(levelOf(SaveState{}), Game::Second, plane, 1000, 1000).error().cause, cause);
    // The After picture: Before's cells in the second game's, taking in the emptied foreground cells, marked.
    const auto after = afterFrame(CellBox{3, 1, 4, 2}, std::vector<core::LayoutCell>{{Plane::Foreground, 1, 60}, {Plane::Background, 0, 0}, {Plane::Foreground, 0, 2}});
    EXPECT_TRUE(std::tie(after.frame, after.marks, after.hiddenMarks) == std::tuple(CellBox{4, 0, 118, 6}, std::vector<CellBox>{{120, 2, 2, 2}, {4, 0, 2, 2}}, 1));
    EXPECT_FALSE(afterFrame(std::nullopt, {}).frame.has_value());
    EXPECT_EQ(std::tuple(drawing::fitFactor(kPlaneWidth, INT_MAX), drawing::fitFactor(INT_MAX, 2), drawing::fitFactor(2000, 1000)), std::tuple(1, 1 << 30, 2));
}

// Boxes anywhere in int's range, far edges past INT_MAX included, are cut to the plane.
TEST(LevelRender, ShortAndHostileStatesAndBoxesNeverReadOutOfBounds) {
    EXPECT_EQ(core::factsAs<core::ByteCounts>(drawing::LevelMemory::fromSaveState(Bytes(core::kMinSaveStateSize - 1, 0)).error()),
              (core::ByteCounts{core::kMinSaveStateSize - 1, core::kMinSaveStateSize}));
    const Bytes shortest = tavro::test::randomBytes(core::kMinSaveStateSize, 5);
    const auto level = drawing::LevelMemory::fromSaveState(shortest).value();  // video RAM past the end of the file reads as zero
    EXPECT_EQ(std::pair(level.videoRam()[kVideoRamBytes / 2 - 1], level.videoRam()[kVideoRamBytes / 2]), std::pair(shortest.back(), std::uint8_t{0}));
    constexpr int kAll = 1000;  // cells of the plane left out: none left
    const struct {
        drawing::CellBox box;
        int columnsCut, rowsCut;
    } boxes[] = {{{-5, 3, 500, 500}, 0, 3},
                 {{0, 0, INT_MAX, INT_MAX}, 0, 0},
                 {{2, 1, INT_MAX, INT_MAX - 1}, 2, 1},
                 {{-100, 200 - INT_MAX, INT_MAX, INT_MAX}, 0, 0},
                 {{INT_MAX - 1, 0, INT_MAX, 2}, kAll, 0},
                 {{-3, INT_MAX, 5, INT_MAX}, 0, kAll},
                 {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, kAll, kAll},
                 {{-INT_MAX, 1, INT_MAX, INT_MIN}, kAll, kAll}};
    const SaveState s = SaveState::random(1);
    for (const auto& [game, f] : kGames) {
        for (const auto& [box, columnsCut, rowsCut] : boxes) {
            SCOPED_TRACE(::testing::Message() << box.column << "," << box.row << " " << box.columns << "x" << box.rows);
            const int cell = f.cellPixels(), width = std::max(f.planeColumns - columnsCut, 0) * cell, height = std::max(f.layoutRows - rowsCut, 0) * cell;
            const auto image = drawing::drawPlane(levelOf(s), game, core::Plane::Foreground, box);
            EXPECT_EQ(std::pair(image.width * image.height, image.pixels.size()), std::pair(width * height, static_cast<std::size_t>(width * height)));
            const auto scaled = drawing::drawScaled(levelOf(s), game, core::Plane::Background, box, 512);
            EXPECT_EQ(scaled.pixels.size(), static_cast<std::size_t>((width + 511) / 512 * ((height + 511) / 512) * 4));
        }
    }
}

}  // namespace
}  // namespace tavro::drawing
