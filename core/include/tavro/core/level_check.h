// Which game a save state holds, judged from the format alone
// (save_state_format.h): its bytes are read as a first-game level and as a
// second-game level, each reading is scored, and the stronger one wins. No
// header, size or checksum is asked for. A PNG picture and text (almost only
// printable characters, which no state holding a level is) are told first;
// a file that neither game reads is told apart as zeros or noise.
//
// A reading follows the game's level from its layout down: the layout cells at
// the game's layout address, the chunks they name at the game's chunk
// addresses, the entries of those chunks, the blocks the entries name in the
// game's block table, and the pattern words of those blocks; the palette is
// read too. What each step checks, and why it tells the games apart:
// - Layout cells. A first-game cell names chunk 1 to 127, stored at
//   (c - 1) * 512: chunks 83, 84 and 89 and above would lie over the layout or
//   the block table, so no level names them. Every second-game cell names a
//   chunk that can be stored. The second game's block table lies over the
//   first game's layout address: its pattern words read as cells name such
//   chunks in about a sixth of the cells (the low byte is any index), which
//   counts heavily against reading a second-game state as a first-game one.
// - Chunks. 256x256 pixels, 512 bytes at (c - 1) * 512, against 128x128, 128
//   bytes at c * 128: a layout read with the other game's chunks names other
//   bytes (first-game chunk c holds second-game chunks 4(c - 1) to
//   4(c - 1) + 3), and the second game's layout (0x8000) lies over the first
//   game's chunks 65 to 72; only chunks holding data count for a foreground.
// - Chunk entries. The block number (bits 9-0) is below 768 in both games. The
//   first game leaves bits 15 and 10 unused (bits 7 and 2 of the high byte);
//   the second game has two collision fields there (bits 15-12) and its
//   horizontal flip at bit 10. Second-game entries read as first-game ones set
//   those bits; first-game entries fit both, but fit the first game's stricter
//   word better, which is what makes a first-game level read more strongly as
//   one even where its chunks 65 to 82 lie over the second game's layout and
//   block table. A target converted before holds first-game entries converted:
//   both collision fields set alike, so bit 15 is set wherever the first
//   game's field is 2 or 3, and bit 10 wherever an entry is flipped.
// - Pattern words of the blocks named: a level's art lives in patterns 0 to
//   1023, so bit 10 is clear. The first game's block table (0xB000) is memory
//   the second game keeps no level in, and the second game's (0x9000) holds
//   the first game's chunks 73 to 82 and its layout: cells read as pattern
//   words set bit 10 in about half of them.
// - Palette words: blue, green and red in bits 11-9, 7-5 and 3-1, the others
//   clear. Both games keep the palette at one address, so it tells a save
//   state from other bytes, not one game from the other.
// Each kind of item checked (cells, entries, pattern words, palette words)
// adds the evidence it gives: how much likelier a level of that game makes
// what is seen than random bytes do, allowing a few strays (kStray), so that
// no real level is refused for a stray cell or entry; each kind weighs at
// most kItemsWeighed items' worth, so that a table of noise where a level
// keeps its blocks is not outweighed by many entries that happen to fit. A
// reading holds a level when a foreground cell names a chunk holding data,
// its evidence is positive, and with the palette's (when that is positive) it
// is well above nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include <tavro/core/engine_error.h>
#include <tavro/core/save_state_format.h>

