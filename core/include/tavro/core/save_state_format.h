// The save-state format: where each game keeps its level, written down once.
//
// A save state holds an image of the console's 64 KiB main RAM at file offset
// 0x2478 and one of its 64 KiB video RAM right after it, at 0x12478. A level
// lives in both: pattern art in video RAM, everything else in main RAM.
// Addresses below are RAM addresses (add kMainRamOffset for the file offset);
// words are big-endian.
//
// Both games share the art:
//   palette  4 lines of 16 colours at 0xFB00, one word each: blue in bits
//            11-9, green 7-5, red 3-1. Colour 0 of every line is transparent.
//   pattern  8x8 pixels of 4-bit colours, 32 bytes at video RAM index * 32;
//            4 bytes a row, the high nibble of a byte is the left pixel.
//   block    16x16 pixels: four pattern words (top-left, top-right,
//            bottom-left, bottom-right), 8 bytes in a table of 768 blocks.
//            Pattern word: index bits 10-0, horizontal flip 11, vertical
//            flip 12, palette line 14-13, priority 15.
//
// and differ in how blocks make a level:
//
//                 first game                      second game
//   blocks        0xB000                          0x9000
//   chunk         16x16 entries (256x256 px),     8x8 entries (128x128 px),
//                 chunk c >= 1 at (c - 1) * 512   chunk c at c * 128
//                 (chunk 0 is empty, not stored)
//   entry         block bits 9-0 (768 and above draw nothing) and flips that
//                 mirror the whole block: horizontal 11, vertical 12 in the
//                 first game, 10 and 11 in the second
//   layout        0xA400: 8 rows of 64            0x8000: 16 rows of 128
//                 foreground then 64 background   foreground then 128
//                 cells                           background cells
//   cell          chunk number in bits 6-0        chunk number (whole byte)
//
// A cell naming chunk 0 is empty. A plane is 16,384 x 2,048 pixels in both.
#pragma once

#include <cstddef>

namespace tavro::core::format {

// ---- the file ----
inline constexpr std::size_t kMainRamOffset = 0x2478;
inline constexpr std::size_t kMainRamBytes = 0x10000;
inline constexpr std::size_t kVideoRamOffset = kMainRamOffset + kMainRamBytes;
inline constexpr std::size_t kVideoRamBytes = 0x10000;
static_assert(kVideoRamOffset == 0x12478);

// A length with room past the video-RAM image, as recorded states have: the
// sample files and the tests use it.
inline constexpr std::size_t kRecordedStateBytes = 180000;

// ---- art both games share ----
inline constexpr std::size_t kPatternBytes = 32;
inline constexpr std::size_t kPatternRowBytes = 4;
inline constexpr int kPatternPixels = 8;  // a side
inline constexpr unsigned kPatternIndexMask = 0x7FF;
inline constexpr unsigned kPatternHFlipBit = 11;
inline constexpr unsigned kPatternVFlipBit = 12;
inline constexpr unsigned kPatternLineShift = 13;  // two bits
static_assert((kPatternIndexMask + 1) * kPatternBytes == kVideoRamBytes);
// Patterns 0 to 1023: the half of video RAM a level's art lives in.
inline constexpr std::size_t kLevelPatternBytes = kVideoRamBytes / 2;

// The end of the level's pattern art: no save state is shorter, and a target
// created from nothing has exactly this length.
inline constexpr std::size_t kMinSaveStateSize = kVideoRamOffset + kLevelPatternBytes;
static_assert(kMinSaveStateSize == 107640);

inline constexpr std::size_t kPaletteAddress = 0xFB00;
inline constexpr int kPaletteLines = 4;
inline constexpr int kLineColours = 16;
inline constexpr int kPaletteEntries = kPaletteLines * kLineColours;
inline constexpr std::size_t kPaletteLineBytes = kLineColours * 2;
// What a conversion carries of the palette buffer: from line 1 (line 0 is the
// player's character's, which the target keeps) to 0xFC00 inclusive.
inline constexpr std::size_t kLevelPaletteAddress = kPaletteAddress + kPaletteLineBytes;
inline constexpr std::size_t kLevelPaletteBytes = 0xFC00 - kLevelPaletteAddress + 1;

inline constexpr int kBlockPixels = 16;  // a side
inline constexpr std::size_t kBlockBytes = 8;
inline constexpr unsigned kBlockCount = 768;
inline constexpr std::size_t kBlockTableBytes = kBlockCount * kBlockBytes;
inline constexpr unsigned kEntryBlockMask = 0x3FF;  // of a chunk entry

// ---- where each game keeps its level ----
struct GameFormat {
    std::size_t blockTable;
    std::size_t chunkTable;     // where chunk `firstStoredChunk` is
    unsigned firstStoredChunk;  // chunks below it are empty and not stored
    int chunkSide;              // entries
    unsigned entryHFlipBit;
    unsigned entryVFlipBit;
    std::size_t layout;
    int layoutRows;
    int planeColumns;        // cells of one plane in a row
    unsigned cellChunkMask;  // the bits of a cell that name a chunk

