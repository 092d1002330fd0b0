#include <gtest/gtest.h>

#include <random>

#include "conversion.h"
#include "level_render.h"
#include "png_image.h"
#include "region_map.h"
#include "test_files.h"

namespace tavro::render {
namespace {

using tavro::testing::Bytes;

constexpr std::size_t kStateSize = 180000;

// A save state written a word at a time.
struct State {
    Bytes bytes = Bytes(kStateSize, 0);

    void ramWord(std::size_t offset, unsigned word) {
        bytes.at(kMainRamOffset + offset) = static_cast<std::uint8_t>(word >> 8);
        bytes.at(kMainRamOffset + offset + 1) = static_cast<std::uint8_t>(word);
    }
    // Row y of the pattern holds colours (x + y + first) % 16, never two rows alike.
    void pattern(unsigned index, unsigned first) {
        for (unsigned i = 0; i < 32; ++i) {
            const unsigned x = (i % 4) * 2, y = i / 4;
            bytes.at(kVideoRamOffset + index * 32 + i) =
                static_cast<std::uint8_t>(((x + y + first) % 16) << 4 | (x + 1 + y * 3 + first) % 16);
        }
    }
    LevelMemory level() const { return LevelMemory::fromSaveState(bytes).value(); }
};

struct GameLayout {
    Game game;
    std::size_t blocks, layout, rowBytes, chunkOf1, entryRowBytes;
    unsigned hflip, vflip;
};
constexpr GameLayout kGames[] = {{Game::First, 0xB000, 0xA400, 128, 0, 32, 1u << 11, 1u << 12},
                                 {Game::Second, 0x9000, 0x8000, 256, 128, 16, 1u << 10, 1u << 11}};

// One block (number 5, patterns 1 to 4 with pattern flips and palette lines)
// in the top-left entry of chunk 1, which the top-left cell names.
State oneBlock(const GameLayout& g, unsigned entryFlips) {
    State s;
    for (unsigned p = 1; p <= 4; ++p) s.pattern(p, p * 3);
    const unsigned words[4] = {1, 2 | 1u << 11 | 1u << 13, 3 | 1u << 12 | 2u << 13, 4 | 3u << 11 | 3u << 13 | 1u << 15};
    for (unsigned i = 0; i < 4; ++i) s.ramWord(g.blocks + 5 * 8 + i * 2, words[i]);
    s.ramWord(g.chunkOf1, 5 | entryFlips);
    s.bytes.at(kMainRamOffset + g.layout) = 1;
    return s;
}

std::uint8_t pixel(const IndexedImage& image, int x, int y) {
    return image.pixels.at(static_cast<std::size_t>(y * image.width + x));
}

::testing::AssertionResult samePicture(const IndexedImage& a, const IndexedImage& b) {
    if (a.width != b.width || a.height != b.height) return ::testing::AssertionFailure() << "sizes differ";
    if (a.pixels == b.pixels) return ::testing::AssertionSuccess();
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (pixel(a, x, y) != pixel(b, x, y))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << ": " << int{pixel(a, x, y)}
                                                     << " vs " << int{pixel(b, x, y)};
    return ::testing::AssertionSuccess();
}

TEST(LevelRender, PatternsBlocksAndPaletteLinesGiveTheIndices) {
    for (const auto& g : kGames) {
        const auto image = drawPlane(oneBlock(g, 0).level(), g.game, Plane::Foreground);
        ASSERT_EQ(image.width, kPlaneWidth);
        ASSERT_EQ(image.height, kPlaneHeight);
        // Top-left: pattern 1 as stored, line 0; the high nibble is the left pixel.
        EXPECT_EQ(pixel(image, 0, 1), (0 + 1 + 3) % 16);
        EXPECT_EQ(pixel(image, 1, 1), (1 + 3 + 3) % 16);
        // Top-right: pattern 2 mirrored left to right, line 1.
        EXPECT_EQ(pixel(image, 15, 2), 16 + (0 + 2 + 6) % 16);
        // Bottom-left: pattern 3 upside down, line 2.
        EXPECT_EQ(pixel(image, 0, 15), 32 + (0 + 0 + 9) % 16);
        // Bottom-right: pattern 4 turned over both ways, line 3; priority ignored.
        EXPECT_EQ(pixel(image, 15, 15), 48 + (0 + 0 + 12) % 16);
        // Colour 0 is transparent whatever the line: pattern 4 has colour 0 at (1, 1).
        EXPECT_EQ(pixel(image, 14, 14), 0);
        EXPECT_EQ(pixel(image, 16, 0), 0);  // the next entry names block 0, which is empty
    }
}

TEST(LevelRender, FlippedEntriesMirrorTheWholeBlock) {
    for (const auto& g : kGames) {
        const auto plain = drawPlane(oneBlock(g, 0).level(), g.game, Plane::Foreground, {0, 0, 1, 1});
        for (const unsigned flips : {g.hflip, g.vflip, g.hflip | g.vflip}) {
            const auto flipped = drawPlane(oneBlock(g, flips).level(), g.game, Plane::Foreground, {0, 0, 1, 1});
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    const int fx = (flips & g.hflip) ? 15 - x : x, fy = (flips & g.vflip) ? 15 - y : y;
                    ASSERT_EQ(pixel(flipped, x, y), pixel(plain, fx, fy)) << x << "," << y << " flips " << flips;
                }
            }
        }
    }
}

