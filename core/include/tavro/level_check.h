// Whether a save state holds a first-game level, judged only by what the
// format (save_state_format.h) allows, so that a second-game state, a picture
// or noise given as the source is recognised before anything is written.
//
// Two facts of the first game's RAM:
// - a chunk is stored at (c - 1) * 512, below the block table and apart from
//   the layout: a chunk whose bytes would lie over the layout, or at or past
//   the block table, cannot be a level's (chunks 83, 84 and 89 and above);
// - a level whose foreground names no chunk holding a non-zero byte has
//   nothing to carry.
// Second-game states read as first-game ones name such chunks in about a
// third of their cells (their block table lies where the first game keeps its
// layout) or name nothing; a real level names none. The check allows a few
// (fewer than a quarter of the cells that name a chunk), so that it never
// refuses a level for a stray cell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include <tavro/engine_error.h>
#include <tavro/save_state_format.h>

namespace tavro {

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

struct LevelEvidence {
    int cellsNamingChunks = 0;      // layout cells (both planes) naming a chunk other than 0
    int cellsNamingImpossible = 0;  // of those, cells naming a chunk that cannot be stored
    bool foregroundHasData = false; // a foreground cell names a storable chunk holding a non-zero byte

    // A level to carry, naming chunks that cannot be stored in fewer than a
    // quarter of its cells.
    bool holdsLevel() const { return foregroundHasData && cellsNamingImpossible * 4 < cellsNamingChunks; }
};

// Whether `bytes` begin as every PNG file does (a picture, not a save state).
bool isPng(std::span<const std::uint8_t> bytes);

// Reads the layout and chunks of `state` (a save state's bytes; missing bytes read as 0).
LevelEvidence firstGameEvidence(std::span<const std::uint8_t> state);

// Why a source that holds no first-game level is refused (Step::Check, of
// FileRole::Source): Cause::LooksSwapped when `target` (empty: there is none)
// holds one, else Cause::NotFirstGameLevel; count is the cells naming chunks
// that cannot be stored (0 when the foreground has no data to carry), limit
// the cells naming any. nullopt when the source holds a level. The caller
// adds the operation and the paths.
std::optional<EngineError> notFirstGameLevel(std::span<const std::uint8_t> source,
                                             std::span<const std::uint8_t> target);

}  // namespace tavro