    constexpr std::size_t chunkBytes() const { return static_cast<std::size_t>(chunkSide * chunkSide) * 2; }
    constexpr std::size_t chunkRowBytes() const { return static_cast<std::size_t>(chunkSide) * 2; }
    constexpr std::size_t chunkAddress(unsigned chunk) const {
        return chunkTable + (chunk - firstStoredChunk) * chunkBytes();
    }
    constexpr unsigned chunkNumbers() const { return cellChunkMask + 1; }  // what a cell can name
    constexpr std::size_t layoutRowBytes() const { return static_cast<std::size_t>(planeColumns) * 2; }
    constexpr std::size_t layoutBytes() const { return static_cast<std::size_t>(layoutRows) * layoutRowBytes(); }
    constexpr int cellPixels() const { return chunkSide * kBlockPixels; }
};

inline constexpr GameFormat kFirstGame{.blockTable = 0xB000,
                                       .chunkTable = 0x0000,
                                       .firstStoredChunk = 1,
                                       .chunkSide = 16,
                                       .entryHFlipBit = 11,
                                       .entryVFlipBit = 12,
                                       .layout = 0xA400,
                                       .layoutRows = 8,
                                       .planeColumns = 64,
                                       .cellChunkMask = 0x7F};

inline constexpr GameFormat kSecondGame{.blockTable = 0x9000,
                                        .chunkTable = 0x0000,
                                        .firstStoredChunk = 0,
                                        .chunkSide = 8,
                                        .entryHFlipBit = 10,
                                        .entryVFlipBit = 11,
                                        .layout = 0x8000,
                                        .layoutRows = 16,
                                        .planeColumns = 128,
                                        .cellChunkMask = 0xFF};

// A plane has the same size in both games.
inline constexpr int kPlaneWidth = kFirstGame.planeColumns * kFirstGame.cellPixels();
inline constexpr int kPlaneHeight = kFirstGame.layoutRows * kFirstGame.cellPixels();

// Everything a game can name lies inside main RAM, and its plane has the
// common size.
constexpr bool fitsInRam(const GameFormat& g) {
    return g.blockTable + kBlockTableBytes <= kMainRamBytes && g.layout + g.layoutBytes() <= kMainRamBytes &&
           g.chunkAddress(g.cellChunkMask) + g.chunkBytes() <= kMainRamBytes &&
           g.planeColumns * g.cellPixels() == kPlaneWidth && g.layoutRows * g.cellPixels() == kPlaneHeight;
}
static_assert(fitsInRam(kFirstGame) && fitsInRam(kSecondGame));
static_assert(kPaletteAddress + kPaletteEntries * 2 <= kMainRamBytes);

}  // namespace tavro::core::format

namespace tavro::core {
using format::kMinSaveStateSize;
}  // namespace tavro::core
