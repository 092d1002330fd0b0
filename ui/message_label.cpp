#include "message_label.h"

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

namespace tavro::ui {

MessageLabel::MessageLabel(int reservedLines, QWidget* parent)
    : QLabel(parent), reservedLines_(std::max(reservedLines, 1)) {
    setTextFormat(Qt::PlainText);
    // The label takes the width it is given and never asks for more, so a long
    // text cannot widen the window; its height follows the text.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    fitHeight();
}

void MessageLabel::setMessage(const QString& text) {
    setText(text);
    fitHeight();
    update();
}

int MessageLabel::layOut(QTextLayout& layout, int width) const {
    QTextOption option(alignment() & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setFont(font());
    const int spacing = fontMetrics().lineSpacing();
    int height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1));
        line.setPosition(QPointF(0, height));
        height += spacing;
    }
    layout.endLayout();
    return std::max(height, spacing);
}

int MessageLabel::textHeight(int width) const {
    QTextLayout layout(text());
    return layOut(layout, width);
}

int MessageLabel::textWidth() const { return contentsRect().width() - 2 * margin() - 2 * std::max(indent(), 0); }

void MessageLabel::fitHeight() {
    const int frame = height() - contentsRect().height() + 2 * margin();
    const int lines = std::max(textHeight(textWidth()), reservedLines_ * fontMetrics().lineSpacing());
    if (height() != lines + frame) setFixedHeight(lines + frame);
}

void MessageLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QTextLayout layout(text());
    const int width = textWidth();
    const int height = layOut(layout, width);
    const QRect room = contentsRect();
    const int left = room.left() + margin() + std::max(indent(), 0);
    const int top = room.top() + (room.height() - height) / 2;
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    layout.draw(&painter, QPointF(left, std::max(top, room.top())));
}

void MessageLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fitHeight();
}

void MessageLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) fitHeight();
}

}  // namespace tavro::ui
