// A picture that pans and zooms: the wheel zooms about the pointer, dragging
// moves the picture, the scroll bars and arrow keys move it too. Zoom goes in
// powers of two, so every pixel of the picture covers the same number of
// screen pixels. Only the part in sight is drawn, straight from the picture
// (an indexed picture stays indexed: nothing the size of the whole is made).
// Shrunk by 4 or more, blending neighbours would leave thin lines broken, so
// the picture is drawn from smaller copies made by a shrinker, when there is one.
#pragma once

#include <functional>
#include <map>

#include <QAbstractScrollArea>
#include <QBrush>
#include <QImage>
#include <QList>
#include <QRect>
#include <QPoint>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace tavro::ui {

class ZoomArea : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int kMinZoomStep = -5;  // 1:32
    static constexpr int kMaxZoomStep = 4;   // 16:1

    explicit ZoomArea(QWidget* parent = nullptr);

    // Makes the picture shrunk by `factor` (4, 8, ...); each size is asked for once.
    using Shrinker = std::function<QImage(int factor)>;

    // Shares `picture`, which must stay valid while it is shown; a null
    // picture shows nothing.
    void setPicture(const QImage& picture, Shrinker shrinker = {});
    const QImage& picture() const { return picture_; }
    // Rectangles of the picture (in its pixels) marked as cells that arrived
    // empty; the marks are drawn over the picture, not into it.
    void setMarks(QList<QRect> marks);
    const QList<QRect>& marks() const { return marks_; }

    // Zoom is 2 to the power of the step.
    int zoomStep() const { return step_; }
    double zoom() const;
    // The largest step no larger than 1:1 that shows the whole picture.
    int fittingStep() const;

    // The picture's point at the middle of the view.
    QPointF centre() const;
    void centreOn(QPointF point);

public slots:
    void zoomIn();
    void zoomOut();
    void setZoomStep(int step);

signals:
    void zoomChanged(int step);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Zooms to `step` keeping the picture's point under `anchor` (a viewport
    // position) where it is.
    void zoomAbout(int step, QPointF anchor);
    double scaledWidth() const;
    double scaledHeight() const;
    // Where the picture's top left corner is drawn in the viewport.
    QPointF origin() const;
    void updateScrollBars();

    // The shrunk copy for the zoom step in use, when one is drawn from.
    const QImage* shrunk();

    void paintMarks(QPainter& painter, const QRectF& whole) const;

    QImage picture_;
    QList<QRect> marks_;
    Shrinker shrinker_;
    std::map<int, QImage> shrunk_;  // by zoom step
    QBrush checkerboard_;
    int step_ = 0;
    int wheelAngle_ = 0;  // wheel turns not yet worth a step
    bool dragging_ = false;
    QPoint dragFrom_;
};

}  // namespace tavro::ui
