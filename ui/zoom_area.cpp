#include "zoom_area.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QRectF>
#include <QScrollBar>
#include <QWheelEvent>

#include "cell_marks.h"
#include "checkerboard.h"

namespace tavro::ui {
namespace {

constexpr int kWheelStep = 120;  // one notch of a wheel, in eighths of a degree
// Down to 1:2 blending neighbours draws the picture well; smaller, a shrunk copy does.
constexpr int kFirstShrunkStep = -2;

}  // namespace

ZoomArea::ZoomArea(QWidget* parent) : QAbstractScrollArea(parent), checkerboard_(checkerboardTile(8)) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::OpenHandCursor);
    viewport()->setAutoFillBackground(true);
    QPalette shade = viewport()->palette();
    shade.setColor(QPalette::Window, QColor(0x50, 0x50, 0x50));
    viewport()->setPalette(shade);
    viewport()->setBackgroundRole(QPalette::Window);
    horizontalScrollBar()->setSingleStep(32);
    verticalScrollBar()->setSingleStep(32);
}

void ZoomArea::setPicture(const QImage& picture, Shrinker shrinker) {
    picture_ = picture;
    shrinker_ = std::move(shrinker);
    shrunk_.clear();
    updateScrollBars();
    viewport()->update();
}

void ZoomArea::setMarks(QList<QRect> marks) {
    marks_ = std::move(marks);
    viewport()->update();
}

void ZoomArea::paintMarks(QPainter& painter, const QRectF& whole) const {
    QList<QRectF> cells;
    cells.reserve(marks_.size());
    for (const QRect& mark : marks_)
        cells.append(QRectF(whole.topLeft() + QPointF(mark.topLeft()) * zoom(), QSizeF(mark.size()) * zoom()));
    paintEmptyCellMarks(painter, cells);
}

double ZoomArea::zoom() const { return std::ldexp(1.0, step_); }

int ZoomArea::fittingStep() const {
    if (picture_.isNull()) return 0;
    const QSize room = viewport()->size();
    int step = 0;
    while (step > kMinZoomStep &&
           (std::ldexp(picture_.width(), step) > room.width() || std::ldexp(picture_.height(), step) > room.height()))
        --step;
    return step;
}

void ZoomArea::zoomIn() { zoomAbout(step_ + 1, QRectF(viewport()->rect()).center()); }

void ZoomArea::zoomOut() { zoomAbout(step_ - 1, QRectF(viewport()->rect()).center()); }

void ZoomArea::setZoomStep(int step) { zoomAbout(step, QRectF(viewport()->rect()).center()); }

double ZoomArea::scaledWidth() const { return picture_.width() * zoom(); }

double ZoomArea::scaledHeight() const { return picture_.height() * zoom(); }

QPointF ZoomArea::origin() const {
    // A picture smaller than the view sits in its middle; a larger one is
    // moved by the scroll bars.
    const QSize room = viewport()->size();
    const double x =
        scaledWidth() < room.width() ? (room.width() - scaledWidth()) / 2 : -horizontalScrollBar()->value();
    const double y =
        scaledHeight() < room.height() ? (room.height() - scaledHeight()) / 2 : -verticalScrollBar()->value();
    return {std::floor(x), std::floor(y)};
}

QPointF ZoomArea::centre() const { return (QRectF(viewport()->rect()).center() - origin()) / zoom(); }

void ZoomArea::centreOn(QPointF point) {
    const QPointF corner = point * zoom() - QRectF(viewport()->rect()).center();
    horizontalScrollBar()->setValue(static_cast<int>(std::lround(corner.x())));
    verticalScrollBar()->setValue(static_cast<int>(std::lround(corner.y())));
}

void ZoomArea::zoomAbout(int step, QPointF anchor) {
    step = std::clamp(step, kMinZoomStep, kMaxZoomStep);
    if (step == step_) return;
    const QPointF point = (anchor - origin()) / zoom();  // the picture's point under the anchor
    step_ = step;
    updateScrollBars();
    const QPointF corner = point * zoom() - anchor;
    horizontalScrollBar()->setValue(static_cast<int>(std::lround(corner.x())));
    verticalScrollBar()->setValue(static_cast<int>(std::lround(corner.y())));
    viewport()->update();
    emit zoomChanged(step_);
}

