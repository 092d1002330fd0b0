// A save state's level drawn into a PNG file: what `tavro render` and the
// window's "Save as PNG" both do, with every check on the way.
//
// Refused, with nothing written: a save state that is a PNG picture or too
// short (loadLevel); a picture path that names the save state itself
// (the same file, links followed; Cause::IsTheSaveState); an existing,
// non-empty picture path holding anything but a PNG picture
// (Cause::NotAPicture); a plane with no cell in use when no box is given. The
// file is replaced all or nothing, and only if it is still the file checked.
#pragma once

#include <expected>
#include <optional>
#include <string>

#include <tavro/core/engine_error.h>
#include <tavro/files/file_access.h>
#include <tavro/drawing/level_render.h>

namespace tavro::pictures {

// Reads the save state at `path` through the file layer; the error names the
// file (Operation::Draw, FileRole::SaveState). A PNG picture is refused
// (Cause::IsAPicture).
std::expected<drawing::LevelMemory, core::EngineError> loadLevel(const std::string& path,
                                                                 files::SystemCalls& calls = files::systemCalls());

struct PictureRequest {
    std::string saveState;
    drawing::Game game = drawing::Game::First;
    core::Plane plane = core::Plane::Foreground;
    std::optional<drawing::CellBox> box;  // the cells to draw; nullopt: the cells in use
    int scale = 1;               // scaled pictures are RGBA, unscaled ones keep the palette
    std::string picture;         // the PNG file to write
};

struct SavedPicture {
    int width = 0;
    int height = 0;
};

// Draws `level` into request.picture as asked, with every check after the
// reading: the picture's place (request.saveState names the save state the
// level belongs to), the cells to draw, the encoding. A level held in memory
// (what a window shows: a preview, say) and one read from a file take this
// one path.
std::expected<SavedPicture, core::EngineError> savePicture(const drawing::LevelMemory& level,
                                                           const PictureRequest& request,
                                                           files::SystemCalls& calls = files::systemCalls());

// loadLevel(request.saveState), then the savePicture above.
std::expected<SavedPicture, core::EngineError> savePicture(const PictureRequest& request,
                                                           files::SystemCalls& calls = files::systemCalls());

}  // namespace tavro::pictures
