// Packed chunk numbering: the whole level in the second game's 255 chunks.
//
// The fixed numbering gives first-game chunk k the target chunks 4k to 4k + 3,
// which leaves room for chunks 1 to 63 only, while a first-game layout cell may
// name any chunk from 1 to 127 (bits 6-0). Most quarters of most chunks are
// empty or repeated, so the distinct quarters a level uses usually fit the
// second game's chunks 1 to 255. Packing numbers them afresh:
//
// - Only chunks that some layout cell names (foreground or background) are
//   carried. Chunk k is read at RAM offset 512 * (k - 1), as the fixed
//   numbering reads it, cut into the same four quarters (top-left, top-right,
//   bottom-left, bottom-right) and its entries converted the same way.
// - A quarter whose 128 converted bytes are all zero becomes chunk 0, the
//   empty chunk. Identical quarters share one chunk.
// - Numbers: the carried chunks in increasing order, each one's quarters
//   top-left, top-right, bottom-left, bottom-right; a quarter not met before
//   takes the next number from 1 up. Chunks no quarter takes stay zero. The
//   same input always gives the same bytes.
// - Each cell naming a carried chunk becomes the 2x2 square of its quarters'
//   numbers, where the fixed numbering puts its square.
//
// When the distinct quarters exceed 255, chunks are carried whole or not at
// all, chosen greedily: the chunks named by the most cells first (fewer
// cells: later; equal counts: the lower chunk number first), each taken when
// the quarters it adds still fit, skipped otherwise, the scan going on to the
// next (which may add fewer). Cells naming a chunk not carried arrive as four
// empty cells, and are reported.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include <tavro/core/save_state_format.h>

namespace tavro::core {

inline constexpr int kPackedChunkSlots = static_cast<int>(format::kSecondGame.chunkNumbers()) - 1;  // chunks 1 to 255
inline constexpr int kChunkNumbers = static_cast<int>(format::kFirstGame.chunkNumbers());  // what a cell can name

struct PackedLevel {
    std::vector<std::uint8_t> chunkArea;  // 32,768: the target chunk table
    std::vector<std::uint8_t> layoutArea;  // 4,096: the target layout
    int chunksUsed = 0;  // of kPackedChunkSlots
    // By source chunk number: whether the cells naming it arrive whole.
    // Chunk 0 and chunks no cell names count as carried.
    std::array<bool, kChunkNumbers> carried{};
};

// `sourceRam` is the whole 65,536-byte main-RAM image, `sourceLayout` the
// 1,024-byte first-game layout.
PackedLevel packLevel(std::span<const std::uint8_t> sourceRam, std::span<const std::uint8_t> sourceLayout);

}  // namespace tavro::core
