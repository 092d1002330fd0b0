#include "main_window.h"

#include <exception>
#include <expected>
#include <utility>

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QList>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QProxyStyle>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>

#include "elided_label.h"
#include "engine_adapters.h"
#include "file_chooser.h"
#include "icon_pixels.h"
#include "level_picture.h"
#include "message_label.h"
#include "window_texts.h"

namespace tavro::ui {
namespace {

// The controls are placed in twips, fifteen to a pixel.
constexpr int kTwipsPerPixel = 15;

constexpr int pixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

constexpr QRect fromTwips(int left, int top, int width, int height) {
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

constexpr QSize kClientArea{pixels(6630), pixels(2535)};

// The icon's pixels are compiled in (rendered from its SVG by the build), so
// showing the window decodes no image file.
QIcon applicationIcon() {
    QIcon icon;
    for (const icon::Pixels& pixels : icon::kSizes) {
        const QImage image(reinterpret_cast<const uchar*>(pixels.argb), pixels.size, pixels.size,
                           QImage::Format_ARGB32_Premultiplied);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

// The one local file a drag carries, if it carries exactly one.
std::optional<QString> draggedFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return std::nullopt;
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile()) return std::nullopt;
    const QString path = urls.constFirst().toLocalFile();
    if (path.isEmpty()) return std::nullopt;
    return path;
}

bool sameFile(const QString& first, const QString& second) {
    const QFileInfo a(first);
    const QFileInfo b(second);
    if (a.exists() && b.exists()) return a.canonicalFilePath() == b.canonicalFilePath();
    return QDir::cleanPath(a.absoluteFilePath()) == QDir::cleanPath(b.absoluteFilePath());
}

// The window's own style: no separator between the form and the picture
// beneath it, which would only offer to drag a size that cannot change.
class NoDockSeparator : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_DockWidgetSeparatorExtent) return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

Form1::Form1(QWidget* parent) : Form1(nullptr, parent) {}

Form1::Form1(std::unique_ptr<FileChooser> chooser, QWidget* parent)
    : QMainWindow(parent),
      fileChooser_(chooser ? std::move(chooser) : std::make_unique<DialogFileChooser>(this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Orrin -> Tavro 1 para Tavro 2 - SaveState Conversor"));
    setWindowIcon(applicationIcon());

    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("clientArea"));
    area->setFixedSize(kClientArea);
    buildControls(area);
    setCentralWidget(area);

    buildUndoAction();
    buildPackAction();
    buildStatusBar();
    buildPicture();
    setTabOrderAndFocus();
    connectControls();
    acceptDrops();
    fixWindowFrame();
    showStatus(WindowTexts::ready());
}

Form1::~Form1() {
    // Its own style is one of its children: the window lets go of it before
    // the children go.
    setStyle(nullptr);
}

void Form1::buildControls(QWidget* area) {
    const auto button = [area](const char* name, const QString& caption, QRect place) {
        auto* control = new QPushButton(caption, area);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(place);
        return control;
    };
    const auto label = [area](auto* control, const char* name, QRect place) {
        control->setParent(area);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(place);
        return control;
    };

    sourceLabel_ = label(new ElidedLabel(Qt::ElideMiddle), "Label1", fromTwips(120, 120, 6375, 255));
    sourceButton_ = button("Command1", QStringLiteral("Tavro 1 Save State"), fromTwips(2288, 480, 2055, 255));
    targetLabel_ = label(new ElidedLabel(Qt::ElideMiddle), "Label2", fromTwips(120, 840, 6375, 255));
    targetButton_ = button("Command2", QStringLiteral("Tavro 2 / 2 B Savestate"), fromTwips(2288, 1200, 2055, 255));
    convertButton_ = button("Command3", QStringLiteral("Converter"), fromTwips(2640, 1680, 1455, 255));
    creditCaption_ = label(new QLabel(QStringLiteral("Programação:")), "Label3", fromTwips(1440, 2160, 1695, 255));
    creditName_ = label(new QLabel(QStringLiteral("Orrin")), "Label4", fromTwips(3360, 2160, 1695, 255));

    // The credit reads as one line: "Programação:" ends next to the name.
    creditCaption_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The path lines show no caption of their own: assistive technology
    // names them, and tells the whole path.
    sourceLabel_->setAccessibleName(WindowTexts::sourceLineName());
    targetLabel_->setAccessibleName(WindowTexts::targetLineName());
    sourceLabel_->setAccessibleDescription(WindowTexts::noFileChosen());
    targetLabel_->setAccessibleDescription(WindowTexts::noFileChosen());

    // The captions are fixed, so the buttons take shortcuts rather than
    // mnemonics; their tooltips tell them.
    const auto shortcut = [this](QPushButton* control, const QString& tip, const QKeySequence& keys) {
        auto* action = new QAction(control);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, control, &QPushButton::animateClick);
        addAction(action);
        control->setToolTip(tip + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) + QLatin1Char(')'));
    };
    shortcut(sourceButton_, WindowTexts::sourceButtonTip(), QKeySequence(QKeySequence::Open));
    shortcut(targetButton_, WindowTexts::targetButtonTip(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    shortcut(convertButton_, WindowTexts::convertButtonTip(), QKeySequence(Qt::CTRL | Qt::Key_Return));
}

void Form1::buildUndoAction() {
    undoAction_ = new QAction(WindowTexts::undoText(), this);
    undoAction_->setObjectName(QStringLiteral("undoAction"));
    undoAction_->setShortcut(QKeySequence::Undo);
    undoAction_->setShortcutContext(Qt::WindowShortcut);
    addAction(undoAction_);
    keepUndo(std::nullopt);
}

void Form1::buildPackAction() {
    packAction_ = new QAction(WindowTexts::packOffer(), this);
    packAction_->setObjectName(QStringLiteral("packAction"));
    packAction_->setToolTip(WindowTexts::packOfferTip());
}

void Form1::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);

