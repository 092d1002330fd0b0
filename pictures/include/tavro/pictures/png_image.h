// PNG encoding of level pictures in memory (libspng, or the Windows Imaging
// Component in png_image_windows.cpp); picture_file.h writes them to files.
// Failures are EngineErrors of Operation::SavePicture.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include <tavro/core/engine_error.h>
#include <tavro/drawing/level_render.h>

namespace tavro::pictures {

// An 8-bit palette PNG: the 64 palette entries, the transparent ones marked
// so. Smaller and much faster to write than RGBA for a whole plane.
std::expected<std::vector<std::uint8_t>, core::EngineError> encodePng(const drawing::IndexedImage& image,
                                                                      const drawing::Palette& palette);

// An 8-bit RGBA PNG.
std::expected<std::vector<std::uint8_t>, core::EngineError> encodePng(const drawing::RgbaImage& image);

}  // namespace tavro::pictures