TEST(LevelRender, CellsChunksAndBlocksAreFoundWhereEachGameKeepsThem) {
    for (const auto& g : kGames) {
        State s = oneBlock(g, 0);
        const int cell = cellPixels(g.game);
        const std::size_t chunk2 = g.chunkOf1 + (g.game == Game::First ? 512 : 128);
        s.ramWord(chunk2 + g.entryRowBytes + 2, 5);      // chunk 2, entry row 1, column 1
        s.ramWord(chunk2 + 4, 768);                       // past the block table: nothing
        s.ramWord(g.blocks + 768 * 8, 1);                 // ...even though RAM there holds a word
        const auto cellByte = [&](int row, int column) -> std::uint8_t& {
            return s.bytes.at(kMainRamOffset + g.layout + static_cast<std::size_t>(row) * g.rowBytes +
                              static_cast<std::size_t>(column));
        };
        cellByte(2, static_cast<int>(g.rowBytes / 2)) = 1;  // the first background cell of row 2
        if (g.game == Game::First) {
            cellByte(1, 3) = 0x82;  // bit 7 is dropped: chunk 2
            cellByte(3, 0) = 0x80;  // chunk 0
        } else {
            cellByte(1, 3) = 2;
            s.ramWord(0, 5);        // chunk 0 is stored, yet a cell naming it draws nothing
        }
        const auto level = s.level();
        const auto fg = drawPlane(level, g.game, Plane::Foreground);
        EXPECT_EQ(pixel(fg, 3 * cell + 16, cell + 16 + 1), pixel(fg, 0, 1));
        EXPECT_EQ(pixel(fg, 3 * cell + 32 + 1, cell + 1), 0);
        EXPECT_EQ(pixel(fg, cell, 1), 0);
        EXPECT_EQ(usedCells(level, g.game, Plane::Foreground), (CellBox{0, 0, 4, 2}));
        const auto bg = drawPlane(level, g.game, Plane::Background);
        EXPECT_EQ(pixel(bg, 0, 2 * cell + 1), pixel(fg, 0, 1));
        EXPECT_EQ(usedCells(level, g.game, Plane::Background), (CellBox{0, 2, 1, 1}));
        int opaque = 0, blockOpaque = 0;
        for (const auto p : bg.pixels) opaque += p != 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) blockOpaque += pixel(fg, x, y) != 0;
        EXPECT_EQ(opaque, blockOpaque);  // exactly the one block
        EXPECT_GT(blockOpaque, 200);
        // A box of cells is the same picture as that part of the plane.
        const auto part = drawPlane(level, g.game, Plane::Foreground, {3, 1, 2, 1});
        ASSERT_EQ(part.width, 2 * cell);
        for (int y = 0; y < cell; y += 7)
            for (int x = 0; x < 2 * cell; x += 5) ASSERT_EQ(pixel(part, x, y), pixel(fg, 3 * cell + x, cell + y));
    }
}