namespace tavro::core {

// Whether first-game chunk `chunk` lies where a level's chunk can be.
constexpr bool chunkCanBeStored(unsigned chunk) {
    const auto& g = format::kFirstGame;
    if (chunk < g.firstStoredChunk || chunk > g.cellChunkMask) return false;
    const std::size_t start = g.chunkAddress(chunk), end = start + g.chunkBytes();
    const bool overLayout = start < g.layout + g.layoutBytes() && g.layout < end;
    return end <= g.blockTable && !overLayout;
}
static_assert(chunkCanBeStored(82) && !chunkCanBeStored(83) && !chunkCanBeStored(84) && chunkCanBeStored(88) &&
              !chunkCanBeStored(89) && !chunkCanBeStored(127));

// The bits of a chunk entry that a game leaves unused (none in the second game).
constexpr unsigned unusedEntryBits(const format::GameFormat& game) {
    return game.entryHFlipBit == format::kFirstGame.entryHFlipBit ? (1u << 15 | 1u << 10) : 0u;
}
// The bits of a palette word that are not a colour's.
inline constexpr unsigned kNotColourBits = 0xF111;
// The bit of a pattern word that names patterns 1024 and above, past the level's art.
inline constexpr unsigned kPastLevelArtBit = 1u << 10;

// What one game's reading of a save state found; counts of distinct chunks
// and blocks (each read once, however often it is named).
struct GameReading {
    int cellsNamingChunks = 0;       // layout cells (both planes) naming a chunk other than 0
    int cellsNamingImpossible = 0;   // of those, cells naming a chunk the game cannot store
    bool foregroundHasData = false;  // a foreground cell names a storable chunk holding a non-zero byte
    int entries = 0;                 // non-zero entries of the chunks named
    int entriesMisfit = 0;           // of those, naming block 768 or above or setting an unused bit
    int patternWords = 0;            // non-zero pattern words of the blocks those entries name (not block 0)
    int patternWordsMisfit = 0;      // of those, naming a pattern past the level's art
    double evidence = 0;             // of the level (natural logarithm of the likelihood ratio)

    // A level to carry, read more likely as one than as random bytes, with
    // the palette's evidence (GameVerdict) added.
    bool holdsLevel(double paletteEvidence) const;
};

// What a file looks like, strongest reading first.
struct GameVerdict {
    FileLooks looks = FileLooks::Noise;
    GameReading first, second;
    int paletteWords = 0;          // of 64
    int paletteWordsMisfit = 0;    // with a bit set that no colour sets
    double paletteEvidence = 0;    // added to both readings' strength
    // How much more strongly the game chosen reads than the other (0 when
    // neither holds a level).
    double margin = 0;

    bool isFirstGame() const { return looks == FileLooks::FirstGameState; }
    bool isSecondGame() const { return looks == FileLooks::SecondGameState; }
};

// Whether `bytes` begin as every PNG file does (a picture, not a save state).
bool isPng(std::span<const std::uint8_t> bytes);

// A save state of `size` bytes too short to hold a level (below
// kMinSaveStateSize): `where` (the operation, file, step and path) with
// Cause::TooShort and ByteCounts{size, kMinSaveStateSize}. nullopt when it is
// long enough.
std::optional<EngineError> tooShort(std::uintmax_t size, EngineError where = {});

// The likelihood a level gives an item that does not fit (a stray), and the
// most items of one kind that a reading weighs.
inline constexpr double kStray = 1.0 / 64;
inline constexpr int kItemsWeighed = 256;

// Reads `state` (a save state's bytes; missing bytes read as 0) as `game`.
GameReading readAsGame(std::span<const std::uint8_t> state, const format::GameFormat& game);

// Reads `state` as both games and says what it looks like.
GameVerdict judgeGame(std::span<const std::uint8_t> state);

// Why a pair of files does not fit the roles (Step::Check): the source
// (FileRole::Source) unless it reads as a first-game state; then the target
// (FileRole::Target, when there is one: nullopt when it does not exist yet)
// unless it reads as a second-game state. Causes: LooksSwapped when the
// source is not a first-game state and the target is one; else
// NotFirstGameLevel or NotSecondGameState. Facts: CellCounts of the file
// refused's first-game reading and what it looks like. nullopt when both fit.
// With `sourceTaken` the source is taken as it is (the user said so) and only
// the target is judged. The caller adds the operation and the paths
// (LooksSwapped: CellCounts::target).
std::optional<EngineError> wrongGame(std::span<const std::uint8_t> source,
                                     std::optional<std::span<const std::uint8_t>> target, bool sourceTaken = false);

}  // namespace tavro::core
