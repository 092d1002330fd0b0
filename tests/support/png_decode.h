// Reading PNG files back, for the tests only: the programs write PNGs, never read them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include <tavro/drawing/level_render.h>

namespace tavro::test {

// Any PNG as 8-bit RGBA; nullopt when it is not one.
std::optional<drawing::RgbaImage> decodePng(std::span<const std::uint8_t> png);

}  // namespace tavro::test