TEST(LevelRender, PaletteSpreadsThreeBitsAndKeepsColourZeroClear) {
    State s;
    s.ramWord(0xFB00 + 2 * 19, 7u << 9 | 2u << 5 | 5u << 1 | 0xF111);  // line 1, colour 3; stray bits ignored
    s.ramWord(0xFB00 + 2 * 32, 0x0EEE);                                // colour 0 of line 2
    const Palette palette = readPalette(s.level());
    EXPECT_EQ(palette[19], (Rgba{182, 72, 255, 255}));
    EXPECT_EQ(palette[32], (Rgba{0, 0, 0, 0}));
    EXPECT_EQ(palette[1], (Rgba{0, 0, 0, 255}));
    const IndexedImage image{2, 1, {19, 32}};
    EXPECT_EQ(toRgba(image, palette).pixels, (Bytes{182, 72, 255, 255, 0, 0, 0, 0}));
    EXPECT_EQ(scaleDown(image, palette, 1).pixels, toRgba(image, palette).pixels);
}

TEST(LevelRender, ScalingAveragesOpaquePixelsAndCoversTheEdges) {
    Palette palette{};
    palette[1] = {200, 0, 10, 255};
    palette[2] = {100, 50, 0, 255};
    const IndexedImage image{3, 3, {1, 2, 1, 0, 0, 2, 1, 1, 0}};
    const auto scaled = scaleDown(image, palette, 2);
    ASSERT_EQ(scaled.width, 2);
    ASSERT_EQ(scaled.height, 2);
    EXPECT_EQ(scaled.pixels, (Bytes{150, 25, 5, 128, 150, 25, 5, 255,    // 2 of 4 opaque; 2 of 2
                                    200, 0, 10, 255, 0, 0, 0, 0}));      // 2 of 2; 0 of 1
    EXPECT_TRUE(scaleDown(IndexedImage{4, 4, {1}}, palette, 2).pixels.empty());  // inconsistent size
}

TEST(LevelRender, StripDrawnScalingMatchesScalingTheWholePicture) {
    State s;
    s.bytes = tavro::testing::randomBytes(kStateSize, 11);
    const auto level = s.level();
    for (const auto& g : kGames) {
        const CellBox box{1, 1, 3, 2};
        const auto whole = drawPlane(level, g.game, Plane::Background, box);
        for (const int factor : {1, 3, 16, 100, 1000})
            EXPECT_EQ(drawScaled(level, g.game, Plane::Background, box, factor).pixels,
                      scaleDown(whole, readPalette(level), factor).pixels)
                << factor;
    }
    const auto preview = drawPreview(level, Game::First, Plane::Foreground, 1000);
    ASSERT_TRUE(preview.has_value());
    EXPECT_EQ(preview->width, kPlaneWidth / 17 + 1);  // factor 17: the smallest that fits
    EXPECT_FALSE(drawPreview(State{}.level(), Game::Second, Plane::Foreground, 1000).has_value());
}

TEST(LevelRender, ShortAndHostileStatesNeverReadOutOfBounds) {
    EXPECT_FALSE(LevelMemory::fromSaveState(Bytes(kMinSaveStateSize - 1, 0)).has_value());
    Bytes shortest = tavro::testing::randomBytes(kMinSaveStateSize, 5);
    const auto level = LevelMemory::fromSaveState(shortest);
    ASSERT_TRUE(level.has_value());
    EXPECT_EQ(level->videoRam()[kVideoRamBytes / 2 - 1], shortest.back());
    EXPECT_EQ(level->videoRam()[kVideoRamBytes / 2], 0);  // past the end of the file
    for (unsigned seed = 1; seed <= 3; ++seed) {
        State s;
        s.bytes = tavro::testing::randomBytes(kStateSize, seed);
        for (const auto& g : kGames) {
            const auto image = drawPlane(s.level(), g.game, Plane::Foreground, {-5, 3, 500, 500});
            EXPECT_EQ(image.height, kPlaneHeight - 3 * cellPixels(g.game));
        }
    }
}

