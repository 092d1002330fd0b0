#include "png_image.h"

#include <spng.h>

#include <cstdlib>
#include <memory>

namespace tavro::render {
namespace {

struct ContextDeleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

struct BufferDeleter {
    void operator()(void* buffer) const { std::free(buffer); }
};

std::unexpected<std::string> pngFailure(const char* what, int error) {
    return std::unexpected(std::string(what) + ": " + spng_strerror(error));
}

constexpr std::size_t kLargestDecoded = std::size_t{1} << 30;

// Level pictures are large and flat: a fast zlib level loses little size and
// saves most of the time.
constexpr int kCompressionLevel = 1;

std::expected<Context, std::string> newEncoder(int width, int height, std::uint8_t colourType) {
    if (width <= 0 || height <= 0) return std::unexpected(std::string("cannot encode an empty picture"));
    Context context{spng_ctx_new(SPNG_CTX_ENCODER)};
    if (!context) return std::unexpected(std::string("cannot start the PNG encoder"));
    if (int e = spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1)) return pngFailure("PNG encoder", e);
    if (int e = spng_set_option(context.get(), SPNG_IMG_COMPRESSION_LEVEL, kCompressionLevel))
        return pngFailure("PNG encoder", e);
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(width);
    header.height = static_cast<std::uint32_t>(height);
    header.bit_depth = 8;
    header.color_type = colourType;
    if (int e = spng_set_ihdr(context.get(), &header)) return pngFailure("PNG header", e);
    return context;
}

std::expected<std::vector<std::uint8_t>, std::string> finish(Context context, std::span<const std::uint8_t> pixels) {
    if (int e = spng_encode_image(context.get(), pixels.data(), pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE))
        return pngFailure("PNG encoding", e);
    std::size_t length = 0;
    int error = 0;
    const std::unique_ptr<void, BufferDeleter> buffer{spng_get_png_buffer(context.get(), &length, &error)};
    if (!buffer) return pngFailure("PNG encoding", error);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer.get());
    return std::vector<std::uint8_t>(bytes, bytes + length);
}

}  // namespace

std::expected<std::vector<std::uint8_t>, std::string> encodePng(const IndexedImage& image, const Palette& palette) {
    auto context = newEncoder(image.width, image.height, SPNG_COLOR_TYPE_INDEXED);
    if (!context) return std::unexpected(context.error());
    // Indexed rows compress best unfiltered.
    if (int e = spng_set_option(context->get(), SPNG_FILTER_CHOICE, SPNG_DISABLE_FILTERING))
        return pngFailure("PNG encoder", e);

    spng_plte colours{};
    spng_trns transparency{};
    colours.n_entries = static_cast<std::uint32_t>(palette.size());
    transparency.n_type3_entries = static_cast<std::uint32_t>(palette.size());
    for (std::size_t i = 0; i < palette.size(); ++i) {
        colours.entries[i] = {palette[i].r, palette[i].g, palette[i].b, 255};
        transparency.type3_alpha[i] = palette[i].a;
    }
    if (int e = spng_set_plte(context->get(), &colours)) return pngFailure("PNG palette", e);
    if (int e = spng_set_trns(context->get(), &transparency)) return pngFailure("PNG transparency", e);
    return finish(std::move(*context), image.pixels);
}

std::expected<std::vector<std::uint8_t>, std::string> encodePng(const RgbaImage& image) {
    auto context = newEncoder(image.width, image.height, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA);
    if (!context) return std::unexpected(context.error());
    return finish(std::move(*context), image.pixels);
}

std::expected<RgbaImage, std::string> decodePng(std::span<const std::uint8_t> png) {
    Context context{spng_ctx_new(0)};
    if (!context) return std::unexpected(std::string("cannot start the PNG decoder"));
    if (int e = spng_set_png_buffer(context.get(), png.data(), png.size())) return pngFailure("PNG", e);
    spng_ihdr header{};
    if (int e = spng_get_ihdr(context.get(), &header)) return pngFailure("PNG header", e);
    std::size_t size = 0;
    if (int e = spng_decoded_image_size(context.get(), SPNG_FMT_RGBA8, &size)) return pngFailure("PNG", e);
    if (size > kLargestDecoded) return std::unexpected(std::string("PNG: picture too large"));
    RgbaImage image{static_cast<int>(header.width), static_cast<int>(header.height),
                    std::vector<std::uint8_t>(size)};
    if (int e = spng_decode_image(context.get(), image.pixels.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS))
        return pngFailure("PNG decoding", e);
    return image;
}

}  // namespace tavro::render
