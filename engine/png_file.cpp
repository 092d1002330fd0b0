// Writing a PNG file: the same on every system, through the engine's file access.
#include "file_access.h"
#include "png_image.h"

namespace tavro::render {

std::expected<void, EngineError> savePng(const std::string& path, std::span<const std::uint8_t> png) {
    auto written = files::replace(path, png);
    if (!written) return std::unexpected(fileError(Operation::SavePicture, FileRole::Picture, path, written.error()));
    return {};
}

}  // namespace tavro::render
