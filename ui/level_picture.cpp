#include "level_picture.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <utility>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QToolButton>
#include <QtConcurrentRun>

#include <tavro/pictures/picture_file.h>

#include "cell_marks.h"
#include "checkerboard.h"
#include "engine_adapters.h"
#include "level_view.h"
#include "message_label.h"
#include "window_texts.h"

namespace tavro::ui {

using drawing::Game;
using core::Plane;

namespace {

// At the window's opening size the panel is as wide as the form and the
// picture gets what the margins leave; a larger window gives it more.
constexpr int kPanelWidth = 442;
constexpr int kMargin = 8;
constexpr QSize kSurfaceSize{kPanelWidth - 2 * kMargin, 120};

// Resizes closer together than this are drawn once, at the last size.
constexpr int kResizeSettleMs = 60;

// A drawing taking longer than this says so.
constexpr int kSlowDrawMs = 150;

}  // namespace

LevelDrawing drawLevelFromFile(const std::string& path, drawing::Game game, QSize room,
                               std::optional<drawing::CellBox> frame) {
    try {
        auto level = pictures::loadLevel(path);
        if (!level) {
            LevelDrawing drawing;
            drawing.game = game;
            drawing.error = std::move(level.error());
            return drawing;
        }
        return drawLevelFromMemory(std::make_shared<const drawing::LevelMemory>(std::move(*level)), game, room, frame);
    } catch (const std::exception& failure) {
        LevelDrawing drawing;
        drawing.game = game;
        drawing.error = core::EngineError{.operation = core::Operation::Draw,
                                          .file = core::FileRole::SaveState,
                                          .step = core::Step::Draw,
                                          .path = path,
                                          .reason = failure.what()};
        return drawing;
    }
}

LevelDrawing drawLevelFromMemory(std::shared_ptr<const drawing::LevelMemory> level, drawing::Game game, QSize room,
                                 std::optional<drawing::CellBox> frame) {
    LevelDrawing drawing;
    drawing.game = game;
    try {
        drawing.level = std::move(level);
        auto preview = drawing::drawPreview(*drawing.level, game, drawing.plane, room.width(), room.height(), frame);
        if (!preview) return drawing;  // nothing in use: no box
        drawing.box = preview->box;
        drawing.factor = preview->factor;
        drawing.picture = rgbaPicture(preview->picture);
    } catch (const std::exception& failure) {
        drawing = {};
        drawing.game = game;
        drawing.error = core::EngineError{.operation = core::Operation::Draw,
                                          .file = core::FileRole::SaveState,
                                          .step = core::Step::Draw,
                                          .reason = failure.what()};
    }
    return drawing;
}

// The picture, or a short text in its place; a click on a picture asks for
// the larger view, and so do Return and Space when it has the focus.
class PictureSurface : public QFrame {
    Q_OBJECT
public:
    PictureSurface(std::function<void()> open, QWidget* parent)
        : QFrame(parent), open_(std::move(open)), checkerboard_(checkerboardTile(4)) {
        setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        setBackgroundRole(QPalette::Base);
        setAutoFillBackground(true);
        setFocusPolicy(Qt::NoFocus);
    }

    // `marks` are in the picture's device-independent pixels; `description`
    // tells what the picture shows (without one, the message is told).
    void display(const QImage& picture, const QString& message, QList<QRectF> marks = {},
                 const QString& description = {}) {
        picture_ = picture;
        message_ = message;
        marks_ = std::move(marks);
        const bool opens = !picture_.isNull();
        setCursor(opens ? Qt::PointingHandCursor : Qt::ArrowCursor);
        setFocusPolicy(opens ? Qt::TabFocus : Qt::NoFocus);  // a click opens the view instead
        setToolTip(opens ? WindowTexts::pictureTip() : QString());
        setAccessibleDescription(description.isEmpty() ? message : description);
        update();
    }

    const QImage& picture() const { return picture_; }
    const QString& message() const { return message_; }

