#include <tavro/core/level_check.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <vector>

namespace tavro::core {
namespace {

// A save state's bytes by RAM address; bytes past the file's end read as 0.
class Ram {
public:
    explicit Ram(std::span<const std::uint8_t> state) : state_(state) {}
    std::uint8_t byte(std::size_t address) const {
        const std::size_t offset = format::kMainRamOffset + address;
        return offset < state_.size() ? state_[offset] : 0;
    }
    unsigned word(std::size_t address) const { return unsigned(byte(address)) << 8 | byte(address + 1); }

private:
    std::span<const std::uint8_t> state_;
};

// The evidence of `fit` items fitting and `misfit` not, where random bytes
// fit with likelihood `random` and a level's fit but for strays: what each
// item gives on average, counted for at most kItemsWeighed items, so that no
// one feature outweighs the others by its numbers alone (a second-game state
// has thousands of entries that fit the first game too, and a first-game
// block table of noise).
double evidence(int fit, int misfit, double random) {
    const int items = fit + misfit;
    if (items == 0) return 0;
    const double each = (fit * std::log((1 - kStray) / random) + misfit * std::log(kStray / (1 - random))) / items;
    return each * std::min(items, kItemsWeighed);
}

// How likely random bytes are to fit: a storable first-game cell (86 of the
// 127 chunk numbers), a block number below 768, unused bits clear, a pattern
// below 1024, a colour word.
constexpr double kRandomStorableCell = 86.0 / 127;
constexpr double kRandomBlockNumber = 3.0 / 4;
constexpr double kRandomLevelArt = 1.0 / 2;
constexpr double kRandomColour = 1.0 / 128;

// The least evidence of a level: well above what a few stray items give.
constexpr double kLevelEvidence = 24;

// The share of a file's first bytes that must be printable for it to be text,
// and zero for it to be zeros.
constexpr double kTextShare = 0.95;
constexpr double kZeroShare = 0.99;

bool printable(std::uint8_t byte) { return byte == '\t' || byte == '\n' || byte == '\r' || byte >= 0x20; }

FileLooks otherLooks(std::span<const std::uint8_t> state) {
    const std::span<const std::uint8_t> head = state.first(std::min(state.size(), kMinSaveStateSize));
    if (head.empty()) return FileLooks::Zeros;
    const auto share = [&head](auto predicate) {
        return double(std::count_if(head.begin(), head.end(), predicate)) / double(head.size());
    };
    if (share([](std::uint8_t b) { return b == 0; }) >= kZeroShare) return FileLooks::Zeros;
    // Text: printable characters, and (as UTF-8 has it) no byte 0x7F or control bytes.
    if (share([](std::uint8_t b) { return printable(b) && b != 0x7F; }) >= kTextShare) return FileLooks::Text;
    return FileLooks::Noise;
}

}  // namespace

// A palette that does not fit takes nothing away: the level's own evidence
// already tells noise, and a real level is not refused for its palette.
bool GameReading::holdsLevel(double paletteEvidence) const {
    return foregroundHasData && evidence > 0 && evidence + std::max(paletteEvidence, 0.0) >= kLevelEvidence;
}

std::optional<EngineError> tooShort(std::uintmax_t size, EngineError where) {
    if (size >= kMinSaveStateSize) return std::nullopt;
    where.cause = Cause::TooShort;
    where.facts = ByteCounts{size, kMinSaveStateSize};
    return where;
}

bool isPng(std::span<const std::uint8_t> bytes) {
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() >= std::size(kSignature) &&
           std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
}

GameReading readAsGame(std::span<const std::uint8_t> state, const format::GameFormat& g) {
    const Ram ram(state);
    const bool firstGame = g.firstStoredChunk == format::kFirstGame.firstStoredChunk;
    const auto storable = [&](unsigned chunk) { return !firstGame || chunkCanBeStored(chunk); };

    std::vector<bool> chunkNamed(g.chunkNumbers(), false);
    std::vector<int> chunkHasData(g.chunkNumbers(), 0);  // 0 unknown, 1 yes, 2 no
    const auto withData = [&](unsigned chunk) {
        if (chunkHasData[chunk] == 0) {
            bool any = false;
            for (std::size_t i = 0; i < g.chunkBytes() && !any; ++i) any = ram.byte(g.chunkAddress(chunk) + i) != 0;
            chunkHasData[chunk] = any ? 1 : 2;
        }
        return chunkHasData[chunk] == 1;
    };
    GameReading reading;
    for (int row = 0; row < g.layoutRows; ++row) {
        for (int column = 0; column < 2 * g.planeColumns; ++column) {
            const auto index = static_cast<std::size_t>(row) * g.layoutRowBytes() + static_cast<std::size_t>(column);
            const unsigned chunk = ram.byte(g.layout + index) & g.cellChunkMask;
            if (chunk == 0) continue;
            ++reading.cellsNamingChunks;
            if (!storable(chunk)) {
                ++reading.cellsNamingImpossible;
                continue;
            }
            chunkNamed[chunk] = true;
            if (column < g.planeColumns && !reading.foregroundHasData) reading.foregroundHasData = withData(chunk);
        }
    }

    const unsigned unused = unusedEntryBits(g);
    std::array<bool, format::kBlockCount> blockNamed{};
    for (unsigned chunk = 1; chunk < g.chunkNumbers(); ++chunk) {
        if (!chunkNamed[chunk]) continue;
        for (std::size_t i = 0; i < g.chunkBytes(); i += 2) {
            const unsigned entry = ram.word(g.chunkAddress(chunk) + i);
            if (entry == 0) continue;
            ++reading.entries;
            const unsigned block = entry & format::kEntryBlockMask;
            if (block >= format::kBlockCount || (entry & unused) != 0) {
                ++reading.entriesMisfit;
                continue;
            }
            blockNamed[block] = true;
        }
    }
    for (unsigned block = 1; block < format::kBlockCount; ++block) {
        if (!blockNamed[block]) continue;
        for (std::size_t i = 0; i < format::kBlockBytes; i += 2) {
            const unsigned word = ram.word(g.blockTable + block * format::kBlockBytes + i);
            if (word == 0) continue;
            ++reading.patternWords;
            reading.patternWordsMisfit += (word & kPastLevelArtBit) != 0;
        }
    }

    const int cellsFit = reading.cellsNamingChunks - reading.cellsNamingImpossible;
    const double randomEntry = kRandomBlockNumber * (unused == 0 ? 1.0 : 1.0 / 4);  // two bits clear: a quarter
    reading.evidence =
        (firstGame ? evidence(cellsFit, reading.cellsNamingImpossible, kRandomStorableCell) : 0.0) +
        evidence(reading.entries - reading.entriesMisfit, reading.entriesMisfit, randomEntry) +
        evidence(reading.patternWords - reading.patternWordsMisfit, reading.patternWordsMisfit, kRandomLevelArt);
    return reading;
}

GameVerdict judgeGame(std::span<const std::uint8_t> state) {
    GameVerdict verdict;
    if (isPng(state)) {
        verdict.looks = FileLooks::Picture;
        return verdict;
    }
    // Text is told first: a few letters repeated can pass for chunk entries,
    // while a save state holding a level is never almost all printable.
    if (otherLooks(state) == FileLooks::Text) {
        verdict.looks = FileLooks::Text;
        return verdict;
    }
    verdict.first = readAsGame(state, format::kFirstGame);
    verdict.second = readAsGame(state, format::kSecondGame);
    const Ram ram(state);
    for (int i = 0; i < format::kPaletteEntries; ++i) {
        const unsigned word = ram.word(format::kPaletteAddress + 2 * static_cast<std::size_t>(i));
        if (word == 0) continue;
        ++verdict.paletteWords;
        verdict.paletteWordsMisfit += (word & kNotColourBits) != 0;
    }
    verdict.paletteEvidence =
        evidence(verdict.paletteWords - verdict.paletteWordsMisfit, verdict.paletteWordsMisfit, kRandomColour);

    const bool first = verdict.first.holdsLevel(verdict.paletteEvidence),
               second = verdict.second.holdsLevel(verdict.paletteEvidence);
    if (first && (!second || verdict.first.evidence >= verdict.second.evidence)) {
        verdict.looks = FileLooks::FirstGameState;
        verdict.margin = verdict.first.evidence - (second ? verdict.second.evidence : 0.0);
    } else if (second) {
        verdict.looks = FileLooks::SecondGameState;
        verdict.margin = verdict.second.evidence - (first ? verdict.first.evidence : 0.0);
    } else {
        verdict.looks = otherLooks(state);
    }
    return verdict;
}

std::optional<EngineError> wrongGame(std::span<const std::uint8_t> source,
                                     std::optional<std::span<const std::uint8_t>> target, bool sourceTaken) {
    const auto refusal = [](FileRole role, Cause cause, const GameVerdict& verdict) {
        const GameReading& first = verdict.first;
        return EngineError{.file = role,
                           .step = Step::Check,
                           .cause = cause,
                           .facts = CellCounts{.impossible = static_cast<std::uintmax_t>(
                                                   first.foregroundHasData ? first.cellsNamingImpossible : 0),
                                               .naming = static_cast<std::uintmax_t>(first.cellsNamingChunks),
                                               .looks = verdict.looks}};
    };
    const GameVerdict found = target ? judgeGame(*target) : GameVerdict{};
    if (!sourceTaken) {
        const GameVerdict read = judgeGame(source);
        if (!read.isFirstGame()) {
            const bool swapped = target && found.isFirstGame();
            return refusal(FileRole::Source, swapped ? Cause::LooksSwapped : Cause::NotFirstGameLevel, read);
        }
    }
    if (target && !found.isSecondGame()) return refusal(FileRole::Target, Cause::NotSecondGameState, found);
    return std::nullopt;
}

}  // namespace tavro::core