TEST(LevelPng, PicturesSurviveEncodingAndDecoding) {
    State s;
    s.bytes = tavro::testing::randomBytes(kStateSize, 21);
    const auto level = s.level();
    const auto image = drawPlane(level, Game::Second, Plane::Foreground, {0, 0, 2, 1});
    const auto rgba = toRgba(image, readPalette(level));
    const auto indexed = encodePng(image, readPalette(level));
    ASSERT_TRUE(indexed.has_value()) << indexed.error();
    EXPECT_EQ(decodePng(*indexed).value().pixels, rgba.pixels);
    const auto direct = encodePng(rgba);
    ASSERT_TRUE(direct.has_value()) << direct.error();
    const auto decoded = decodePng(*direct).value();
    EXPECT_EQ(decoded.width, 256);
    EXPECT_EQ(decoded.pixels, rgba.pixels);
    EXPECT_FALSE(decodePng(Bytes(100, 7)).has_value());
    EXPECT_FALSE(encodePng(IndexedImage{}, Palette{}).has_value());

    const tavro::testing::TempFolder folder;
    ASSERT_TRUE(savePng(folder.file("level.png"), *direct).has_value());
    EXPECT_EQ(tavro::testing::readBytes(folder.file("level.png")), *direct);
    EXPECT_FALSE(savePng(folder.file("missing/level.png"), *direct).has_value());
}

// The converted target, read as the second game, shows the source's level,
// with cells naming chunks 64 and above left empty. Compared a row of source
// cells at a time, reusing the pictures' storage.
void expectConversionKeepsThePicture(const Bytes& source, const Bytes& target) {
    const auto before = LevelMemory::fromSaveState(source).value();
    const auto after = LevelMemory::fromSaveState(patchTarget(target, convertRegions(readSourceRegions(source)))).value();
    IndexedImage expected, actual;
    long opaque = 0;
    for (const Plane plane : {Plane::Foreground, Plane::Background}) {
        const std::size_t cells = kMainRamOffset + 0xA400 + (plane == Plane::Background ? 64 : 0);
        for (int row = 0; row < 8; ++row) {
            expected = drawPlane(before, Game::First, plane, {0, row, 64, 1}, std::move(expected));
            actual = drawPlane(after, Game::Second, plane, {0, 2 * row, 128, 2}, std::move(actual));
            for (std::size_t column = 0; column < 64; ++column)
                if ((source[cells + static_cast<std::size_t>(row) * 128 + column] & 0x7F) >= 64)
                    for (std::size_t y = 0; y < 256; ++y) std::fill_n(&expected.pixels[y * kPlaneWidth + column * 256], 256, 0);
            opaque += std::count_if(expected.pixels.begin(), expected.pixels.end(), [](auto p) { return p != 0; });
            ASSERT_TRUE(samePicture(expected, actual)) << "row " << row;
        }
    }
    EXPECT_GT(opaque, 10000);  // not a comparison of two empty pictures
}

TEST(LevelConversion, TheSampleLevelLooksTheSameAfterConversion) {
    expectConversionKeepsThePicture(tavro::testing::readBytes(TAVRO_SAMPLE_SOURCE),
                                    tavro::testing::readBytes(TAVRO_SAMPLE_TARGET));
}

TEST(LevelConversion, RandomLevelsLookTheSameAfterConversion) {
    std::mt19937 random(4);
    for (unsigned seed = 100; seed < 132; ++seed) {
        Bytes source = tavro::testing::randomBytes(kStateSize, seed);
        for (std::size_t i = 0; i < 6144; i += 2) source[kMainRamOffset + 0xB000 + i] &= 0xFB;  // patterns < 1024
        const bool sparse = seed % 3 == 0, anyChunk = seed % 4 == 0;
        for (std::size_t i = 0; i < 1024; ++i) {
            auto& cell = source[kMainRamOffset + 0xA400 + i];
            cell = anyChunk ? cell : static_cast<std::uint8_t>(cell & 0xBF);  // chunks 0 to 63, bit 7 kept
            if (sparse && random() % 2) cell = 0;
        }
        SCOPED_TRACE(seed);
        expectConversionKeepsThePicture(source, tavro::testing::randomBytes(kStateSize, seed + 1000));
    }
}

}  // namespace
}  // namespace tavro::render
