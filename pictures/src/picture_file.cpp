#include <tavro/picture_file.h>

#include <cstdint>
#include <utility>
#include <vector>

#include <tavro/file_error.h>
#include <tavro/level_check.h>
#include <tavro/png_image.h>

namespace tavro::render {
namespace {

// Everything a level's drawing reads: main RAM and the whole of video RAM.
constexpr std::size_t kSaveStateEnd = format::kVideoRamOffset + format::kVideoRamBytes;

std::unexpected<EngineError> refused(const std::string& path, Step step, Cause cause) {
    return std::unexpected(EngineError{
        .operation = Operation::SavePicture, .file = FileRole::Picture, .step = step, .path = path, .cause = cause});
}

}  // namespace

std::expected<LevelMemory, EngineError> loadLevel(const std::string& path, files::SystemCalls& calls) {
    auto prefix = files::readPrefix(path, kSaveStateEnd, calls);
    if (!prefix) return std::unexpected(fileError(Operation::Draw, FileRole::SaveState, path, prefix.error()));
    if (isPng(prefix->bytes)) {
        return std::unexpected(EngineError{.operation = Operation::Draw,
                                           .file = FileRole::SaveState,
                                           .step = Step::Check,
                                           .path = path,
                                           .cause = Cause::IsAPicture});
    }
    auto level = LevelMemory::fromSaveState(prefix->bytes);
    if (!level) level.error().path = path;
    return level;
}

namespace {

// The picture's place as found: nothing, an empty file, or a PNG picture
// other than the save state. Returns what the replacement expects there.
std::expected<files::Expectation, EngineError> checkPicturePlace(const PictureRequest& request,
                                                                 files::SystemCalls& calls) {
    const std::string& out = request.picture;
    auto found = files::openIfExists(out, calls);
    if (!found) return std::unexpected(fileError(Operation::SavePicture, FileRole::Picture, out, found.error()));
    if (!*found) return files::Expectation{files::Expectation::Kind::Absent, {}};
    const files::FileIdentity& existing = (*found)->identity();
    auto state = files::openIfExists(request.saveState, calls);
    auto spelled = files::sameName(out, request.saveState, calls);  // names that differ only in case on a card
    if ((state && *state && files::sameFile((*state)->identity(), existing)) || (spelled && *spelled))
        return refused(out, Step::Replace, Cause::IsTheSaveState);
    auto head = (*found)->readHead(8);
    if (!head) return std::unexpected(fileError(Operation::SavePicture, FileRole::Picture, out, head.error()));
    if (!head->empty() && !isPng(*head)) return refused(out, Step::Check, Cause::NotAPicture);
    // Returned with the file closed: a descriptor held open here would count
    // as another program's when the replacement checks for other openers.
    return files::Expectation{files::Expectation::Kind::Same, existing};
}

// The cells to draw: the request's box, or the cells in use in its plane.
std::expected<CellBox, EngineError> cellsToDraw(const LevelMemory& level, const PictureRequest& request) {
    if (request.box) return *request.box;
    if (auto used = usedCells(level, request.game, request.plane)) return *used;
    return std::unexpected(
        EngineError{.operation = Operation::Draw,
                    .file = FileRole::SaveState,
                    .step = Step::Draw,
                    .path = request.saveState,
                    .cause = request.plane == Plane::Foreground ? Cause::EmptyForeground : Cause::EmptyBackground});
}

}  // namespace

std::expected<SavedPicture, EngineError> savePicture(const PictureRequest& request, files::SystemCalls& calls) {
    const auto level = loadLevel(request.saveState, calls);
    if (!level) return std::unexpected(level.error());
    return savePicture(*level, request, calls);
}

std::expected<SavedPicture, EngineError> savePicture(const LevelMemory& level, const PictureRequest& request,
                                                     files::SystemCalls& calls) {
    const std::string& out = request.picture;
    const auto expected = checkPicturePlace(request, calls);
    if (!expected) return std::unexpected(expected.error());
    const auto box = cellsToDraw(level, request);
    if (!box) return std::unexpected(box.error());

    SavedPicture size;
    std::expected<std::vector<std::uint8_t>, EngineError> png;
    if (request.scale <= 1) {
        const auto picture = drawPlane(level, request.game, request.plane, *box);
        size = {picture.width, picture.height};
        png = encodePng(picture, readPalette(level));
    } else {
        const auto picture = drawScaled(level, request.game, request.plane, *box, request.scale);
        size = {picture.width, picture.height};
        png = encodePng(picture);
    }
    if (!png) {
        png.error().path = request.saveState;
        return std::unexpected(png.error());
    }
    auto prepared = files::prepare(out, files::NewContent{*png, nullptr, png->size(), std::nullopt}, *expected,
                                   files::Links::Follow, calls);
    if (!prepared) return std::unexpected(fileError(Operation::SavePicture, FileRole::Picture, out, prepared.error()));
    if (auto replaced = prepared->commit(); !replaced)
        return std::unexpected(fileError(Operation::SavePicture, FileRole::Picture, out, replaced.error()));
    return size;
}

}  // namespace tavro::render
