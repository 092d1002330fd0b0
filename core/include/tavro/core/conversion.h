// One conversion in memory: first-game save-state bytes in, the five target
// regions out, and those regions patched into a copy of a second-game state.
//
// No file access here; see conversion_run.h for the run on files.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <tavro/core/layout_expansion.h>
#include <tavro/core/packed_conversion.h>

namespace tavro::core {

using Bytes = std::vector<std::uint8_t>;

// The five regions read from a source state, each in a buffer of its own.
struct SourceRegions {
    Bytes patternArea;  // 32,768
    Bytes paletteArea;  // 225
    Bytes blockTable;   // 6,144
    Bytes chunkArea;    // 65,536: the whole main-RAM image
    Bytes layoutArea;   // 1,024
};

// The five regions written into a target state.
struct TargetRegions {
    Bytes chunkArea;    // 32,768
    Bytes layoutArea;   // 4,096
    Bytes blockTable;   // 6,144
    Bytes paletteArea;  // 225
    Bytes patternArea;  // 32,768
};

// Copies the source regions out of a save state's bytes. Bytes the file does
// not have read as zero.
SourceRegions readSourceRegions(std::span<const std::uint8_t> sourceState);

// How first-game chunks get their second-game numbers.
enum class ChunkNumbering {
    Fixed,   // chunk k becomes chunks 4k to 4k + 3; chunks 64 and above cannot come
    Packed,  // the quarters the layout uses, numbered afresh (packed_conversion.h)
};

// The chunk table and the layout follow `numbering`; the other three regions
// are copied unchanged in both.
TargetRegions convertRegions(const SourceRegions& source, ChunkNumbering numbering = ChunkNumbering::Fixed);

// Writes the five regions into `target`, growing it with zeros to at least
// kMinSaveStateSize; every other byte is kept.
Bytes patchTarget(Bytes target, const TargetRegions& regions);

// What a user should know about the level being carried over.
struct LevelSummary {
    ChunkNumbering numbering = ChunkNumbering::Fixed;
    int chunksWithData = 0;  // source chunks 1 to 63 holding any non-zero byte
    int chunksNamed = 0;     // distinct chunks 1 to 127 that layout cells name
    int chunksUsed = 0;      // distinct target chunks 1 to 255 the target layout names
    int cellsExpanded = 0;   // layout cells naming a chunk that arrives whole
    int cellsLost = 0;       // layout cells naming a chunk that cannot come: four empty cells each
    std::vector<int> lostChunks;    // the distinct chunk numbers the lost cells name, increasing
    std::vector<LayoutCell> emptiedCells;  // the lost cells, in the layout's order (row by row)
};

LevelSummary summarizeLevel(const SourceRegions& source, ChunkNumbering numbering = ChunkNumbering::Fixed);

// Both at once: the target regions and what the user should know of them,
// packing (the costly part of a packed conversion) only once.
struct ConvertedLevel {
    TargetRegions regions;
    LevelSummary summary;
};
ConvertedLevel convertLevel(const SourceRegions& source, ChunkNumbering numbering = ChunkNumbering::Fixed);

}  // namespace tavro::core
