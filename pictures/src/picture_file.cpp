#include <tavro/pictures/picture_file.h>

#include <cstdint>
#include <utility>
#include <vector>

#include <tavro/files/file_error.h>
#include <tavro/core/level_check.h>
#include <tavro/core/try.h>
#include <tavro/pictures/png_image.h>

namespace tavro::pictures {
namespace {

// Everything a level's drawing reads: main RAM and the whole of video RAM.
constexpr std::size_t kSaveStateEnd = core::format::kVideoRamOffset + core::format::kVideoRamBytes;

std::unexpected<core::EngineError> refused(const std::string& path, core::Step step, core::Cause cause) {
    return std::unexpected(core::EngineError{.operation = core::Operation::SavePicture,
                                             .file = core::FileRole::Picture,
                                             .step = step,
                                             .path = path,
                                             .cause = cause});
}

}  // namespace

std::expected<drawing::LevelMemory, core::EngineError> loadLevel(const std::string& path, files::SystemCalls& calls) {
    auto prefix = files::readPrefix(path, kSaveStateEnd, calls);
    if (!prefix)
        return std::unexpected(
            files::fileError(core::Operation::Draw, core::FileRole::SaveState, path, prefix.error()));
    if (core::isPng(prefix->bytes)) {
        return std::unexpected(core::EngineError{.operation = core::Operation::Draw,
                                                 .file = core::FileRole::SaveState,
                                                 .step = core::Step::Check,
                                                 .path = path,
                                                 .cause = core::Cause::IsAPicture});
    }
    auto level = drawing::LevelMemory::fromSaveState(prefix->bytes);
    if (!level) level.error().path = path;
    return level;
}

namespace {

// The picture's place as found: nothing, an empty file, or a PNG picture
// other than the save state. Returns what the replacement expects there.
std::expected<files::Expectation, core::EngineError> checkPicturePlace(const PictureRequest& request,
                                                                       files::SystemCalls& calls) {
    const std::string& out = request.picture;
    auto found = files::openIfExists(out, calls);
    if (!found)
        return std::unexpected(
            files::fileError(core::Operation::SavePicture, core::FileRole::Picture, out, found.error()));
    if (!*found) return files::Expectation{files::Expectation::Kind::Absent, {}};
    const files::FileIdentity& existing = (*found)->identity();
    auto state = files::openIfExists(request.saveState, calls);
    auto spelled = files::sameName(out, request.saveState, calls);  // names that differ only in case on a card
    if ((state && *state && files::sameFile((*state)->identity(), existing)) || (spelled && *spelled))
        return refused(out, core::Step::Replace, core::Cause::IsTheSaveState);
    auto head = (*found)->readHead(8);
    if (!head)
        return std::unexpected(
            files::fileError(core::Operation::SavePicture, core::FileRole::Picture, out, head.error()));
    if (!head->empty() && !core::isPng(*head)) return refused(out, core::Step::Check, core::Cause::NotAPicture);
    // Returned with the file closed: a descriptor held open here would count
    // as another program's when the replacement checks for other openers.
    return files::Expectation{files::Expectation::Kind::Same, existing};
}

// The cells to draw: the request's box, or the cells in use in its plane.
std::expected<drawing::CellBox, core::EngineError> cellsToDraw(const drawing::LevelMemory& level,
                                                               const PictureRequest& request) {
    if (request.box) return *request.box;
    auto used = drawing::cellsInUse(level, request.game, request.plane);
    if (!used) used.error().path = request.saveState;
    return used;
}

}  // namespace

std::expected<SavedPicture, core::EngineError> savePicture(const PictureRequest& request, files::SystemCalls& calls) {
    const auto level = loadLevel(request.saveState, calls);
    TAVRO_TRY(level);
    return savePicture(*level, request, calls);
}

std::expected<SavedPicture, core::EngineError> savePicture(const drawing::LevelMemory& level,
                                                           const PictureRequest& request, files::SystemCalls& calls) {
    const std::string& out = request.picture;
    const auto expected = checkPicturePlace(request, calls);
    TAVRO_TRY(expected);
    const auto box = cellsToDraw(level, request);
    TAVRO_TRY(box);

    SavedPicture size;
    std::expected<std::vector<std::uint8_t>, core::EngineError> png;
    if (request.scale <= 1) {
        const auto picture = drawing::drawPlane(level, request.game, request.plane, *box);
        size = {picture.width, picture.height};
        png = encodePng(picture, drawing::readPalette(level));
    } else {
        const auto picture = drawing::drawScaled(level, request.game, request.plane, *box, request.scale);
        size = {picture.width, picture.height};
        png = encodePng(picture);
    }
    if (!png) {
        png.error().path = request.saveState;
        return std::unexpected(png.error());
    }
    auto prepared = files::prepare(out, files::NewContent{*png, nullptr, png->size(), std::nullopt}, *expected,
                                   files::Links::Follow, calls);
    if (!prepared)
        return std::unexpected(
            files::fileError(core::Operation::SavePicture, core::FileRole::Picture, out, prepared.error()));
    if (auto replaced = prepared->commit(); !replaced)
        return std::unexpected(
            files::fileError(core::Operation::SavePicture, core::FileRole::Picture, out, replaced.error()));
    return size;
}

}  // namespace tavro::pictures
