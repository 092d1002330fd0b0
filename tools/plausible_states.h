// Plausible save states of either game, from the format alone
// (save_state_format.h): the level is well formed, everything else is noise.
//
// A level: palette words that are colours; blocks of four pattern words
// naming patterns 1 to 1023 of any palette line, some flipped, a few with
// priority; chunks whose entries (two in five empty) name those blocks, with
// the collision and flip bits of the game and the first game's unused bits
// clear; a layout whose cells (a third empty) name the chunks that hold data,
// in a stretch of columns of both planes (first-game cells with their bit 7
// flag now and then). Everything else, pattern art included, is random bytes.
//
// `hard` fills each game's tables with ordinary data where they overlap the
// other game's: all 768 blocks hold art in palette lines 0 and 1 with little
// priority (the second game's block table lies over the first game's layout),
// every chunk the game can store holds entries (the first game's chunks 65 to
// 82 lie over the second game's layout and block table), and the layout
// spans every column. The same seed gives the same bytes. Used by the tests
// and by tools/game_check_table.cpp.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <tavro/core/conversion.h>
#include <tavro/core/level_check.h>
#include <tavro/pictures/png_image.h>
#include <tavro/core/save_state_format.h>

namespace tavro::plausible {

using Bytes = std::vector<std::uint8_t>;

class StateWriter {
public:
    StateWriter(unsigned seed) : random_(seed), bytes_(core::format::kRecordedStateBytes) {
        for (auto& byte : bytes_) byte = static_cast<std::uint8_t>(random_());
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(random_() % n); }
    bool chance(unsigned inN) { return below(inN) == 0; }
    std::uint8_t& ram(std::size_t address) { return bytes_.at(core::format::kMainRamOffset + address); }
    void word(std::size_t address, unsigned value) {
        ram(address) = static_cast<std::uint8_t>(value >> 8);
        ram(address + 1) = static_cast<std::uint8_t>(value);
    }
    Bytes take() { return std::move(bytes_); }

private:
    std::mt19937 random_;
    Bytes bytes_;
};

inline unsigned colourWord(StateWriter& w) { return w.below(8) << 9 | w.below(8) << 5 | w.below(8) << 1; }

inline unsigned patternWord(StateWriter& w, bool ordinary) {
    const unsigned line = ordinary ? w.below(2) : w.below(4);
    const bool priority = w.chance(ordinary ? 32 : 6);
    return (priority ? 1u << 15 : 0u) | line << core::format::kPatternLineShift |
           w.below(4) << core::format::kPatternHFlipBit |
           (1 + w.below(core::format::kLevelPatternBytes / core::format::kPatternBytes - 1));
}

// A chunk entry of `game` naming one of blocks 1 to `blocks` - 1.
inline unsigned chunkEntry(StateWriter& w, const core::format::GameFormat& game, unsigned blocks) {
    const unsigned block = 1 + w.below(blocks - 1);
    const unsigned flips = w.below(2) << game.entryHFlipBit | w.below(2) << game.entryVFlipBit;
    const bool first = game.firstStoredChunk == core::format::kFirstGame.firstStoredChunk;
    const unsigned collision = first ? w.below(4) << 13 : w.below(4) << 14 | w.below(4) << 12;
    return block | flips | collision;
}

inline Bytes plausibleState(const core::format::GameFormat& game, unsigned seed, bool hard = false) {
    StateWriter w(seed * 2 + (hard ? 1 : 0));
    for (int i = 0; i < core::format::kPaletteEntries; ++i)
        w.word(core::format::kPaletteAddress + 2 * static_cast<std::size_t>(i),
               i % core::format::kLineColours ? colourWord(w) : 0);

    const unsigned blocks =
        hard ? core::format::kBlockCount : 32 + w.below(core::format::kBlockCount - 31);  // blocks 1 to blocks - 1
    for (std::size_t i = 0; i < core::format::kBlockBytes; i += 2) w.word(game.blockTable + i, 0);
    for (unsigned block = 1; block < blocks; ++block)
        for (std::size_t i = 0; i < core::format::kBlockBytes; i += 2)
            w.word(game.blockTable + block * core::format::kBlockBytes + i, w.chance(8) ? 0 : patternWord(w, hard));

    const bool first = game.firstStoredChunk == core::format::kFirstGame.firstStoredChunk;
    const auto storable = [first](unsigned c) { return first ? core::chunkCanBeStored(c) : c >= 1; };
    std::vector<unsigned> chunks;
    for (unsigned c = 1; c < game.chunkNumbers(); ++c)
        if (storable(c) && (hard || w.chance(3))) chunks.push_back(c);
    if (chunks.empty()) chunks.push_back(1);
    if (!first)
        for (std::size_t i = 0; i < game.chunkBytes(); ++i) w.ram(game.chunkAddress(0) + i) = 0;  // the empty chunk
    for (const unsigned c : chunks)
        for (std::size_t i = 0; i < game.chunkBytes(); i += 2)
            w.word(game.chunkAddress(c) + i, w.below(5) < 2 ? 0 : chunkEntry(w, game, blocks));

    const unsigned columns = static_cast<unsigned>(game.planeColumns);
    const unsigned width = hard ? columns : columns / 8 + w.below(columns - columns / 8 + 1);
    for (int row = 0; row < game.layoutRows; ++row) {
        for (unsigned column = 0; column < 2 * columns; ++column) {
            const std::size_t cell = game.layout + static_cast<std::size_t>(row) * game.layoutRowBytes() + column;
            unsigned value = column % columns < width && !w.chance(3) ? chunks[w.below(unsigned(chunks.size()))] : 0;
            if (first && w.chance(4)) value |= 0x80;  // the flag a conversion drops
            w.ram(cell) = static_cast<std::uint8_t>(value);
        }
    }
    return w.take();
}

// The hardest second-game state to tell: its tables over the first game's
// (`hard`), entries that set neither bit the first game leaves unused (so
// they fit both games), and zeros where the first game keeps its block table.
// Only the layout cells its block table gives the first game's reading, and
// the evidence of each reading against the other, tell it.
inline Bytes fittingBothGames(unsigned seed) {
    Bytes state = plausibleState(core::format::kSecondGame, seed, true);
    const auto& g = core::format::kSecondGame;
    for (std::size_t i = 0; i < g.chunkNumbers() * g.chunkBytes(); i += 2)
        state[core::format::kMainRamOffset + g.chunkTable + i] &= 0x7B;
    std::fill_n(state.begin() + std::ptrdiff_t(core::format::kMainRamOffset + core::format::kFirstGame.blockTable),
                core::format::kBlockTableBytes, 0);
    return state;
}

// Lines of words and punctuation, as a diary or a log file has them: words
// from a vocabulary of 2 to 49 words (a few words repeated, or many).
inline Bytes plausibleText(unsigned seed, std::size_t size = 200000) {
    std::mt19937 random(seed);
    std::vector<std::string> words(2 + seed % 48);
    for (auto& word : words)
        for (auto letters = 1 + random() % 9; letters > 0; --letters)
            word.push_back(static_cast<char>('a' + random() % 26));
    Bytes text;
    while (text.size() < size) {
        const std::string& word = words[random() % words.size()];
        text.insert(text.end(), word.begin(), word.end());
        const auto after = static_cast<unsigned>(random() % 16);
        text.push_back(after == 0 ? '\n' : after == 1 ? ',' : after == 2 ? '.' : ' ');
    }
    text.resize(size);
    return text;
}

inline Bytes noise(unsigned seed, std::size_t size = core::format::kRecordedStateBytes) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// One row of the identification table: how many of `tried` files (or pairs)
// the game check judged as it should.
struct IdentificationRow {
    std::string what;
    int tried = 0;
    int right = 0;
    double leastMargin = 0;  // of the readings judged right, where the game was told (nats)
};

namespace detail {
inline bool refusedAs(const std::optional<core::EngineError>& error, core::FileRole file, core::Cause cause,
                      core::FileLooks looks) {
    return error && error->file == file && error->cause == cause && factsAs<core::CellCounts>(*error).looks == looks;
}
}  // namespace detail

// The game check on `seeds` of each kind of file, and on the samples
// (`samples`: name, bytes and whether it is a first-game state, empty when
// the samples are not at hand).
inline std::vector<IdentificationRow>
identificationTable(unsigned seeds, const std::vector<std::pair<std::string, Bytes>>& samples = {},
                    const std::vector<bool>& sampleIsFirst = {}) {
    using detail::refusedAs;
    std::vector<IdentificationRow> rows;
    const auto row = [&rows](const std::string& what) -> IdentificationRow& {
        for (auto& r : rows)
            if (r.what == what) return r;
        return rows.emplace_back(IdentificationRow{what});
    };
    const auto count = [&](const std::string& what, bool right, double margin = 0) {
        IdentificationRow& r = row(what);
        const bool firstRight = r.right == 0;
        ++r.tried;
        if (!right) return;
        ++r.right;
        r.leastMargin = firstRight ? margin : std::min(r.leastMargin, margin);
    };
    const std::optional<std::span<const std::uint8_t>> none;
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        for (const bool hard : {false, true}) {
            const std::string kind = hard ? " (tables over the other game's)" : "";
            const Bytes one = plausibleState(core::format::kFirstGame, seed, hard);
            const Bytes two = plausibleState(core::format::kSecondGame, seed + 100000, hard);
            const Bytes otherOne = plausibleState(core::format::kFirstGame, seed + 200000, !hard);
            const core::GameVerdict readOne = core::judgeGame(one), readTwo = core::judgeGame(two);
            count("Tavro 1 states accepted as source" + kind, !core::wrongGame(one, none), readOne.margin);
            count("Tavro 2 states accepted as target" + kind, !core::wrongGame(otherOne, std::span(two)),
                  readTwo.margin);
            for (const auto numbering : {core::ChunkNumbering::Fixed, core::ChunkNumbering::Packed}) {
                const Bytes converted =
                    core::patchTarget(two, core::convertRegions(core::readSourceRegions(one), numbering));
                count(std::string("Converted targets accepted again (") +
                          (numbering == core::ChunkNumbering::Packed ? "packed" : "fixed") + ")" + kind,
                      !core::wrongGame(otherOne, std::span(converted)), core::judgeGame(converted).margin);
            }
            count("Swapped pairs refused as swapped" + kind,
                  refusedAs(core::wrongGame(two, std::span(one)), core::FileRole::Source, core::Cause::LooksSwapped,
                            core::FileLooks::SecondGameState));
            count("Tavro 2 states refused as source" + kind,
                  refusedAs(core::wrongGame(two, none), core::FileRole::Source, core::Cause::NotFirstGameLevel,
                            core::FileLooks::SecondGameState));
            count("Tavro 1 states refused as target" + kind,
                  refusedAs(core::wrongGame(otherOne, std::span(one)), core::FileRole::Target,
                            core::Cause::NotSecondGameState, core::FileLooks::FirstGameState));
        }
        const Bytes fitting = fittingBothGames(seed + 300000), first = plausibleState(core::format::kFirstGame, seed);
        count("Tavro 2 states whose entries fit Tavro 1's too accepted as target",
              !core::wrongGame(first, std::span(fitting)), core::judgeGame(fitting).margin);
        count("Swapped pairs refused as swapped (Tavro 2 entries fitting Tavro 1's too)",
              refusedAs(core::wrongGame(fitting, std::span(first)), core::FileRole::Source, core::Cause::LooksSwapped,
                        core::FileLooks::SecondGameState));

        const Bytes source = plausibleState(core::format::kFirstGame, seed);
        const auto other = [&](const std::string& what, const Bytes& bytes, core::FileLooks looks) {
            count(what + " refused as source", refusedAs(core::wrongGame(bytes, none), core::FileRole::Source,
                                                         core::Cause::NotFirstGameLevel, looks));
            count(what + " refused as target",
                  refusedAs(core::wrongGame(source, std::span(bytes)), core::FileRole::Target,
                            core::Cause::NotSecondGameState, looks));
        };
        other("Text", plausibleText(seed), core::FileLooks::Text);
        other("Random bytes", noise(seed), core::FileLooks::Noise);
        const auto picture = pictures::encodePng(drawing::RgbaImage{256, 256, noise(seed, 256 * 256 * 4)});
        if (picture) other("PNG pictures", *picture, core::FileLooks::Picture);
        if (seed == 1) other("Zero-filled", Bytes(core::format::kRecordedStateBytes, 0), core::FileLooks::Zeros);
        Bytes blank = source;  // a layout naming chunks that hold nothing
        const auto& g = core::format::kFirstGame;
        std::fill_n(blank.begin() + core::format::kMainRamOffset, g.layout, 0);
        std::fill(blank.begin() + std::ptrdiff_t(core::format::kMainRamOffset + g.layout + g.layoutBytes()),
                  blank.begin() + std::ptrdiff_t(core::format::kMainRamOffset + g.blockTable), 0);
        count("Tavro 1 layouts naming empty chunks refused as source",
              refusedAs(core::wrongGame(blank, none), core::FileRole::Source, core::Cause::NotFirstGameLevel,
                        core::FileLooks::Noise));
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto& [name, bytes] = samples[i];
        const core::GameVerdict read = core::judgeGame(bytes);
        if (sampleIsFirst.at(i)) {
            count("Sample " + name + " accepted as source", !core::wrongGame(bytes, none), read.margin);
        } else {
            const Bytes one = plausibleState(core::format::kFirstGame, 1);
            count("Sample " + name + " accepted as target", !core::wrongGame(one, std::span(bytes)), read.margin);
        }
    }
    return rows;
}

}  // namespace tavro::plausible
