#include "level_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include <QAction>
#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QList>
#include <QMessageBox>
#include <QScreen>
#include <QToolButton>

#include "engine_adapters.h"
#include "file_chooser.h"
#include <tavro/pictures/picture_file.h>
#include "window_texts.h"
#include "zoom_area.h"

namespace tavro::ui {
namespace {

std::optional<QString> askWithFileDialog(QWidget* parent, const QString& suggested) {
    QFileDialog dialog(parent, WindowTexts::savePictureTitle(), suggested, WindowTexts::pngFilter());
    dialog.setObjectName(QStringLiteral("savePictureDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    const int answer = dialog.exec();
    closeLeftoverPopups();
    if (answer != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.constFirst();
}

QList<QRgb> colourTable(const drawing::Palette& palette) {
    QList<QRgb> table;
    table.reserve(static_cast<qsizetype>(palette.size()));
    for (const drawing::Rgba& colour : palette) table.append(qRgba(colour.r, colour.g, colour.b, colour.a));
    return table;
}

}  // namespace

LevelView::LevelView(Source source, QWidget* parent)
    : QDialog(parent), source_(std::move(source)), askSavePath_(askWithFileDialog) {
    setObjectName(QStringLiteral("levelView"));
    setWindowTitle(WindowTexts::viewTitle(source_.path, source_.converted));
    // A window of its own that can be made as large as the screen.
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    setSizeGripEnabled(true);

    if (source_.level) {
        indexed_ = drawing::drawPlane(*source_.level, source_.game, source_.plane, source_.box);
        palette_ = drawing::readPalette(*source_.level);
    }
    // The pixels stay where drawPlane put them; QImage only looks at them.
    // Their width is a whole number of cells, so every row is 32-bit aligned.
    if (!indexed_.pixels.empty()) {
        picture_ =
            QImage(indexed_.pixels.data(), indexed_.width, indexed_.height, indexed_.width, QImage::Format_Indexed8);
        picture_.setColorTable(colourTable(palette_));
    }

    buildControls();
    // Shrunk copies are made by the engine, each pixel the mean of the square it stands for.
    area_->setPicture(picture_, [this](int factor) {
        return rgbaPicture(drawing::scaleDown(indexed_, palette_, factor))
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    });
    QList<QRect> marks;
    const int cell = drawing::cellPixels(source_.game);
    for (const drawing::CellBox& mark : source_.marks)
        marks.append(QRect((mark.column - source_.box.column) * cell, (mark.row - source_.box.row) * cell,
                           mark.columns * cell, mark.rows * cell));
    area_->setMarks(std::move(marks));
}

LevelView::~LevelView() {
    // The area's copy of the picture must let go of the pixels before they go.
    area_->setPicture({});
}

void LevelView::buildActions() {
    const auto action = [this](const char* name, const QString& text, const QList<QKeySequence>& keys) {
        auto* made = new QAction(text, this);
        made->setObjectName(QLatin1String(name));
        made->setShortcuts(keys);
        made->setShortcutContext(Qt::WindowShortcut);
        if (!keys.isEmpty())
            made->setToolTip(text + QStringLiteral(" (") + keys.constFirst().toString(QKeySequence::NativeText) +
                             QLatin1Char(')'));
        addAction(made);
        return made;
    };
    // Ctrl+= is Ctrl++ without Shift on most keyboards.
    zoomIn_ = action("zoomIn", WindowTexts::zoomIn(),
                     {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    zoomOut_ = action("zoomOut", WindowTexts::zoomOut(), QKeySequence::keyBindings(QKeySequence::ZoomOut));
    actualSize_ = action("actualSize", WindowTexts::actualSize(), {QKeySequence(Qt::CTRL | Qt::Key_0)});
    save_ = action("savePicture", WindowTexts::savePicture(), QKeySequence::keyBindings(QKeySequence::Save));
    save_->setToolTip(WindowTexts::savePictureTip());
    save_->setEnabled(!picture_.isNull());
}

QHBoxLayout* LevelView::buildToolbar() {
    const auto button = [this](QAction* shown) {
        auto* made = new QToolButton(this);
        made->setDefaultAction(shown);
        made->setObjectName(shown->objectName() + QStringLiteral("Button"));
        return made;
    };

    zoomLevel_ = new QLabel(this);
    zoomLevel_->setObjectName(QStringLiteral("zoomLevel"));
    zoomLevel_->setAlignment(Qt::AlignCenter);
    zoomLevel_->setMinimumWidth(zoomLevel_->fontMetrics().horizontalAdvance(WindowTexts::zoomLevel(1.0 / 32)) + 8);
    auto* size = new QLabel(WindowTexts::pictureSize(picture_.width(), picture_.height()), this);
    size->setObjectName(QStringLiteral("pictureSize"));

    auto* controls = new QHBoxLayout;
    controls->addWidget(button(zoomOut_));
    controls->addWidget(zoomLevel_);
    controls->addWidget(button(zoomIn_));
    controls->addWidget(button(actualSize_));
    controls->addSpacing(12);
    controls->addWidget(size);
    controls->addStretch(1);
    controls->addWidget(button(save_));
    return controls;
}

void LevelView::buildControls() {
    buildActions();
    QHBoxLayout* controls = buildToolbar();

    area_ = new ZoomArea(this);
    area_->setObjectName(QStringLiteral("zoomArea"));
    area_->setAccessibleName(WindowTexts::pictureName());
    area_->setAccessibleDescription(windowTitle() + QStringLiteral(": ") +
                                    WindowTexts::pictureSize(picture_.width(), picture_.height()));

    note_ = new QLabel(WindowTexts::zoomTip(), this);
    note_->setObjectName(QStringLiteral("viewNote"));
    note_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(controls);
    layout->addWidget(area_, 1);
    layout->addWidget(note_);

    connect(zoomIn_, &QAction::triggered, area_, &ZoomArea::zoomIn);
    connect(zoomOut_, &QAction::triggered, area_, &ZoomArea::zoomOut);
    connect(actualSize_, &QAction::triggered, area_, [this] { area_->setZoomStep(0); });
    connect(save_, &QAction::triggered, this, &LevelView::savePicture);
    connect(area_, &ZoomArea::zoomChanged, this, &LevelView::showZoom);
    showZoom(area_->zoomStep());

    // Large enough for a long stretch of the level, never larger than the screen.
    QSize wanted(1000, 440);
    if (const QScreen* screen = this->screen()) wanted = wanted.boundedTo(screen->availableSize() * 9 / 10);
    resize(wanted);
}

void LevelView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (zoomChosen_) return;
    // The first time it is shown the view knows its size: the whole picture
    // fits, or as much of it as 1:32 allows, but never smaller than the
    // picture it enlarges; its middle in the middle.
    zoomChosen_ = true;
    int step = area_->fittingStep();
    const double shown = source_.shownScale;
    while (shown > 0.0 && step < ZoomArea::kMaxZoomStep && std::ldexp(1.0, step) < shown * 0.999) ++step;
    area_->setZoomStep(step);
    area_->centreOn({picture_.width() / 2.0, picture_.height() / 2.0});
}

void LevelView::showZoom(int step) {
    zoomLevel_->setText(WindowTexts::zoomLevel(area_->zoom()));
    zoomIn_->setEnabled(step < ZoomArea::kMaxZoomStep);
    zoomOut_->setEnabled(step > ZoomArea::kMinZoomStep);
}

QString LevelView::note() const { return note_->text(); }

QString LevelView::suggestedPath() const {
    const QFileInfo state(source_.path);
    return state.dir().filePath(state.completeBaseName() + QStringLiteral(".png"));
}

std::expected<void, core::EngineError> LevelView::saveTo(const QString& path) const {
    if (picture_.isNull()) {
        return std::unexpected(core::EngineError{.operation = core::Operation::SavePicture,
                                                 .file = core::FileRole::Picture,
                                                 .step = core::Step::Encode,
                                                 .path = toEnginePath(path),
                                                 .cause = core::Cause::EmptyPicture});
    }
    // The level shown (a preview's is not on disk yet) is drawn by the
    // engine, with the same checks as the command line's render.
    auto saved = pictures::savePicture(*source_.level, {.saveState = toEnginePath(source_.path),
                                                        .game = source_.game,
                                                        .plane = source_.plane,
                                                        .box = source_.box,
                                                        .scale = 1,
                                                        .picture = toEnginePath(path)});
    if (!saved) return std::unexpected(std::move(saved.error()));
    return {};
}

void LevelView::savePicture() {
    const std::optional<QString> path = askSavePath_(this, suggestedPath());
    if (!path) return;
    const auto saved = saveTo(*path);
    if (saved) {
        note_->setText(WindowTexts::pictureSaved(*path));
        return;
    }
    note_->setText(WindowTexts::pictureNotSavedTitle());
    QMessageBox box(QMessageBox::Warning, WindowTexts::pictureNotSavedTitle(),
                    WindowTexts::pictureNotSaved(saved.error()), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("saveFailureBox"));
    box.exec();
}

}  // namespace tavro::ui
