#include "chunk_conversion.h"

#include <algorithm>
#include <cassert>

#include "entry_conversion.h"

namespace tavro {
namespace {

constexpr std::size_t kRamBytes = 65536;
constexpr std::size_t kConvertedBytes = 32768;

}  // namespace

std::vector<std::uint8_t> convertChunks(std::span<const std::uint8_t> sourceRam) {
    assert(sourceRam.size() == kRamBytes);

    // Working image: an empty chunk 0, then the source chunks from chunk 1 on,
    // chunk k at k * 512.
    std::vector<std::uint8_t> work(kRamBytes, 0);
    std::copy_n(sourceRam.begin(), kRamBytes - kSourceChunkBytes, work.begin() + kSourceChunkBytes);

    // Split: each half of a source chunk (rows 0-7, then rows 8-15) gives a
    // left and a right target chunk. Only source chunks 0 to 63 fit.
    std::vector<std::uint8_t> split(kRamBytes, 0);
    std::size_t n = 0;
    for (std::size_t p = 0; p < kConvertedBytes; p += 256) {
        for (std::size_t r = 0; r < 256; r += 32) {
            for (std::size_t c = 0; c < 16; ++c) {
                split[n] = work[p + r + c];
                split[n + 128] = work[p + r + 16 + c];
                ++n;
            }
        }
        n += 128;
    }

    // Entries: high bytes at even offsets are converted, low bytes kept.
    std::vector<std::uint8_t> converted(kConvertedBytes, 0);
    for (std::size_t k = 0; k < kConvertedBytes; k += 2) {
        converted[k] = convertT1ToT2(split[k]);
        converted[k + 1] = split[k + 1];
    }
    return converted;
}

int countChunksWithData(std::span<const std::uint8_t> sourceRam) {
    int count = 0;
    for (int chunk = 1; chunk <= kLastConvertedChunk; ++chunk) {
        const auto first = static_cast<std::size_t>(chunk - 1) * kSourceChunkBytes;
        const auto bytes = sourceRam.subspan(first, kSourceChunkBytes);
        if (std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; })) ++count;
    }
    return count;
}

}  // namespace tavro
