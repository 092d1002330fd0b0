#include "message_label.h"

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

namespace tavro::ui {

MessageLabel::MessageLabel(int lines, QWidget* parent) : QLabel(parent), lines_(std::max(lines, 1)) {
    setTextFormat(Qt::PlainText);
    // The label takes the width it is given and never asks for more, so a long
    // text cannot widen the window; its height is its lines'.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    fitHeight();
}

void MessageLabel::setMessage(const QString& text, const QString& details) {
    setText(text);
    details_ = details == text ? QString() : details;
    showTip();
    update();
}

bool MessageLabel::truncated() const { return textHeight(textWidth()) > lines_ * fontMetrics().lineSpacing(); }

void MessageLabel::showTip() {
    if (!truncated()) {
        setToolTip(details_);
        return;
    }
    setToolTip(details_.isEmpty() ? text() : text() + QStringLiteral("\n\n") + details_);
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
    const int lines = lines_ * fontMetrics().lineSpacing();
    if (height() != lines + frame) setFixedHeight(lines + frame);
}

void MessageLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QTextLayout layout(text());
    const int width = textWidth();
    const int height = std::min(layOut(layout, width), lines_ * fontMetrics().lineSpacing());
    const QRect room = contentsRect();
    const int left = room.left() + margin() + std::max(indent(), 0);
    const QPointF origin(left, std::max(room.top() + (room.height() - height) / 2, room.top()));
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    if (layout.lineCount() <= lines_) {
        layout.draw(&painter, origin);
        return;
    }
    // The lines that fit, then the rest of the text elided into the last one.
    for (int i = 0; i < lines_ - 1; ++i) layout.lineAt(i).draw(&painter, origin);
    const QTextLine last = layout.lineAt(lines_ - 1);
    const QString rest = fontMetrics().elidedText(text().mid(last.textStart()), Qt::ElideRight, width);
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    painter.drawText(QRectF(origin + last.position(), QSizeF(width, fontMetrics().lineSpacing())),
                     static_cast<int>(horizontal | Qt::AlignVCenter), rest);
}

void MessageLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fitHeight();
    showTip();
}

void MessageLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) fitHeight();
}

}  // namespace tavro::ui