    // The window opens with the picture at its smallest.
    QSize sizeHint() const override { return minimumSize(); }

protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);
        QPainter painter(this);
        const QRect room = contentsRect();
        if (!picture_.isNull()) {
            const QSizeF size = picture_.deviceIndependentSize();
            const QRectF place(room.left() + (room.width() - size.width()) / 2,
                               room.top() + (room.height() - size.height()) / 2, size.width(), size.height());
            const QRectF snapped(place.toAlignedRect());
            painter.setBrushOrigin(snapped.topLeft());
            painter.fillRect(snapped, checkerboard_);
            painter.drawImage(snapped.topLeft(), picture_);
            QList<QRectF> marks;
            for (const QRectF& mark : marks_) marks.append(mark.translated(snapped.topLeft()));
            paintEmptyCellMarks(painter, marks);
            if (hasFocus()) {
                QPen pen(palette().color(QPalette::Highlight));
                pen.setWidth(2);
                painter.setPen(pen);
                painter.drawRect(room.adjusted(1, 1, -1, -1));
            }
            return;
        }
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(room.adjusted(12, 6, -12, -6), Qt::AlignCenter | Qt::TextWordWrap, message_);
    }

    void mousePressEvent(QMouseEvent* event) override {
        pressed_ = event->button() == Qt::LeftButton;
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool click =
            pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
        pressed_ = false;
        if (click && !picture_.isNull()) open_();
        event->accept();
    }

    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if (!picture_.isNull() && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
            open_();
            return;
        }
        QFrame::keyPressEvent(event);
    }

private:
    std::function<void()> open_;
    QBrush checkerboard_;
    QImage picture_;
    QString message_;
    QList<QRectF> marks_;
    bool pressed_ = false;
};

namespace {

// Assistive technology meets the picture as a graphic, named and described
// as its widget says.
QAccessibleInterface* accessiblePicture(const QString& className, QObject* object) {
    auto* surface = qobject_cast<PictureSurface*>(object);
    if (!surface || className != QLatin1String(PictureSurface::staticMetaObject.className())) return nullptr;
    return new QAccessibleWidget(surface, QAccessible::Graphic);
}

}  // namespace

LevelPicture::LevelPicture(QWidget* parent) : QWidget(parent) {
    QAccessible::installFactory(accessiblePicture);  // once: a factory already in place is not added again
    setObjectName(QStringLiteral("levelPicture"));

    // Made first, so that Tab reaches the picture before its switch.
    surface_ = new PictureSurface([this] { openView(); }, this);
    surface_->setObjectName(QStringLiteral("pictureSurface"));
    surface_->setAccessibleName(WindowTexts::pictureName());
    surface_->setMinimumSize(kSurfaceSize);
    surface_->resize(kSurfaceSize);  // the room a picture drawn before the first layout gets
    surface_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, 4, kMargin, kMargin);
    layout->setSpacing(2);
    layout->addLayout(buildHeader());
    layout->addWidget(surface_, 1);

    slowDraw_ = new QTimer(this);
    slowDraw_->setSingleShot(true);
    slowDraw_->setInterval(kSlowDrawMs);

    for (const Side side : {Side::Before, Side::After}) {
        auto* watcher = new QFutureWatcher<LevelDrawing>(this);
        sides_[index(side)].watcher = watcher;
        connect(watcher, &QFutureWatcherBase::finished, this, [this, side] { finished(side); });
    }
    connect(switch_, &QButtonGroup::idClicked, this, [this](int id) { setSide(static_cast<Side>(id)); });
    connect(slowDraw_, &QTimer::timeout, this, &LevelPicture::refresh);
    resized_ = new QTimer(this);
    resized_->setSingleShot(true);
    resized_->setInterval(kResizeSettleMs);
    connect(resized_, &QTimer::timeout, this, &LevelPicture::redraw);

    updateSwitch();
    refresh();
}

QHBoxLayout* LevelPicture::buildHeader() {
    const auto toggle = [this](const char* name, const QString& text, const QString& tip) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setText(text);
        button->setToolTip(tip);
        button->setCheckable(true);
        // Drawn as buttons side by side, the one pressed in the one shown: one
        // switch of two states, not two labels.
        button->setAutoRaise(false);
        // Hidden until there is an After picture, and the row keeps its height.
        QSizePolicy policy = button->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        button->setSizePolicy(policy);
        return button;
    };
    before_ = toggle("beforeButton", WindowTexts::beforeButton(), WindowTexts::beforeTip());
    after_ = toggle("afterButton", WindowTexts::afterButton(), WindowTexts::afterTip());
    switch_ = new QButtonGroup(this);
    switch_->setExclusive(true);
    switch_->addButton(before_, static_cast<int>(Side::Before));
    switch_->addButton(after_, static_cast<int>(Side::After));
    before_->setChecked(true);

    // Room for two lines: the file, the level's size and its scale, and the
    // count of cells that arrived empty.
    caption_ = new MessageLabel(2, this);
    caption_->setObjectName(QStringLiteral("pictureCaption"));
    caption_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* header = new QHBoxLayout;
    header->setSpacing(0);
    header->addWidget(before_);
    header->addWidget(after_);
    header->addSpacing(10);
    header->addWidget(caption_, 1);
    return header;
}