void ZoomArea::updateScrollBars() {
    const QSize room = viewport()->size();
    const auto span = [](double length, int visible) {
        return std::max(0, static_cast<int>(std::ceil(length)) - visible);
    };
    horizontalScrollBar()->setRange(0, span(scaledWidth(), room.width()));
    horizontalScrollBar()->setPageStep(room.width());
    verticalScrollBar()->setRange(0, span(scaledHeight(), room.height()));
    verticalScrollBar()->setPageStep(room.height());
}

void ZoomArea::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ZoomArea::scrollContentsBy(int, int) { viewport()->update(); }

const QImage* ZoomArea::shrunk() {
    if (!shrinker_ || step_ > kFirstShrunkStep) return nullptr;
    auto made = shrunk_.find(step_);
    if (made == shrunk_.end()) made = shrunk_.emplace(step_, shrinker_(1 << -step_)).first;
    return made->second.isNull() ? nullptr : &made->second;
}

void ZoomArea::paintEvent(QPaintEvent* event) {
    if (picture_.isNull()) return;
    QPainter painter(viewport());
    const double scale = zoom();
    const QRectF whole(origin(), QSizeF(scaledWidth(), scaledHeight()));
    const QRectF shown = whole.intersected(QRectF(event->rect()));
    if (shown.isEmpty()) return;
    painter.setBrushOrigin(whole.topLeft());
    painter.fillRect(shown, checkerboard_);

    if (const QImage* small = shrunk()) {
        // One pixel of the shrunk copy to one on the screen.
        const QRect source = shown.translated(-whole.topLeft()).toAlignedRect().intersected(small->rect());
        painter.drawImage(whole.topLeft() + QPointF(source.topLeft()), *small, source);
        paintMarks(painter, whole);
        return;
    }

    // The picture's pixels in sight, whole pixels only, drawn where they go.
    const QRectF wanted((shown.topLeft() - whole.topLeft()) / scale, shown.size() / scale);
    const QRect source =
        QRect(QPoint(static_cast<int>(std::floor(wanted.left())), static_cast<int>(std::floor(wanted.top()))),
              QPoint(static_cast<int>(std::ceil(wanted.right())) - 1, static_cast<int>(std::ceil(wanted.bottom())) - 1))
            .intersected(picture_.rect());
    if (source.isEmpty()) return;
    const QRectF target(whole.topLeft() + QPointF(source.topLeft()) * scale, QSizeF(source.size()) * scale);
    // Pixels stay sharp when magnified; shrunk, they are blended.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, step_ < 0);
    painter.drawImage(target, picture_, source);
    paintMarks(painter, whole);
}

void ZoomArea::wheelEvent(QWheelEvent* event) {
    // The wheel zooms; small turns (touchpads) add up to a step. A sideways
    // turn moves the picture.
    if (event->angleDelta().y() == 0) return QAbstractScrollArea::wheelEvent(event);
    wheelAngle_ += event->angleDelta().y();
    const int steps = wheelAngle_ / kWheelStep;
    wheelAngle_ -= steps * kWheelStep;
    if (steps != 0) zoomAbout(step_ + steps, event->position());
    event->accept();
}

void ZoomArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    dragging_ = true;
    dragFrom_ = event->position().toPoint();
    viewport()->setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void ZoomArea::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return QAbstractScrollArea::mouseMoveEvent(event);
    const QPoint at = event->position().toPoint();
    const QPoint moved = at - dragFrom_;
    dragFrom_ = at;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - moved.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() - moved.y());
    event->accept();
}

void ZoomArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return QAbstractScrollArea::mouseReleaseEvent(event);
    dragging_ = false;
    viewport()->setCursor(Qt::OpenHandCursor);
    event->accept();
}

}  // namespace tavro::ui
