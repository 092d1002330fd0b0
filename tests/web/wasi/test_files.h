// The part of tests/support/test_files.h that needs no file system, for the
// engine tests built for wasm32-wasi (whose libc++ has no <filesystem>):
// found first on their include path.
#pragma once

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