// The picture's threads end with it: a drawing still under way is waited
// for, and dropped.
LevelPicture::~LevelPicture() = default;

void LevelPicture::showSource(const QString& path) {
    forget(Side::After);
    draw(Side::Before, path, drawing::Game::First);
    setSide(Side::Before);
}

void LevelPicture::showConverted(const QString& path, const std::vector<core::LayoutCell>& emptiedCells) {
    drawAfter(path, emptiedCells, nullptr);
}

void LevelPicture::showPreview(const QString& path, std::shared_ptr<const drawing::LevelMemory> level,
                               const std::vector<core::LayoutCell>& emptiedCells) {
    drawAfter(path, emptiedCells, std::move(level));
}

void LevelPicture::drawAfter(const QString& path, const std::vector<core::LayoutCell>& emptiedCells,
                             std::shared_ptr<const drawing::LevelMemory> level) {
    // The converted level is framed as the source's was (in the second game's
    // smaller cells), so that switching shows the same place at the same scale.
    SideState& before = sides_[index(Side::Before)];
    if (before.pending) {
        // A conversion soon after choosing the source: its frame is needed
        // now, and drawing it takes milliseconds.
        before.watcher->waitForFinished();
        finished(Side::Before);
    }
    auto [frame, marks, hidden] =
        drawing::afterFrame(before.drawing ? before.drawing->box : std::nullopt, emptiedCells);
    const bool preview = level != nullptr;
    draw(Side::After, path, drawing::Game::Second, frame, std::move(level));
    SideState& after = sides_[index(Side::After)];
    after.preview = preview;
    after.marks = std::move(marks);
    after.hiddenMarks = hidden;
    setSide(Side::After);
}

void LevelPicture::forgetConverted() {
    forget(Side::After);
    setSide(Side::Before);
}

void LevelPicture::setSide(Side side) {
    if (side == Side::After && !hasAfter()) side = Side::Before;
    side_ = side;
    (side == Side::Before ? before_ : after_)->setChecked(true);
    updateSwitch();
    refresh();
}

bool LevelPicture::isDrawing(Side side) const { return sides_[index(side)].pending; }

void LevelPicture::waitForDrawings() { drawingThreads_.waitForDone(); }

QImage LevelPicture::picture() const { return surface_->picture(); }

QString LevelPicture::message() const { return surface_->message(); }

const std::vector<drawing::CellBox>& LevelPicture::marks() const { return sides_[index(side_)].marks; }

QSize LevelPicture::room() const { return surface_->contentsRect().size() * surface_->devicePixelRatio(); }

void LevelPicture::draw(Side side, const QString& path, drawing::Game game, std::optional<drawing::CellBox> frame,
                        std::shared_ptr<const drawing::LevelMemory> level) {
    SideState& state = sides_[index(side)];
    state.path = path;
    state.marks.clear();
    state.hiddenMarks = 0;
    state.game = game;
    state.frame = frame;
    state.preview = false;
    state.memory = std::move(level);
    startDrawing(side);
}

void LevelPicture::startDrawing(Side side) {
    SideState& state = sides_[index(side)];
    state.pending = true;
    state.drawing.reset();
    state.view.clear();
    drawnRoom_ = room();
    if (state.memory)
        state.watcher->setFuture(QtConcurrent::run(&drawingThreads_, drawLevelFromMemory, state.memory, state.game,
                                                   drawnRoom_, state.frame));
    else
        state.watcher->setFuture(QtConcurrent::run(&drawingThreads_, drawLevelFromFile, toEnginePath(state.path),
                                                   state.game, drawnRoom_, state.frame));
    slowDraw_->start();
    updateSwitch();
    refresh();
}

void LevelPicture::finished(Side side) {
    SideState& state = sides_[index(side)];
    // The watcher follows the latest drawing only: one overtaken by a newer
    // choice, or forgotten, is dropped.
    if (!state.pending || !state.watcher->future().isResultReadyAt(0)) return;
    state.pending = false;
    state.drawing = state.watcher->future().result();
    if (!state.drawing->picture.isNull()) state.drawing->picture.setDevicePixelRatio(devicePixelRatio());
    refresh();
    emit drawn(side);
}

void LevelPicture::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (room() != drawnRoom_) resized_->start();
}

