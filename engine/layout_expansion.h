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

namespace tavro {

inline constexpr std::size_t kSourceLayoutBytes = 1024;
inline constexpr std::size_t kTargetLayoutBytes = 4096;

// `sourceLayout` must be 1,024 bytes; the result is 4,096 bytes.
std::vector<std::uint8_t> expandLayout(std::span<const std::uint8_t> sourceLayout);

struct LayoutCensus {
    int cellsExpanded = 0;  // cells naming chunks 1 to 63
    int cellsLost = 0;      // cells naming chunks 64 and above: they arrive empty
};

LayoutCensus takeLayoutCensus(std::span<const std::uint8_t> sourceLayout);

}  // namespace tavro
