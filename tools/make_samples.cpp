// Writes a pair of sample save states into the folder given as the argument:
//
//   tavro1.state  a first-game state holding a small level: pattern art,
//                 palette, blocks (some flipped), chunks with flip and
//                 collision bits, a layout with foreground and background
//                 cells, some cells with bit 7 set and a few naming chunks
//                 64 and above (which the second game cannot hold);
//   tavro2.state  a second-game state holding a level of its own (the small
//                 level's chunks in another layout, as a packed conversion
//                 gives them) amid non-zero filler, so that every byte a
//                 conversion must keep is visible;
//   tavro1-big.state  a first-game state whose level names every chunk from 1
//                 to 82 (where the chunk table meets the layout in RAM): the
//                 default conversion leaves holes where cells name chunks 64
//                 and above, the packed one carries it whole.
//
// All are 180,000 bytes. The output is the same on every run; the tool checks
// that the big level is what it claims to be.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include <tavro/core/conversion.h>
#include <tavro/files/file_access.h>
#include <tavro/core/save_state_format.h>

namespace {

namespace format = tavro::core::format;
constexpr format::GameFormat kGame = format::kFirstGame;

class SaveState {
public:
    SaveState() : bytes_(format::kRecordedStateBytes, 0) {}

    std::uint8_t& ram(std::size_t offset) { return bytes_.at(format::kMainRamOffset + offset); }
    std::uint8_t& vram(std::size_t offset) { return bytes_.at(format::kVideoRamOffset + offset); }
    void ramWord(std::size_t offset, unsigned word) {
        ram(offset) = static_cast<std::uint8_t>(word >> 8);
        ram(offset + 1) = static_cast<std::uint8_t>(word);
    }
    std::vector<std::uint8_t>& bytes() { return bytes_; }
    // A layout cell of the foreground or the background plane.
    void cell(unsigned row, unsigned column, bool background, unsigned value) {
        ram(kGame.layout + row * kGame.layoutRowBytes() + (background ? unsigned(kGame.planeColumns) : 0u) + column) =
            static_cast<std::uint8_t>(value);
    }

private:
    std::vector<std::uint8_t> bytes_;
};

// ---- palette: 4 lines of 16 colours, 3 bits per channel ----

unsigned colour(unsigned r, unsigned g, unsigned b) { return (b << 9) | (g << 5) | (r << 1); }

void writePalette(SaveState& state) {
    // Line 0 belongs to the player's character, which a conversion leaves to
    // the target game: the level's art uses lines 1 to 3 only.
    const unsigned lines[format::kPaletteLines][format::kLineColours] = {
        // character: blues and skin tones
        {0, colour(0, 0, 0), colour(0, 0, 4), colour(1, 2, 7), colour(3, 4, 7), colour(7, 5, 3), colour(7, 6, 5),
         colour(7, 7, 7), colour(6, 0, 0), 0, 0, 0, 0, 0, 0, 0},
        // terrain: black, white, browns, greens, greys, yellow, orange, red, blue
        {0, colour(0, 0, 0), colour(7, 7, 7), colour(3, 1, 0), colour(5, 3, 1), colour(6, 4, 2), colour(0, 3, 0),
         colour(1, 5, 1), colour(3, 7, 2), colour(2, 2, 2), colour(4, 4, 4), colour(6, 6, 6), colour(7, 7, 0),
         colour(7, 4, 0), colour(6, 1, 1), colour(1, 2, 6)},
        // sky from dark to light, white clouds, then water
        {0, colour(0, 1, 4), colour(1, 2, 5), colour(1, 3, 6), colour(2, 4, 6), colour(3, 5, 7), colour(4, 6, 7),
         colour(5, 6, 7), colour(6, 7, 7), colour(7, 7, 7), colour(0, 1, 3), colour(0, 2, 5), colour(1, 4, 6),
         colour(5, 7, 7), 0, 0},
        // rings and flowers
        {0, colour(7, 6, 0), colour(7, 4, 0), colour(5, 2, 0), colour(7, 7, 5), colour(7, 2, 5), colour(7, 0, 3), 0, 0,
         0, 0, 0, 0, 0, 0, 0},
    };
    for (unsigned line = 0; line < format::kPaletteLines; ++line)
        for (unsigned index = 0; index < format::kLineColours; ++index)
            state.ramWord(format::kPaletteAddress + format::kPaletteLineBytes * line + 2 * index, lines[line][index]);
}

// ---- patterns: 8x8 pixels of 4-bit colours in video RAM ----

template <typename PixelColour> void drawPattern(SaveState& state, unsigned index, PixelColour pixel) {
    for (unsigned y = 0; y < format::kPatternPixels; ++y) {
        for (unsigned x = 0; x < format::kPatternPixels; x += 2) {
            const unsigned left = pixel(x, y) & 15u;
            const unsigned right = pixel(x + 1, y) & 15u;
            state.vram(index * format::kPatternBytes + y * format::kPatternRowBytes + x / 2) =
                static_cast<std::uint8_t>((left << 4) | right);
        }
    }
}

enum Pattern : unsigned {
    kGrassTop = 1,
    kDirt,
    kChecker,
    kBrick,
    kSlope,
    kSky,
    kCloud,
    kWave,
    kRing,
    kStone,
    kFlower,
};

void drawPatterns(SaveState& state) {
    drawPattern(state, kGrassTop, [](unsigned x, unsigned y) {
        return y < 2 ? 8u : y < 4 ? ((x + y) % 3 == 0 ? 6u : 7u) : ((x * 3 + y) % 5 == 0 ? 3u : 4u);
    });
    drawPattern(state, kDirt, [](unsigned x, unsigned y) { return (x * 5 + y * 3) % 7 == 0 ? 5u : 4u; });
    drawPattern(state, kChecker, [](unsigned x, unsigned y) { return ((x / 4 + y / 4) % 2) ? 3u : 5u; });
    drawPattern(state, kBrick, [](unsigned x, unsigned y) {
        const bool mortar = y % 4 == 3 || (x + (y / 4) * 4) % 8 == 7;
        return mortar ? 11u : 14u;
    });
    drawPattern(state, kSlope, [](unsigned x, unsigned y) { return x + y >= 7 ? (x + y == 7 ? 8u : 7u) : 0u; });
    drawPattern(state, kSky, [](unsigned, unsigned y) { return 3u + y / 2; });
    drawPattern(state, kCloud, [](unsigned x, unsigned y) {
        const int dx = static_cast<int>(x) - 4, dy = static_cast<int>(y) - 5;
        return dx * dx + 2 * dy * dy < 14 ? 9u : 0u;
    });
    drawPattern(state, kWave,
                [](unsigned x, unsigned y) { return y == (x % 4 < 2 ? 1u : 2u) ? 13u : (y < 4 ? 12u : 11u); });
    drawPattern(state, kRing, [](unsigned x, unsigned y) {
        const int dx = 2 * static_cast<int>(x) - 7, dy = 2 * static_cast<int>(y) - 7;
        const int d = dx * dx + dy * dy;
        return d < 20 ? 0u : d < 34 ? 2u : d < 50 ? 1u : 0u;
    });
    drawPattern(state, kStone, [](unsigned x, unsigned y) {
        return x == 0 || y == 0 ? 11u : x == 7 || y == 7 ? 9u : 10u;
    });
    drawPattern(state, kFlower, [](unsigned x, unsigned y) {
        if (x == 3 && y >= 4) return 7u;
        const int dx = static_cast<int>(x) - 3, dy = static_cast<int>(y) - 2;
        return dx * dx + dy * dy <= 1 ? 12u : dx * dx + dy * dy <= 4 ? 14u : 0u;
    });
}

// ---- blocks: four pattern words (TL, TR, BL, BR) ----

constexpr unsigned kHFlip = 1u << format::kPatternHFlipBit, kVFlip = 1u << format::kPatternVFlipBit;
unsigned line(unsigned palette) { return palette << format::kPatternLineShift; }
const unsigned kTerrain = line(1), kSkyLine = line(2), kItems = line(3);

enum Block : unsigned {
    kGrassBlock = 1,
    kDirtBlock,
    kSlopeBlock,
    kBrickBlock,
    kStoneBlock,
    kSkyBlock,
    kCloudBlock,
    kWaterBlock,
    kRingBlock,
    kFlowerBlock,
    kHighBrickBlock = 300,  // needs block bits 9-8
};

void writeBlock(SaveState& state, unsigned block, std::initializer_list<unsigned> words) {
    std::size_t offset = kGame.blockTable + block * format::kBlockBytes;
    for (const unsigned word : words) {
        state.ramWord(offset, word);
        offset += 2;
    }
}

void writeBlocks(SaveState& state) {
    const unsigned t = kTerrain;
    writeBlock(state, kGrassBlock, {kGrassTop | t, kGrassTop | t | kHFlip, kDirt | t, kDirt | t | kHFlip});
    writeBlock(state, kDirtBlock, {kDirt | t, kChecker | t, kChecker | t | kHFlip, kDirt | t | kVFlip});
    writeBlock(state, kSlopeBlock, {0, kSlope | t, kSlope | t, kDirt | t});
    writeBlock(state, kBrickBlock, {kBrick | t, kBrick | t | kHFlip, kBrick | t | kVFlip, kBrick | t});
    writeBlock(state, kStoneBlock,
               {kStone | t, kStone | t | kHFlip, kStone | t | kVFlip, kStone | t | kHFlip | kVFlip});
    writeBlock(state, kSkyBlock, {kSky | kSkyLine, kSky | kSkyLine, kSky | kSkyLine, kSky | kSkyLine});
    writeBlock(state, kCloudBlock, {kCloud | kSkyLine, kCloud | kSkyLine | kHFlip, 0, 0});
    writeBlock(state, kWaterBlock,
               {kWave | kSkyLine, kWave | kSkyLine | kHFlip, kWave | kSkyLine | kVFlip, kWave | kSkyLine});
    writeBlock(state, kRingBlock, {kRing | kItems, kRing | kItems, 0, 0});
    writeBlock(state, kFlowerBlock, {0, 0, kFlower | t | 1u << 15, kFlower | t | kHFlip});
    writeBlock(state, kHighBrickBlock, {kBrick | t | 1u << 15, kStone | t, kStone | t, kBrick | t | kHFlip});
}

// ---- chunks: first-game chunk k (k >= 1) is 16x16 entries ----

constexpr unsigned kSolid = 3u << 13;  // collision field, both bits
constexpr unsigned kTop = 1u << 13;
constexpr unsigned kEntryHFlip = 1u << kGame.entryHFlipBit, kEntryVFlip = 1u << kGame.entryVFlipBit;
constexpr auto kSide = static_cast<unsigned>(kGame.chunkSide);  // entries

class ChunkPainter {
public:
    ChunkPainter(SaveState& state, unsigned chunk) : state_(state), base_(kGame.chunkAddress(chunk)) {}
    void set(unsigned row, unsigned column, unsigned entry) {
        state_.ramWord(base_ + row * kGame.chunkRowBytes() + column * 2, entry);
    }
    void fillRows(unsigned firstRow, unsigned lastRow, unsigned entry) {
        for (unsigned row = firstRow; row <= lastRow; ++row)
            for (unsigned column = 0; column < kSide; ++column) set(row, column, entry);
    }

private:
    SaveState& state_;
    std::size_t base_;
};

enum Chunk : unsigned { kGround = 1, kHill, kPlatform, kSkyChunk, kWater, kTower, kRings, kLastChunk = 63 };

void writeChunks(SaveState& state) {
    ChunkPainter ground(state, kGround);
    for (unsigned column = 2; column < kSide; column += 5)
        ground.set(2, column, kRingBlock);  // high up in the first rows
    ground.fillRows(10, 10, kGrassBlock | kTop);
    ground.fillRows(11, 15, kDirtBlock | kSolid);
    for (unsigned column = 1; column < kSide; column += 4) ground.set(9, column, kFlowerBlock);

    ChunkPainter hill(state, kHill);
    for (unsigned column = 0; column < kSide; ++column) {
        const unsigned top = column < 8 ? 10 - column / 2 : 3 + column / 2;  // rise, then fall
        const unsigned slope = column < 8 ? kSlopeBlock : kSlopeBlock | kEntryHFlip;
        hill.set(top, column, slope | kTop);
        for (unsigned row = top + 1; row < kSide; ++row) hill.set(row, column, kDirtBlock | kSolid);
    }

    ChunkPainter platform(state, kPlatform);
    for (unsigned column = 3; column < 13; ++column) {
        platform.set(7, column, kBrickBlock | kTop);
        platform.set(8, column, kHighBrickBlock | kEntryVFlip | kSolid);
    }
    for (unsigned column = 5; column < 11; column += 2) platform.set(5, column, kRingBlock);

    ChunkPainter sky(state, kSkyChunk);
    sky.fillRows(0, 15, kSkyBlock);
    for (unsigned column = 2; column < 7; ++column) sky.set(3, column, kCloudBlock);
    for (unsigned column = 9; column < 13; ++column) sky.set(8, column, kCloudBlock | kEntryHFlip);

    ChunkPainter water(state, kWater);
    water.fillRows(11, 15, kWaterBlock);
    for (unsigned column = 0; column < kSide; column += 2)
        water.set(11, column, kWaterBlock | kEntryHFlip | kEntryVFlip);

    ChunkPainter tower(state, kTower);
    for (unsigned row = 2; row < 11; ++row)
        for (unsigned column = 6; column < 10; ++column) tower.set(row, column, kStoneBlock | kSolid);
    tower.fillRows(11, 11, kGrassBlock | kTop);
    tower.fillRows(12, 15, kDirtBlock | kSolid);

    ChunkPainter rings(state, kRings);
    for (unsigned column = 1; column < kSide; column += 2) rings.set(6 + (column % 4 == 1 ? 0 : 1), column, kRingBlock);
    rings.fillRows(10, 10, kGrassBlock | kTop);
    rings.fillRows(11, 15, kDirtBlock | kSolid);

    ChunkPainter last(state, kLastChunk);  // the highest chunk the second game can hold
    last.fillRows(0, 15, kStoneBlock | kSolid);
}

// ---- layout: rows of foreground then background cells ----

void writeLayout(SaveState& state) {
    const auto cell = [&state](unsigned row, unsigned column, bool background, unsigned value) {
        state.cell(row, column, background, value);
    };
    constexpr unsigned kWidth = 24;
    const unsigned groundRow[kWidth] = {kGround, kGround, kHill,  kGround, kRings, kWater,  kWater,     kGround,
                                        kTower,  kGround, kHill,  kHill,   kRings, kGround, kWater,     kGround,
                                        kGround, kTower,  kRings, kGround, kHill,  kGround, kLastChunk, kGround};
    for (unsigned column = 0; column < kWidth; ++column) {
        cell(3, column, false, groundRow[column] | (column % 5 == 0 ? 0x80u : 0u));  // bit 7: a flag
        for (unsigned row = 0; row < 4; ++row) cell(row, column, true, kSkyChunk | (row == 1 ? 0x80u : 0u));
    }
    for (unsigned column = 2; column < kWidth; column += 6) cell(2, column, false, kPlatform);
    cell(1, 9, false, 0x80);  // chunk 0 with the flag: an empty cell
    // Chunks the second game cannot hold: they arrive as empty cells.
    cell(1, 4, false, 70);
    cell(1, 15, false, 0xC1);  // chunk 65 with the flag
    cell(0, 20, false, 127);
}

// ---- the big level: 82 chunks, numbered so that those past 63 are scattered ----

// A second-game-sized quarter of a first-game chunk: 8 x 8 entries.
class QuarterPainter {
public:
    QuarterPainter(SaveState& state, unsigned chunk, unsigned quarter)
        : chunk_(state, chunk), row_(quarter / 2 * kSide / 2), column_(quarter % 2 * kSide / 2) {}
    void set(unsigned row, unsigned column, unsigned entry) { chunk_.set(row_ + row, column_ + column, entry); }

private:
    ChunkPainter chunk_;
    unsigned row_, column_;
};

enum class Piece { Empty, Cloud, Rings, Platform };

void paintPiece(QuarterPainter quarter, Piece piece, unsigned variant) {
    switch (piece) {
    case Piece::Empty: break;
    case Piece::Cloud:
        for (unsigned column = variant % 4; column < variant % 4 + 4; ++column)
            quarter.set(1 + variant % 3, column, kCloudBlock | (variant % 2 ? kEntryHFlip : 0u));
        break;
    case Piece::Rings:
        for (unsigned column = variant % 2 + 1; column < kSide / 2; column += 3)
            quarter.set(2 + variant % 4, column, kRingBlock);
        break;
    case Piece::Platform:
        for (unsigned column = variant % 3; column < kSide / 2 - variant % 2; ++column) {
            quarter.set(2 + variant % 4, column, kBrickBlock | kTop);
            quarter.set(3 + variant % 4, column, kHighBrickBlock | kEntryVFlip | kSolid);
        }
        break;
    }
}

// Ground for one layout column: grass at a height that rolls from column to
// column (rows 9 to 13 of the chunk), dirt below, a flower now and then and
// every seventh column a stone tower that reaches into the chunk's top half.
void paintGround(SaveState& state, unsigned chunk, unsigned layoutColumn) {
    ChunkPainter ground(state, chunk);
    for (unsigned column = 0; column < kSide; ++column) {
        const unsigned x = layoutColumn * kSide + column;
        const unsigned height = 9 + (x / 5 + x / 13) % 5;
        ground.set(height, column, kGrassBlock | kTop);
        for (unsigned row = height + 1; row < kSide; ++row) ground.set(row, column, kDirtBlock | kSolid);
        if (x % 7 == 3) ground.set(height - 1, column, kFlowerBlock);
    }
    if (layoutColumn % 7 == 4)
        for (unsigned row = 3; row < 9; ++row)
            for (unsigned column = 6; column < 10; ++column) ground.set(row, column, kStoneBlock | kSolid);
}

// Pieces in the air: clouds high up, platforms and rings lower down.
void paintAir(SaveState& state, unsigned chunk, unsigned index, bool high) {
    const Piece top = high ? Piece::Cloud : Piece::Rings, bottom = high ? Piece::Rings : Piece::Platform;
    paintPiece(QuarterPainter(state, chunk, 0), index % 3 == 0 ? top : Piece::Empty, index);
    paintPiece(QuarterPainter(state, chunk, 1), index % 3 == 1 ? top : Piece::Empty, index / 3);
    paintPiece(QuarterPainter(state, chunk, 2), index % 2 == 0 ? bottom : Piece::Empty, index / 2);
    paintPiece(QuarterPainter(state, chunk, 3), index % 2 == 1 || index % 3 == 2 ? bottom : Piece::Empty, index / 4);
}

// 28 columns: ground in layout row 3, platforms in row 2, clouds in row 1
// (the first 25 columns), sky behind. Chunk numbers run through 1 to 82 in a
// scattered order, so chunks 64 and above turn up all along the level.
void writeBigLevel(SaveState& state) {
    constexpr unsigned kColumns = 28, kHighColumns = 25, kLast = 82;
    unsigned next = 0;
    const auto nextChunk = [&next] { return ++next * 29 % (kLast + 1); };  // 29 steps through 1 to 82
    const auto cell = [&state](unsigned row, unsigned column, bool background, unsigned value) {
        state.cell(row, column, background, value);
    };
    for (unsigned column = 0; column < kColumns; ++column) {
        const unsigned chunk = nextChunk();
        paintGround(state, chunk, column);
        cell(3, column, false, chunk | (column % 4 == 0 ? 0x80u : 0u));
    }
    for (unsigned index = 0; index < kColumns + kHighColumns; ++index) {
        const unsigned chunk = nextChunk();
        const bool high = index >= kColumns;
        paintAir(state, chunk, index, high);
        cell(high ? 1 : 2, high ? index - kColumns : index, false, chunk);
    }
    const unsigned sky = nextChunk();
    ChunkPainter(state, sky).fillRows(0, 15, kSkyBlock);
    for (unsigned row = 0; row < 4; ++row)
        for (unsigned column = 0; column < kColumns; ++column) cell(row, column, true, sky);
}

// Whether the big level names every chunk from 1 to 82, loses cells in the
// default conversion and none in the packed one.
bool bigLevelAsClaimed(const std::vector<std::uint8_t>& bytes) {
    const tavro::core::SourceRegions source = tavro::core::readSourceRegions(bytes);
    const auto fixed = tavro::core::summarizeLevel(source);
    const auto packed = tavro::core::summarizeLevel(source, tavro::core::ChunkNumbering::Packed);
    return packed.chunksNamed == 82 && fixed.cellsLost > 0 && packed.cellsLost == 0;
}

// The target's own level: the small level's chunks in a layout of their own.
void writeTargetLayout(SaveState& state) {
    constexpr unsigned kWidth = 16;
    for (unsigned column = 0; column < kWidth; ++column) {
        state.cell(3, column, false, column % 3 == 0 ? kHill : column % 4 == 1 ? kTower : kGround);
        for (unsigned row = 0; row < 3; ++row) state.cell(row, column, true, kSkyChunk);
        state.cell(3, column, true, kWater);
    }
    for (unsigned column = 1; column < kWidth; column += 5) state.cell(2, column, false, kPlatform);
}

void fill(std::vector<std::uint8_t>& bytes, unsigned seed) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(1 + (i * 31 + seed) % 251);  // never zero
}