void LevelPicture::redraw() {
    if (room() == drawnRoom_) return;
    for (const Side side : {Side::Before, Side::After}) {
        SideState& state = sides_[index(side)];
        if (state.path.isEmpty()) continue;
        // The level drawn last is drawn again, from memory: the file is not read twice.
        if (!state.memory && state.drawing) state.memory = state.drawing->level;
        startDrawing(side);
    }
    drawnRoom_ = room();
    updateSwitch();
    refresh();
}

void LevelPicture::forget(Side side) {
    SideState& state = sides_[index(side)];
    state.marks.clear();
    state.hiddenMarks = 0;
    state.preview = false;
    state.memory.reset();
    state.path.clear();
    state.pending = false;
    state.drawing.reset();
    state.view.clear();
    updateSwitch();
}

void LevelPicture::updateSwitch() {
    // Before and After mean something only when there are both.
    const bool preview = sides_[index(Side::After)].preview;
    before_->setVisible(hasAfter());
    after_->setVisible(hasAfter());
    after_->setText(preview ? WindowTexts::previewButton() : WindowTexts::afterButton());
    after_->setToolTip(preview ? WindowTexts::previewTip() : WindowTexts::afterTip());
}

void LevelPicture::refresh() {
    const SideState& state = sides_[index(side_)];
    QString caption, captionTip;
    if (state.path.isEmpty()) {
        surface_->display({}, WindowTexts::pictureHint());
    } else if (state.pending) {
        // A quick drawing shows no message that would only flicker.
        surface_->display({}, slowDraw_->isActive() ? QString() : WindowTexts::pictureDrawing());
    } else if (!state.drawing || !state.drawing->level) {
        const core::EngineError unknown{.operation = core::Operation::Draw,
                                        .file = core::FileRole::SaveState,
                                        .step = core::Step::Read,
                                        .path = toEnginePath(state.path)};
        surface_->display({}, WindowTexts::pictureUnreadable(
                                  state.drawing && state.drawing->error ? *state.drawing->error : unknown));
    } else if (!state.drawing->box || state.drawing->picture.isNull()) {
        surface_->display({}, WindowTexts::pictureEmpty());
    } else {
        const LevelDrawing& drawing = *state.drawing;
        const int cell = drawing::cellPixels(drawing.game);
        // Marks in the picture's device-independent pixels.
        const double scale = static_cast<double>(cell) / drawing.factor / drawing.picture.devicePixelRatio();
        QList<QRectF> marks;
        for (const drawing::CellBox& mark : state.marks)
            marks.append(QRectF((mark.column - drawing.box->column) * scale, (mark.row - drawing.box->row) * scale,
                                mark.columns * scale, mark.rows * scale));
        const int width = drawing.box->columns * cell, height = drawing.box->rows * cell;
        const int emptied = static_cast<int>(state.marks.size()) + state.hiddenMarks;
        const bool preview = side_ == Side::After && state.preview;
        surface_->display(
            drawing.picture, {}, std::move(marks),
            (preview ? WindowTexts::previewDescription() + QLatin1Char(' ') : QString()) +
                WindowTexts::pictureDescription(state.path, width, height, drawing.factor,
                                                side_ == Side::After ? std::optional(emptied) : std::nullopt));
        caption = WindowTexts::pictureCaption(state.path, drawing.factor, preview);
        captionTip = WindowTexts::pictureCaptionTip(width, height, drawing.factor);
        if (emptied > 0)
            caption +=
                WindowTexts::emptiedCaption(static_cast<int>(state.marks.size()), state.hiddenMarks, state.preview);
    }
    caption_->setMessage(caption, captionTip);
}

LevelView* LevelPicture::openView() {
    SideState& state = sides_[index(side_)];
    if (state.pending || !state.drawing || !state.drawing->level || !state.drawing->box) return nullptr;
    if (!state.view) {
        const LevelDrawing& drawing = *state.drawing;
        LevelView::Source source{drawing.level, drawing.game,         drawing.plane, *drawing.box,
                                 state.path,    side_ == Side::After, state.marks};
        const double ratio = drawing.picture.isNull() ? 1.0 : drawing.picture.devicePixelRatio();
        source.shownScale = 1.0 / (drawing.factor * ratio);
        state.view = new LevelView(std::move(source), window());
        state.view->setAttribute(Qt::WA_DeleteOnClose);
        // Closing the window ends the program even while a view is open.
        state.view->setAttribute(Qt::WA_QuitOnClose, false);
    }
    state.view->show();
    state.view->raise();
    state.view->activateWindow();
    return state.view;
}

}  // namespace tavro::ui

#include "level_picture.moc"
