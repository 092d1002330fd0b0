// The stretches of a save-state file that a conversion reads and writes.
//
// Where the regions lie in RAM comes from save_state_format.h. A region is
// named by a 1-based file position (position = file offset + 1) and a length.
// The source table lists the regions in the order a run reads them from a
// first-game state, the target table in the order it writes them into a
// second-game state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include <tavro/save_state_format.h>

namespace tavro {

enum class RegionName { PatternArea, PaletteArea, BlockTable, ChunkArea, LayoutArea };

struct SaveStateRegion {
    RegionName name;
    std::int32_t position;  // 1-based
    std::size_t length;

    constexpr std::size_t offset() const { return static_cast<std::size_t>(position) - 1; }
    constexpr std::size_t end() const { return offset() + length; }
};

// Regions by RAM address; the 1-based position is worked out from it.
constexpr SaveStateRegion mainRamRegion(RegionName name, std::size_t address, std::size_t length) {
    return {name, static_cast<std::int32_t>(format::kMainRamOffset + address + 1), length};
}
constexpr SaveStateRegion videoRamRegion(RegionName name, std::size_t address, std::size_t length) {
    return {name, static_cast<std::int32_t>(format::kVideoRamOffset + address + 1), length};
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

// The positions and lengths that callers and stored files have always used.
constexpr bool regionsAre(const RegionMap& map, const std::array<std::pair<std::int32_t, std::size_t>, 5>& expected) {
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (map.regions[i].position != expected[i].first || map.regions[i].length != expected[i].second) return false;
    return true;
}
static_assert(regionsAre(kSourceRegions,
                         {{{74873, 32768}, {73625, 225}, {54393, 6144}, {9337, 65536}, {51321, 1024}}}));
static_assert(regionsAre(kTargetRegions,
                         {{{9337, 32768}, {42105, 4096}, {46201, 6144}, {73625, 225}, {74873, 32768}}}));

// The end of PatternArea: no save state is shorter, and a target created from
// nothing has exactly this length.
inline constexpr std::size_t kMinSaveStateSize = kSourceRegions[RegionName::PatternArea].end();
static_assert(kMinSaveStateSize == 107640);

}  // namespace tavro
