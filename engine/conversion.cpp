#include "conversion.h"

#include <algorithm>

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

TargetRegions convertRegions(const SourceRegions& source) {
    return TargetRegions{
        .chunkArea = convertChunks(source.chunkArea),
        .layoutArea = expandLayout(source.layoutArea),
        .blockTable = source.blockTable,
        .paletteArea = source.paletteArea,
        .patternArea = source.patternArea,
    };
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

LevelSummary summarizeLevel(const SourceRegions& source) {
    const LayoutCensus census = takeLayoutCensus(source.layoutArea);
    return LevelSummary{
        .chunksWithData = countChunksWithData(source.chunkArea),
        .cellsExpanded = census.cellsExpanded,
        .cellsLost = census.cellsLost,
    };
}

}  // namespace tavro
