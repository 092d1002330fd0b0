// PNG encoding and decoding of level pictures in memory (libspng), and
// writing a PNG through the engine's file access.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include "level_render.h"

namespace tavro::render {

// An 8-bit palette PNG: the 64 palette entries, the transparent ones marked
// so. Smaller and much faster to write than RGBA for a whole plane.
std::expected<std::vector<std::uint8_t>, std::string> encodePng(const IndexedImage& image,
                                                                const Palette& palette);

// An 8-bit RGBA PNG.
std::expected<std::vector<std::uint8_t>, std::string> encodePng(const RgbaImage& image);

// Any PNG as 8-bit RGBA.
std::expected<RgbaImage, std::string> decodePng(std::span<const std::uint8_t> png);

// Replaces the file at `path` with `png` (all or nothing); the error is one
// line naming the file.
std::expected<void, std::string> savePng(const std::string& path, std::span<const std::uint8_t> png);

}  // namespace tavro::render
