// Expanding the first game's level layout into the second game's.
//
// Source: 1,024 bytes, 8 rows of 128 cells, each row 64 foreground cells then
// 64 background cells; bits 6-0 of a cell name a chunk, bit 7 is a flag that
// is dropped. Target: 4,096 bytes, 16 rows of 256 cells, each row 128
// foreground then 128 background cells; a cell is a chunk number.
//
// Each source cell naming chunk k (1 to 63) becomes the 2x2 square
//   4k     4k+1
//   4k+2   4k+3
// Chunk 0 and chunks 64 and above become four zero (empty) cells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <tavro/core/save_state_format.h>

namespace tavro::core {

inline constexpr std::size_t kSourceLayoutBytes = format::kFirstGame.layoutBytes();
inline constexpr std::size_t kTargetLayoutBytes = format::kSecondGame.layoutBytes();
inline constexpr std::size_t kSourceLayoutRowBytes = format::kFirstGame.layoutRowBytes();
inline constexpr std::size_t kTargetLayoutRowBytes = format::kSecondGame.layoutRowBytes();

// The chunk a first-game layout cell names: its low seven bits (0 is empty).
constexpr unsigned cellChunk(std::uint8_t cell) { return cell & format::kFirstGame.cellChunkMask; }

// Where source cell `index` (of the 1,024) puts the top-left cell of its 2x2
// square in the target layout; the other three are at +1, +256 and +257.
constexpr std::size_t expandedCellOffset(std::size_t index) {
    return (index / kSourceLayoutRowBytes) * 2 * kTargetLayoutRowBytes + (index % kSourceLayoutRowBytes) * 2;
}

// The two planes of a layout row: its foreground cells, then its background cells.
enum class Plane { Foreground, Background };

// A first-game layout cell: its plane, and its row and column within it.
struct LayoutCell {
    Plane plane = Plane::Foreground;
    int row = 0;
    int column = 0;
    bool operator==(const LayoutCell&) const = default;
};

// Where first-game layout byte `index` (of the 1,024) lies.
constexpr LayoutCell firstGameLayoutCell(std::size_t index) {
    const std::size_t column = index % kSourceLayoutRowBytes, planeColumns = format::kFirstGame.planeColumns;
    return {column < planeColumns ? Plane::Foreground : Plane::Background,
            static_cast<int>(index / kSourceLayoutRowBytes), static_cast<int>(column % planeColumns)};
}
static_assert(firstGameLayoutCell(64 + 128) == LayoutCell{Plane::Background, 1, 0} &&
              firstGameLayoutCell(63) == LayoutCell{Plane::Foreground, 0, 63});

// `sourceLayout` must be 1,024 bytes; the result is 4,096 bytes.
std::vector<std::uint8_t> expandLayout(std::span<const std::uint8_t> sourceLayout);

}  // namespace tavro::core
