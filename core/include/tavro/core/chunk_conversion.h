// Cutting the first game's chunk table into the second game's.
//
// Source: the whole main-RAM image (65,536 bytes). First-game chunk k (k >= 1)
// is 16 rows of 16 entries, 512 bytes at RAM offset (k - 1) * 512; chunk 0 is
// the empty chunk and is not stored.
// Target: 32,768 bytes, 256 second-game chunks of 8 rows of 8 entries (128
// bytes, chunk c at c * 128). Source chunk k becomes target chunks 4k
// (top-left quarter), 4k + 1 (top-right), 4k + 2 (bottom-left) and 4k + 3
// (bottom-right); only source chunks 1 to 63 fit. Every entry's high byte
// goes through secondGameEntryHighByte, low bytes are kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <tavro/core/save_state_format.h>

namespace tavro::core {

inline constexpr std::size_t kSourceChunkBytes = format::kFirstGame.chunkBytes();
inline constexpr std::size_t kTargetChunkBytes = format::kSecondGame.chunkBytes();
inline constexpr std::size_t kTargetChunkTableBytes = format::kSecondGame.chunkNumbers() * kTargetChunkBytes;
// Chunk k becomes target chunks 4k to 4k + 3: the last k whose four fit.
inline constexpr unsigned kLastConvertedChunk = format::kSecondGame.chunkNumbers() / 4 - 1;

// `sourceRam` must be 65,536 bytes; the result is 32,768 bytes.
std::vector<std::uint8_t> convertChunks(std::span<const std::uint8_t> sourceRam);

// Converts the chunk entries in `from` (big-endian words: high bytes at even
// offsets go through secondGameEntryHighByte, low bytes are kept) into `to`, which is at
// least as long (or is `from` itself). Lengths are a multiple of 8.
void convertEntries(std::span<const std::uint8_t> from, std::span<std::uint8_t> to);

// How many of source chunks 1 to 63 hold any non-zero byte.
int countChunksWithData(std::span<const std::uint8_t> sourceRam);

}  // namespace tavro::core
