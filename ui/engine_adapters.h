// Where the window meets the engine's plain types: paths and pictures.
#pragma once

#include <string>

#include <QImage>
#include <QString>

#include <tavro/drawing/level_render.h>

namespace tavro::ui {

// Paths cross into the engine in the file system's encoding and come back the same way.
std::string toEnginePath(const QString& path);
QString fromEnginePath(const std::string& path);

// A copy of an engine picture (straight alpha) as Format_RGBA8888; null when
// there is no memory for it.
QImage rgbaPicture(const drawing::RgbaImage& image);

}  // namespace tavro::ui
