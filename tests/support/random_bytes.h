// Repeatable random bytes for the tests; needs no file system, so the
// engine tests built for WebAssembly share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace tavro::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

}  // namespace tavro::test
