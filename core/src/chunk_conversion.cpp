#include <tavro/core/chunk_conversion.h>

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <memory>

#include <tavro/core/entry_conversion.h>

namespace tavro::core {
namespace {

[[maybe_unused]] constexpr std::size_t kRamBytes = format::kMainRamBytes;  // the source: all of main RAM
constexpr std::size_t kConvertedBytes = kTargetChunkTableBytes;
constexpr std::size_t kSourceRowBytes = format::kFirstGame.chunkRowBytes();  // 16 entries
constexpr std::size_t kSourceHalfChunkBytes = kSourceChunkBytes / 2;         // rows 0-7 or 8-15
constexpr std::size_t kTargetRowBytes = format::kSecondGame.chunkRowBytes();  // 8 entries: half a source row
static_assert(kTargetRowBytes * 2 == kSourceRowBytes && kSourceHalfChunkBytes * 2 == kSourceChunkBytes);
// The working image below puts chunk 0 in front of the chunks as stored:
// chunk 1 first, at the start of RAM; target chunk 0 the empty one.
static_assert(format::kFirstGame.chunkTable == 0 && format::kFirstGame.firstStoredChunk == 1 &&
              format::kSecondGame.firstStoredChunk == 0);

}  // namespace

std::vector<std::uint8_t> convertChunks(std::span<const std::uint8_t> sourceRam) {
    assert(sourceRam.size() == kRamBytes);

    // Working image: an empty chunk 0, then the source chunks from chunk 1 on,
    // chunk k at k * 512. Only chunks 0 to 63 fit the target, so the image
    // ends there.
    std::vector<std::uint8_t> work;
    work.reserve(kConvertedBytes);
    work.assign(kSourceChunkBytes, 0);
    work.insert(work.end(), sourceRam.begin(), sourceRam.begin() + (kConvertedBytes - kSourceChunkBytes));

    // Split: each half of a source chunk (rows 0-7, then rows 8-15) gives a
    // left and a right target chunk, one target row of each per source row.
    const auto split = std::make_unique_for_overwrite<std::uint8_t[]>(kConvertedBytes);
    std::size_t n = 0;
    for (std::size_t half = 0; half < kConvertedBytes; half += kSourceHalfChunkBytes) {
        for (std::size_t row = 0; row < kSourceHalfChunkBytes; row += kSourceRowBytes) {
            std::copy_n(&work[half + row], kTargetRowBytes, &split[n]);
            std::copy_n(&work[half + row + kTargetRowBytes], kTargetRowBytes, &split[n + kTargetChunkBytes]);
            n += kTargetRowBytes;
        }
        n += kTargetChunkBytes;  // past the right-hand chunk just filled
    }

    std::vector<std::uint8_t> converted(kConvertedBytes);
    convertEntries({split.get(), kConvertedBytes}, converted);
    return converted;
}

void convertEntries(std::span<const std::uint8_t> from, std::span<std::uint8_t> to) {
    assert(from.size() % 8 == 0 && to.size() >= from.size());
    // Eight bytes at a time: secondGameEntryHighByte's shifts and masks applied to a
    // whole 64-bit word give each byte what they give it alone (the bits that
    // cross into a neighbouring byte are masked off), and a mask then keeps
    // the converted bytes at even offsets only.
    constexpr std::uint64_t kEvenBytes =
        std::endian::native == std::endian::little ? 0x00FF00FF00FF00FFull : 0xFF00FF00FF00FF00ull;
    const std::uint8_t* const in = from.data();  // local pointers let the loop vectorize
    std::uint8_t* const out = to.data();
    const std::size_t size = from.size();
    for (std::size_t k = 0; k < size; k += 8) {
        std::uint64_t word;
        std::memcpy(&word, in + k, 8);
        const std::uint64_t high = ((word << 1) & 0xC0C0C0C0C0C0C0C0ull) | ((word >> 1) & 0x3C3C3C3C3C3C3C3Cull) |
                                   (word & 0x0303030303030303ull);
        word = (high & kEvenBytes) | (word & ~kEvenBytes);
        std::memcpy(out + k, &word, 8);
    }
}

int countChunksWithData(std::span<const std::uint8_t> sourceRam) {
    int count = 0;
    for (unsigned chunk = 1; chunk <= kLastConvertedChunk; ++chunk) {
        const auto bytes = sourceRam.subspan(format::kFirstGame.chunkAddress(chunk), kSourceChunkBytes);
        if (std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; })) ++count;
    }
    return count;
}

}  // namespace tavro::core
