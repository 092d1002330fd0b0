#include "layout_expansion.h"

#include <algorithm>
#include <cassert>
#include <memory>

namespace tavro {
namespace {

constexpr std::size_t kExpandedBytes = 65536;
constexpr std::size_t kTargetRowBytes = kTargetLayoutRowBytes;

}  // namespace

std::vector<std::uint8_t> expandLayout(std::span<const std::uint8_t> sourceLayout) {
    assert(sourceLayout.size() == kSourceLayoutBytes);

    // The expansion image is 65,536 bytes, of which only the first 4,096 are
    // ever written or read; the rest is left untouched.
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kExpandedBytes);
    std::uint8_t* const expanded = buffer.get();
    std::fill_n(expanded, kTargetLayoutBytes, 0);
    std::size_t pos = 0;
    std::size_t t = 0;
    while (t < kTargetLayoutBytes - 1) {
        for (int m = 0; m < 256; m += 2) {  // 128 source cells: one source row
            const unsigned b = cellChunk(sourceLayout[pos]);
            if (b < 64) {
                const auto base = static_cast<std::uint8_t>(4 * b);
                const bool empty = b == 0;
                expanded[t] = empty ? 0 : base;
                expanded[t + 1] = empty ? 0 : static_cast<std::uint8_t>(base + 1);
                expanded[t + kTargetRowBytes] = empty ? 0 : static_cast<std::uint8_t>(base + 2);
                expanded[t + kTargetRowBytes + 1] = empty ? 0 : static_cast<std::uint8_t>(base + 3);
            }
            ++pos;
            t += 2;
        }
        t += kTargetRowBytes;  // the row below was filled with the bottom halves
    }
    return std::vector<std::uint8_t>(expanded, expanded + kTargetLayoutBytes);
}

}  // namespace tavro
