#include "elided_label.h"

#include <QEvent>
#include <QFontMetrics>

namespace tavro::ui {

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode) {
    setTextFormat(Qt::PlainText);
    // The label takes the room it is given and never asks for more, so a long
    // text cannot widen the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text, const QString& toolTip) {
    fullText_ = text;
    setToolTip(toolTip.isEmpty() ? fullText_ : toolTip);
    elide();
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) elide();
}

void ElidedLabel::elide() {
    const int room = contentsRect().width() - 2 * margin() - 2 * qMax(indent(), 0);
    setText(fontMetrics().elidedText(fullText_, mode_, qMax(room, 0)));
}

}  // namespace tavro::ui
