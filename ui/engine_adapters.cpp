#include "engine_adapters.h"

#include <cstring>

#include <QByteArray>
#include <QFile>

namespace tavro::ui {

std::string toEnginePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString fromEnginePath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QImage rgbaPicture(const drawing::RgbaImage& image) {
    QImage copy(image.width, image.height, QImage::Format_RGBA8888);
    if (copy.isNull()) return copy;
    const auto rowBytes = static_cast<std::size_t>(image.width) * 4;
    for (int row = 0; row < image.height; ++row)
        std::memcpy(copy.scanLine(row), image.pixels.data() + static_cast<std::size_t>(row) * rowBytes, rowBytes);
    return copy;
}

}  // namespace tavro::ui
