// The marks on a level picture over cells that arrived empty: a hatched
// square with a solid outline, in a colour no level palette can make (the
// second game's colours are 3 bits a channel, spread evenly over 0-255).
#pragma once

#include <algorithm>

#include <QBrush>
#include <QColor>
#include <QList>
#include <QPainter>
#include <QPen>
#include <QRectF>

namespace tavro::ui {

inline QColor emptyCellMarkColour() { return QColor(255, 40, 0); }

// Marks `cells` (in the painter's coordinates). A cell drawn smaller than a
// few pixels still gets a mark that size, so that it shows at any scale.
inline void paintEmptyCellMarks(QPainter& painter, const QList<QRectF>& cells) {
    if (cells.isEmpty()) return;
    constexpr double kSmallest = 7.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QColor hatch = emptyCellMarkColour();
    hatch.setAlpha(150);
    QPen outline(emptyCellMarkColour());
    outline.setWidth(2);
    outline.setJoinStyle(Qt::MiterJoin);
    for (const QRectF& cell : cells) {
        QRectF mark = cell;
        if (mark.width() < kSmallest || mark.height() < kSmallest) {
            const QPointF middle = mark.center();
            mark.setSize(mark.size().expandedTo(QSizeF(kSmallest, kSmallest)));
            mark.moveCenter(middle);
        }
        const QRect square = mark.toAlignedRect();
        painter.fillRect(square, QBrush(hatch, Qt::BDiagPattern));
        painter.setPen(outline);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(square.adjusted(1, 1, -1, -1));
    }
    painter.restore();
}

}  // namespace tavro::ui
