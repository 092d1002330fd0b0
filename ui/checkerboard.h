// The light checkerboard shown behind a level picture where it is transparent.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPixmap>

namespace tavro::ui {

// One tile of the checkerboard: four squares of `square` pixels.
inline QPixmap checkerboardTile(int square) {
    QPixmap tile(2 * square, 2 * square);
    tile.fill(QColor(0xe4, 0xe4, 0xe4));
    QPainter painter(&tile);
    painter.fillRect(0, 0, square, square, QColor(0xd0, 0xd0, 0xd0));
    painter.fillRect(square, square, square, square, QColor(0xd0, 0xd0, 0xd0));
    return tile;
}

}  // namespace tavro::ui
