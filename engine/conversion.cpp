#include "conversion.h"

#include <algorithm>
#include <array>
#include <utility>

#include "chunk_conversion.h"
#include "region_map.h"

namespace tavro {
namespace {

// The region's bytes of `state`, zero where the state is too short.
Bytes readRegion(std::span<const std::uint8_t> state, const SaveStateRegion& region) {
    Bytes buffer(region.length, 0);
    if (region.offset() < state.size()) {
        const auto available = std::min(region.length, state.size() - region.offset());
        std::copy_n(state.begin() + static_cast<std::ptrdiff_t>(region.offset()), available,
                    buffer.begin());
    }
    return buffer;
}

void writeRegion(Bytes& state, const SaveStateRegion& region, const Bytes& buffer) {
    std::copy_n(buffer.begin(), region.length,
                state.begin() + static_cast<std::ptrdiff_t>(region.offset()));
}

}  // namespace

SourceRegions readSourceRegions(std::span<const std::uint8_t> sourceState) {
    const auto& map = kSourceRegions;
    SourceRegions source;
    source.patternArea = readRegion(sourceState, map[RegionName::PatternArea]);
    source.paletteArea = readRegion(sourceState, map[RegionName::PaletteArea]);
    source.blockTable = readRegion(sourceState, map[RegionName::BlockTable]);
    source.chunkArea = readRegion(sourceState, map[RegionName::ChunkArea]);
    source.layoutArea = readRegion(sourceState, map[RegionName::LayoutArea]);
    return source;
}

TargetRegions convertRegions(const SourceRegions& source, ChunkNumbering numbering) {
    // The converted regions first, the copies after: the scratch images the
    // conversion frees then sit below the copies in the heap, instead of on
    // top of it, where freeing them would hand pages back on every run.
    TargetRegions target;
    if (numbering == ChunkNumbering::Packed) {
        PackedLevel packed = packLevel(source.chunkArea, source.layoutArea);
        target.chunkArea = std::move(packed.chunkArea);
        target.layoutArea = std::move(packed.layoutArea);
    } else {
        target.chunkArea = convertChunks(source.chunkArea);
        target.layoutArea = expandLayout(source.layoutArea);
    }
    target.blockTable = source.blockTable;
    target.paletteArea = source.paletteArea;
    target.patternArea = source.patternArea;
    return target;
}

Bytes patchTarget(Bytes target, const TargetRegions& regions) {
    if (target.size() < kMinSaveStateSize) target.resize(kMinSaveStateSize, 0);
    const auto& map = kTargetRegions;
    writeRegion(target, map[RegionName::ChunkArea], regions.chunkArea);
    writeRegion(target, map[RegionName::LayoutArea], regions.layoutArea);
    writeRegion(target, map[RegionName::BlockTable], regions.blockTable);
    writeRegion(target, map[RegionName::PaletteArea], regions.paletteArea);
    writeRegion(target, map[RegionName::PatternArea], regions.patternArea);
    return target;
}

LevelSummary summarizeLevel(const SourceRegions& source, ChunkNumbering numbering) {
    LevelSummary summary;
    summary.numbering = numbering;
    summary.chunksWithData = countChunksWithData(source.chunkArea);

    std::array<bool, kChunkNumbers> carried{};
    if (numbering == ChunkNumbering::Packed) {
        const PackedLevel packed = packLevel(source.chunkArea, source.layoutArea);
        carried = packed.carried;
        summary.chunksUsed = packed.chunksUsed;
    } else {
        for (int chunk = 0; chunk <= kLastConvertedChunk; ++chunk) carried[static_cast<std::size_t>(chunk)] = true;
    }

    std::array<bool, kChunkNumbers> named{};
    for (std::size_t index = 0; index < source.layoutArea.size(); ++index) {
        const unsigned chunk = cellChunk(source.layoutArea[index]);
        if (chunk == 0) continue;
        named[chunk] = true;
        if (carried[chunk]) {
            ++summary.cellsExpanded;
        } else {
            ++summary.cellsLost;
            summary.emptiedCells.push_back(static_cast<int>(index));
        }
    }
    for (unsigned chunk = 1; chunk < kChunkNumbers; ++chunk) {
        if (!named[chunk]) continue;
        ++summary.chunksNamed;
        if (!carried[chunk]) summary.lostChunks.push_back(static_cast<int>(chunk));
        if (numbering == ChunkNumbering::Fixed && carried[chunk]) summary.chunksUsed += 4;
    }
    return summary;
}

}  // namespace tavro
