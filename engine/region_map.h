// The stretches of a save-state file that a conversion reads and writes.
//
// A save state holds a 65,536-byte main-RAM image at file offset 0x2478 and a
// video-RAM image right after it, at 0x12478. A region is named by a 1-based
// file position (position = file offset + 1) and a length. The source table
// lists the regions in the order a run reads them from a first-game state, the
// target table in the order it writes them into a second-game state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavro {

enum class RegionName { PatternArea, PaletteArea, BlockTable, ChunkArea, LayoutArea };

struct SaveStateRegion {
    RegionName name;
    std::int32_t position;  // 1-based
    std::size_t length;

    constexpr std::size_t offset() const { return static_cast<std::size_t>(position) - 1; }
    constexpr std::size_t end() const { return offset() + length; }
};

inline constexpr std::size_t kMainRamOffset = 0x2478;
inline constexpr std::size_t kVideoRamOffset = 0x12478;

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

inline constexpr RegionMap kSourceRegions{{{
    {RegionName::PatternArea, 74873, 32768},  // video RAM 0x0000
    {RegionName::PaletteArea, 73625, 225},    // main RAM 0xFB20..0xFC00
    {RegionName::BlockTable, 54393, 6144},    // main RAM 0xB000
    {RegionName::ChunkArea, 9337, 65536},     // all of main RAM
    {RegionName::LayoutArea, 51321, 1024},    // main RAM 0xA400
}}};

inline constexpr RegionMap kTargetRegions{{{
    {RegionName::ChunkArea, 9337, 32768},     // main RAM 0x0000
    {RegionName::LayoutArea, 42105, 4096},    // main RAM 0x8000
    {RegionName::BlockTable, 46201, 6144},    // main RAM 0x9000
    {RegionName::PaletteArea, 73625, 225},    // main RAM 0xFB20..0xFC00
    {RegionName::PatternArea, 74873, 32768},  // video RAM 0x0000
}}};

// The end of PatternArea: no save state is shorter, and a target created from
// nothing has exactly this length.
inline constexpr std::size_t kMinSaveStateSize = 107640;

std::string_view regionLabel(RegionName name);

}  // namespace tavro
