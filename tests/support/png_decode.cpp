#include "png_decode.h"

#include <spng.h>

#include <memory>

namespace tavro::test {

std::optional<drawing::RgbaImage> decodePng(std::span<const std::uint8_t> png) {
    const std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> context{spng_ctx_new(0), &spng_ctx_free};
    spng_ihdr header{};
    std::size_t size = 0;
    if (!context || spng_set_png_buffer(context.get(), png.data(), png.size()) != 0 || spng_get_ihdr(context.get(), &header) != 0 ||
        spng_decoded_image_size(context.get(), SPNG_FMT_RGBA8, &size) != 0)
        return std::nullopt;
    drawing::RgbaImage image{static_cast<int>(header.width), static_cast<int>(header.height), std::vector<std::uint8_t>(size)};
    if (spng_decode_image(context.get(), image.pixels.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0) return std::nullopt;
    return image;
}

}  // namespace tavro::test
