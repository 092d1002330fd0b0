#include <tavro/core/conversion.h>

#include <algorithm>
#include <array>
#include <utility>

#include <tavro/core/chunk_conversion.h>
#include <tavro/core/region_map.h>

namespace tavro::core {
namespace {

// The region's bytes of `state`, zero where the state is too short.
Bytes readRegion(std::span<const std::uint8_t> state, const SaveStateRegion& region) {
    Bytes buffer(region.length, 0);
    if (region.offset() < state.size()) {
        const auto available = std::min(region.length, state.size() - region.offset());
        std::copy_n(state.begin() + static_cast<std::ptrdiff_t>(region.offset()), available, buffer.begin());
    }
    return buffer;
}

void writeRegion(Bytes& state, const SaveStateRegion& region, const Bytes& buffer) {
    std::copy_n(buffer.begin(), region.length, state.begin() + static_cast<std::ptrdiff_t>(region.offset()));
}

// The target regions, and which source chunks arrive whole.
struct Conversion {
    ChunkNumbering numbering;
    TargetRegions regions;
    std::array<bool, kChunkNumbers> carried{};  // by chunk number: whether cells naming it arrive whole
    int packedChunksUsed = 0;
};

Conversion convert(const SourceRegions& source, ChunkNumbering numbering) {
    // The converted regions first, the copies after: the scratch images the
    // conversion frees then sit below the copies in the heap, instead of on
    // top of it, where freeing them would hand pages back on every run.
    Conversion conversion{.numbering = numbering, .regions = {}};
    TargetRegions& target = conversion.regions;
    if (numbering == ChunkNumbering::Packed) {
        PackedLevel packed = packLevel(source.chunkArea, source.layoutArea);
        target.chunkArea = std::move(packed.chunkArea);
        target.layoutArea = std::move(packed.layoutArea);
        conversion.carried = packed.carried;
        conversion.packedChunksUsed = packed.chunksUsed;
    } else {
        target.chunkArea = convertChunks(source.chunkArea);
        target.layoutArea = expandLayout(source.layoutArea);
        for (unsigned chunk = 0; chunk <= kLastConvertedChunk; ++chunk) conversion.carried[chunk] = true;
    }
    target.blockTable = source.blockTable;
    target.paletteArea = source.paletteArea;
    target.patternArea = source.patternArea;
    return conversion;
}

LevelSummary summarize(const SourceRegions& source, const Conversion& conversion) {
    const auto& carried = conversion.carried;
    LevelSummary summary;
    summary.numbering = conversion.numbering;
    summary.chunksWithData = countChunksWithData(source.chunkArea);
    summary.chunksUsed = conversion.packedChunksUsed;
    std::array<bool, kChunkNumbers> named{};
    for (std::size_t index = 0; index < source.layoutArea.size(); ++index) {
        const unsigned chunk = cellChunk(source.layoutArea[index]);
        if (chunk == 0) continue;
        named[chunk] = true;
        if (carried[chunk]) {
            ++summary.cellsExpanded;
        } else {
            ++summary.cellsLost;
            summary.emptiedCells.push_back(firstGameLayoutCell(index));
        }
    }
    for (unsigned chunk = 1; chunk < kChunkNumbers; ++chunk) {
        if (!named[chunk]) continue;
        ++summary.chunksNamed;
        if (!carried[chunk]) summary.lostChunks.push_back(static_cast<int>(chunk));
        if (conversion.numbering == ChunkNumbering::Fixed && carried[chunk]) summary.chunksUsed += 4;
    }
    return summary;
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
    return convert(source, numbering).regions;
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
    return summarize(source, convert(source, numbering));
}

ConvertedLevel convertLevel(const SourceRegions& source, ChunkNumbering numbering) {
    Conversion conversion = convert(source, numbering);
    LevelSummary summary = summarize(source, conversion);
    return {std::move(conversion.regions), std::move(summary)};
}

}  // namespace tavro::core
