#include <tavro/pictures/png_image.h>

#include <spng.h>

#include <cstdlib>
#include <memory>

#include <tavro/core/try.h>

namespace tavro::pictures {
namespace {

struct ContextDeleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

struct BufferDeleter {
    void operator()(void* buffer) const { std::free(buffer); }
};

std::unexpected<core::EngineError> encodingFailure(core::Cause cause, int error = 0) {
    return std::unexpected(core::EngineError{.operation = core::Operation::SavePicture,
                                             .file = core::FileRole::Picture,
                                             .step = core::Step::Encode,
                                             .cause = cause,
                                             .reason = error != 0 ? spng_strerror(error) : std::string{},
                                             .code = error});
}

std::unexpected<core::EngineError> pngFailure(int error) { return encodingFailure(core::Cause::Encoder, error); }

// Level pictures are large and flat: a fast zlib level loses little size and
// saves most of the time.
constexpr int kCompressionLevel = 1;

std::expected<Context, core::EngineError> newEncoder(int width, int height, std::uint8_t colourType) {
    if (width <= 0 || height <= 0) return encodingFailure(core::Cause::EmptyPicture);
    Context context{spng_ctx_new(SPNG_CTX_ENCODER)};
    if (!context) return pngFailure(SPNG_EMEM);
    if (int e = spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1)) return pngFailure(e);
    if (int e = spng_set_option(context.get(), SPNG_IMG_COMPRESSION_LEVEL, kCompressionLevel)) return pngFailure(e);
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(width);
    header.height = static_cast<std::uint32_t>(height);
    header.bit_depth = 8;
    header.color_type = colourType;
    if (int e = spng_set_ihdr(context.get(), &header)) return pngFailure(e);
    return context;
}

std::expected<std::vector<std::uint8_t>, core::EngineError> finish(Context context,
                                                                   std::span<const std::uint8_t> pixels) {
    if (int e = spng_encode_image(context.get(), pixels.data(), pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE))
        return pngFailure(e);
    std::size_t length = 0;
    int error = 0;
    const std::unique_ptr<void, BufferDeleter> buffer{spng_get_png_buffer(context.get(), &length, &error)};
    if (!buffer) return pngFailure(error);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer.get());
    return std::vector<std::uint8_t>(bytes, bytes + length);
}

}  // namespace

std::expected<std::vector<std::uint8_t>, core::EngineError> encodePng(const drawing::IndexedImage& image,
                                                                      const drawing::Palette& palette) {
    auto context = newEncoder(image.width, image.height, SPNG_COLOR_TYPE_INDEXED);
    TAVRO_TRY(context);
    // Indexed rows compress best unfiltered.
    if (int e = spng_set_option(context->get(), SPNG_FILTER_CHOICE, SPNG_DISABLE_FILTERING)) return pngFailure(e);

    spng_plte colours{};
    spng_trns transparency{};
    colours.n_entries = static_cast<std::uint32_t>(palette.size());
    transparency.n_type3_entries = static_cast<std::uint32_t>(palette.size());
    for (std::size_t i = 0; i < palette.size(); ++i) {
        colours.entries[i] = {palette[i].r, palette[i].g, palette[i].b, 255};
        transparency.type3_alpha[i] = palette[i].a;
    }
    if (int e = spng_set_plte(context->get(), &colours)) return pngFailure(e);
    if (int e = spng_set_trns(context->get(), &transparency)) return pngFailure(e);
    return finish(std::move(*context), image.pixels);
}

std::expected<std::vector<std::uint8_t>, core::EngineError> encodePng(const drawing::RgbaImage& image) {
    auto context = newEncoder(image.width, image.height, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA);
    TAVRO_TRY(context);
    return finish(std::move(*context), image.pixels);
}

}  // namespace tavro::pictures