    // Two lines are kept for the message, so that the window keeps its height
    // for all but the longest; those take the lines they need.
    status_ = new MessageLabel(2, bar);
    status_->setObjectName(QStringLiteral("statusMessage"));
    status_->setIndent(4);
    bar->addWidget(status_, 1);

    // Always there, enabled when there is something to undo, so that the
    // status bar (and the window) keeps its height.
    undoButton_ = new QToolButton(bar);
    undoButton_->setObjectName(QStringLiteral("undoButton"));
    undoButton_->setDefaultAction(undoAction_);
    undoButton_->setAutoRaise(true);
    // Shown only while it is on offer: after a default conversion that left cells empty.
    packButton_ = new QToolButton(bar);
    packButton_->setObjectName(QStringLiteral("packButton"));
    packButton_->setDefaultAction(packAction_);
    packButton_->setAutoRaise(true);
    bar->addPermanentWidget(packButton_);
    bar->addPermanentWidget(undoButton_);
    offerPack(false);
}

void Form1::buildPicture() {
    // The picture sits outside the form's area, between it and the status bar,
    // in a dock that cannot move, close or float and shows no title.
    auto* style = new NoDockSeparator;
    style->setParent(this);
    setStyle(style);  // for the window alone: its controls keep the application's
    // The choice of the packed conversion comes first, right beneath the form.
    auto* dock = new QDockWidget(this);
    auto* panel = new QWidget(dock);
    packCheck_ = new QCheckBox(WindowTexts::packCheck(), panel);
    packCheck_->setObjectName(QStringLiteral("packCheck"));
    packCheck_->setToolTip(WindowTexts::packCheckTip());
    picture_ = new LevelPicture(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(8, 2, 8, 0);
    row->addWidget(packCheck_);
    layout->addLayout(row);
    layout->addWidget(picture_);
    dock->setObjectName(QStringLiteral("pictureDock"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setTitleBarWidget(new QWidget(dock));
    dock->setWidget(panel);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
}

void Form1::setTabOrderAndFocus() {
    // The labels take no focus; of the buttons, Command1 comes first and has
    // the focus when the window opens.
    setTabOrder(sourceButton_, targetButton_);
    setTabOrder(targetButton_, convertButton_);
    setTabOrder(convertButton_, packCheck_);
    setTabOrder(packCheck_, packButton_);
    setTabOrder(packButton_, undoButton_);
    sourceButton_->setFocus();
}

void Form1::connectControls() {
    connect(sourceButton_, &QPushButton::clicked, this, &Form1::sourceClicked);
    connect(targetButton_, &QPushButton::clicked, this, &Form1::targetClicked);
    connect(convertButton_, &QPushButton::clicked, this, &Form1::convertClicked);
    connect(undoAction_, &QAction::triggered, this, &Form1::undoLastConversion);
    connect(packAction_, &QAction::triggered, this, &Form1::convertPacked);
}

void Form1::acceptDrops() {
    for (QWidget* control : {static_cast<QWidget*>(sourceLabel_), static_cast<QWidget*>(sourceButton_),
                             static_cast<QWidget*>(targetLabel_), static_cast<QWidget*>(targetButton_)}) {
        control->setAcceptDrops(true);
        control->installEventFilter(this);
    }
}

void Form1::fixWindowFrame() {
    // A fixed size, and no maximise button: the layout is made for one size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QString Form1::statusText() const { return status_->text(); }

bool Form1::packs() const { return packCheck_->isChecked(); }

void Form1::sourceClicked() {
    if (const std::optional<QString> path = fileChooser_->showOpen()) choose(PathRole::Source, *path);
}

void Form1::targetClicked() {
    if (const std::optional<QString> path = fileChooser_->showSave()) choose(PathRole::Target, *path);
}

void Form1::chooseSource(const QString& path) { choose(PathRole::Source, path); }

void Form1::chooseTarget(const QString& path) { choose(PathRole::Target, path); }

void Form1::choose(PathRole role, const QString& path) {
    // A dropped file is offered by the next dialog just as a chosen one is.
    fileChooser_->setFileName(path);
    if (role == PathRole::Source) {
        sourcePath_ = path;
        sourceLabel_->setFullText(WindowTexts::shown(QDir::toNativeSeparators(path)));
        sourceLabel_->setAccessibleDescription(WindowTexts::shown(QDir::toNativeSeparators(path)));
        picture_->showSource(path);
    } else {
        targetPath_ = path;
        targetLabel_->setFullText(WindowTexts::shown(QDir::toNativeSeparators(path)));
        targetLabel_->setAccessibleDescription(WindowTexts::shown(QDir::toNativeSeparators(path)));
        picture_->forgetConverted();
    }
    offerPack(false);

    const auto evidence = sourcePath_.isEmpty() ? std::nullopt
                                                : std::optional(tavro::sourceEvidence(toEnginePath(sourcePath_)));
    if (evidence && *evidence && !(*evidence)->holdsLevel())
        showStatus(WindowTexts::notFirstGameLevel());
    else if (!sourcePath_.isEmpty() && !targetPath_.isEmpty() && sameFile(sourcePath_, targetPath_))
        showStatus(WindowTexts::samePath());
    else
        showStatus(WindowTexts::nextChoice(sourcePath_.isEmpty(), targetPath_.isEmpty()));
}

void Form1::convertClicked() { convert(false); }

void Form1::convertPacked() {
    packCheck_->setChecked(true);
    convert(true);
}

void Form1::convert(bool repeat) {
    offerPack(false);
    if (sourcePath_.isEmpty() || targetPath_.isEmpty()) {
        showStatus(WindowTexts::choosePaths(sourcePath_.isEmpty(), targetPath_.isEmpty()));
        return;
    }

    showStatus(WindowTexts::converting(targetPath_));
    status_->repaint();  // the run holds the event loop until it ends

    std::expected<ConversionReport, ConversionError> result;
    try {
        const RunOptions options{.pack = packCheck_->isChecked()};
        std::optional<WaitCursor> busy(std::in_place);
        result = tavro::runConversion(toEnginePath(sourcePath_), toEnginePath(targetPath_), options);
        // A source that does not look like a Tavro 1 level is converted only when the user says so.
        if (!result && (result.error().cause == Cause::NotFirstGameLevel || result.error().cause == Cause::LooksSwapped)) {
            busy.reset();
            if (!askConvertAnyway(result.error())) {
                showStatus(WindowTexts::conversionFailed(result.error()), WindowTexts::conversionFailureText(result.error()));
                return;
            }
            busy.emplace();
            result = tavro::runConversion(toEnginePath(sourcePath_), toEnginePath(targetPath_),
                                          RunOptions{.pack = options.pack, .force = true});
        }
    } catch (const std::exception& failure) {
        const QString text = WindowTexts::unexpectedFailure(QString::fromLocal8Bit(failure.what()));
        showStatus(text);
        showFailure(WindowTexts::conversionFailedTitle(), text);
        return;
    }

    if (!result) {
        // A failure after the target was replaced still leaves a way back.
        if (result.error().undo) keepUndo(std::move(result.error().undo));
        const QString story = WindowTexts::conversionFailureText(result.error());
        showStatus(WindowTexts::conversionFailed(result.error()), story);
        showFailure(WindowTexts::conversionFailedTitle(), story);
        return;
    }
    const LevelSummary& level = result->level;
    showStatus(WindowTexts::converted(*result));
    picture_->showConverted(targetPath_, level.emptiedCells);
    offerPack(level.numbering == ChunkNumbering::Fixed && level.cellsLost > 0);
    // A run that wrote nothing leaves the last undo as it was: it still applies.
    if (!result->undo) return;
    // A repeat over what the last run wrote undoes to before that run.
    if (repeat && undo_) result->undo = undoBoth(*undo_, std::move(*result->undo));
    keepUndo(std::move(result->undo));
}

void Form1::offerPack(bool offered) {
    packAction_->setEnabled(offered);
    packButton_->setVisible(offered);
}

void Form1::undoLastConversion() {
    if (!undo_) {
        showStatus(WindowTexts::nothingToUndo());
        return;
    }
    const QString target = fromEnginePath(undo_->targetPath);

    std::expected<UndoOutcome, ConversionError> result;
    try {
        const WaitCursor busy;
        result = tavro::undoConversion(*undo_);
    } catch (const std::exception& failure) {
        const QString text = WindowTexts::unexpectedFailure(QString::fromLocal8Bit(failure.what()));
        showStatus(text);
        showFailure(WindowTexts::undoFailedTitle({}), text);
        return;
    }

    if (result) {
        keepUndo(std::nullopt);
        offerPack(false);
        picture_->forgetConverted();
        showStatus(WindowTexts::undone(*result, target));
        return;
    }
    // A target changed by someone else would be refused again; other failures
    // may pass, so the undo stays on offer for them.
    if (result.error().step == Step::Changed) keepUndo(std::nullopt);
    const QString story = WindowTexts::undoFailureText(result.error());
    showStatus(WindowTexts::undoFailed(result.error()), story);
    showFailure(WindowTexts::undoFailedTitle(result.error()), story);
}

void Form1::keepUndo(std::optional<UndoRecord> record) {
    undo_ = std::move(record);
    undoAction_->setEnabled(undo_.has_value());
    undoAction_->setToolTip(undo_ ? WindowTexts::undoToolTip(fromEnginePath(undo_->targetPath))
                                  : WindowTexts::nothingToUndo());
}

void Form1::showStatus(const QString& line, const QString& details) {
    status_->setMessage(line);
    status_->setToolTip(details == line ? QString() : details);
}

bool Form1::askConvertAnyway(const ConversionError& error) {
    QMessageBox box(QMessageBox::Question, WindowTexts::convertAnywayTitle(), WindowTexts::convertAnyway(error),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setObjectName(QStringLiteral("convertAnywayBox"));
    return box.exec() == QMessageBox::Yes;
}

void Form1::showFailure(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("failureBox"));
    box.exec();
}

std::optional<Form1::PathRole> Form1::dropRoleOf(const QObject* watched) const {
    if (watched == sourceLabel_ || watched == sourceButton_) return PathRole::Source;
    if (watched == targetLabel_ || watched == targetButton_) return PathRole::Target;
    return std::nullopt;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QMainWindow::eventFilter(watched, event);
    const std::optional<PathRole> role = dropRoleOf(watched);
    if (!role) return QMainWindow::eventFilter(watched, event);

    auto* drag = static_cast<QDropEvent*>(event);
    const std::optional<QString> path = draggedFile(drag->mimeData());
    // The file stays where it is: only a copy or a link is accepted, never a move.
    const Qt::DropActions allowed = drag->possibleActions();
    if (!path || !(allowed & (Qt::CopyAction | Qt::LinkAction))) {
        drag->ignore();
        return true;
    }
    drag->setDropAction(allowed & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
    drag->accept();
    if (type == QEvent::Drop) choose(*role, *path);
    return true;
}

}  // namespace tavro::ui