bool save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    auto written = tavro::files::replace(path.string(), bytes);
    if (written) return true;
    const tavro::files::IoFailure& failure = written.error();
    const char* why = failure.cause == tavro::core::Cause::NotRegularFile ? "not a regular file"
                      : failure.cause == tavro::core::Cause::HardLinks    ? "it has other names (hard links)"
                      : failure.reason.empty()                            ? "refused"
                                                                          : failure.reason.c_str();
    std::fprintf(stderr, "tavro-samplegen: cannot write %s: %s\n", path.string().c_str(), why);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: tavro-samplegen FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder{argv[1]};
    std::error_code error;
    std::filesystem::create_directories(folder, error);

    SaveState source;
    writePalette(source);
    drawPatterns(source);
    writeBlocks(source);
    writeChunks(source);
    writeLayout(source);

    std::vector<std::uint8_t> filler(format::kRecordedStateBytes);
    fill(filler, 7);
    SaveState earlier;
    writePalette(earlier);
    drawPatterns(earlier);
    writeBlocks(earlier);
    writeChunks(earlier);
    writeTargetLayout(earlier);
    const std::vector<std::uint8_t> target =
        tavro::core::patchTarget(filler, tavro::core::convertRegions(tavro::core::readSourceRegions(earlier.bytes()),
                                                                     tavro::core::ChunkNumbering::Packed));

    SaveState big;
    writePalette(big);
    drawPatterns(big);
    writeBlocks(big);
    writeBigLevel(big);
    if (!bigLevelAsClaimed(big.bytes())) {
        std::fprintf(stderr, "tavro-samplegen: the big level is not what it should be\n");
        return 1;
    }

    return save(folder / "tavro1.state", source.bytes()) && save(folder / "tavro2.state", target) &&
                   save(folder / "tavro1-big.state", big.bytes())
               ? 0
               : 1;
}
