// The stretches of a save-state file that a conversion reads and writes.
//
// Where the regions lie in RAM comes from save_state_format.h. A region is a
// file offset and a length; position() is the same place counted from 1, the
// way the regions' positions are written down (position = file offset + 1).
// The source table lists the regions in the order a run reads them from a
// first-game state, the target table in the order it writes them into a
// second-game state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include <tavro/core/save_state_format.h>

namespace tavro::core {

enum class RegionName { PatternArea, PaletteArea, BlockTable, ChunkArea, LayoutArea };

struct SaveStateRegion {
    RegionName name;
    std::size_t fileOffset;
    std::size_t length;

    constexpr std::size_t offset() const { return fileOffset; }
    constexpr std::size_t end() const { return fileOffset + length; }
    constexpr std::int32_t position() const { return static_cast<std::int32_t>(fileOffset + 1); }
};

// Regions by RAM address.
constexpr SaveStateRegion mainRamRegion(RegionName name, std::size_t address, std::size_t length) {
    return {name, format::kMainRamOffset + address, length};
}
constexpr SaveStateRegion videoRamRegion(RegionName name, std::size_t address, std::size_t length) {
    return {name, format::kVideoRamOffset + address, length};
}

struct RegionMap {
    std::array<SaveStateRegion, 5> regions;

    constexpr const SaveStateRegion& operator[](RegionName name) const {
        for (const auto& region : regions) {
            if (region.name == name) return region;
        }
        return regions[0];  // unreachable: every name is in both tables
    }
    constexpr auto begin() const { return regions.begin(); }
    constexpr auto end() const { return regions.end(); }
};

// The first game's chunk area is all of main RAM: a cell may name chunks
// stored over the layout and the block table too.
inline constexpr RegionMap kSourceRegions{{{
    videoRamRegion(RegionName::PatternArea, 0, format::kLevelPatternBytes),
    mainRamRegion(RegionName::PaletteArea, format::kLevelPaletteAddress, format::kLevelPaletteBytes),
    mainRamRegion(RegionName::BlockTable, format::kFirstGame.blockTable, format::kBlockTableBytes),
    mainRamRegion(RegionName::ChunkArea, format::kFirstGame.chunkTable, format::kMainRamBytes),
    mainRamRegion(RegionName::LayoutArea, format::kFirstGame.layout, format::kFirstGame.layoutBytes()),
}}};

inline constexpr RegionMap kTargetRegions{{{
    mainRamRegion(RegionName::ChunkArea, format::kSecondGame.chunkTable,
                  format::kSecondGame.chunkNumbers() * format::kSecondGame.chunkBytes()),
    mainRamRegion(RegionName::LayoutArea, format::kSecondGame.layout, format::kSecondGame.layoutBytes()),
    mainRamRegion(RegionName::BlockTable, format::kSecondGame.blockTable, format::kBlockTableBytes),
    mainRamRegion(RegionName::PaletteArea, format::kLevelPaletteAddress, format::kLevelPaletteBytes),
    videoRamRegion(RegionName::PatternArea, 0, format::kLevelPatternBytes),
}}};

// The 1-based positions and the lengths that callers and stored files rely on.
constexpr bool regionsAre(const RegionMap& map, const std::array<std::pair<std::int32_t, std::size_t>, 5>& expected) {
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (map.regions[i].position() != expected[i].first || map.regions[i].length != expected[i].second) return false;
    return true;
}
static_assert(regionsAre(kSourceRegions,
                         {{{74873, 32768}, {73625, 225}, {54393, 6144}, {9337, 65536}, {51321, 1024}}}));
static_assert(regionsAre(kTargetRegions,
                         {{{9337, 32768}, {42105, 4096}, {46201, 6144}, {73625, 225}, {74873, 32768}}}));

// No save state is shorter than the end of PatternArea.
static_assert(kMinSaveStateSize == kSourceRegions[RegionName::PatternArea].end());

}  // namespace tavro::core
