#include "main_window.h"

#include <exception>
#include <expected>
#include <utility>

#include <QAction>
#include <QBoxLayout>
#include <QCoreApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
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
#include <QPushButton>
#include <QSignalBlocker>
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

// The room a button's caption keeps from each side of its frame, in pixels.
constexpr int kCaptionMargin = 6;

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

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

MainWindow::MainWindow(QWidget* parent) : MainWindow(nullptr, parent) {}

MainWindow::MainWindow(std::unique_ptr<FileChooser> chooser, QWidget* parent)
    : QMainWindow(parent), fileChooser_(chooser ? std::move(chooser) : std::make_unique<DialogFileChooser>(this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Orrin -> Tavro 1 para Tavro 2 - SaveState Conversor"));
    setWindowIcon(applicationIcon());

    // The form at the top, at its own size, centred in a wider window; the
    // picture beneath it takes every pixel the window has beyond the form's.
    auto* client = new QWidget(this);
    auto* area = new QWidget(client);
    area->setObjectName(QStringLiteral("clientArea"));
    area->setFixedSize(kClientArea);
    buildControls(area);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(area, 0, Qt::AlignHCenter | Qt::AlignTop);
    column->addWidget(buildPicture(client), 1);
    setCentralWidget(client);

    buildUndoAction();
    buildPackAction();
    buildSwapAction();
    buildAboutAction();
    buildStatusBar();
    setTabOrderAndFocus();
    connectControls();
    acceptDrops();
    // The status line takes the window's width before the first layout, so
    // that the first message is not measured in a narrow line, many lines
    // tall, which the window would grow to hold.
    status_->resize(kClientArea.width(), status_->height());
    showStatus(WindowTexts::ready());
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls(QWidget* area) {
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

    // Each caption stays inside its button's frame, with room beside it, at
    // any scale: a caption too wide for the fixed size takes a smaller font.
    for (QPushButton* control : {sourceButton_, targetButton_, convertButton_}) {
        QFont font = control->font();
        const int room = control->width() - 2 * kCaptionMargin;
        while (font.pointSizeF() > 6.0 && QFontMetrics(font).horizontalAdvance(control->text()) > room)
            font.setPointSizeF(font.pointSizeF() - 0.25);
        if (font != control->font()) control->setFont(font);
    }

    // The credit reads as one line: "Programação:" ends next to the name.
    creditCaption_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The fixed captions are told in the user's language too.
    for (QWidget* credit : {static_cast<QWidget*>(creditCaption_), static_cast<QWidget*>(creditName_)}) {
        credit->setToolTip(WindowTexts::creditTip());
        credit->setAccessibleDescription(WindowTexts::creditTip());
    }

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
        control->setAccessibleDescription(control->toolTip());
    };
    shortcut(sourceButton_, WindowTexts::sourceButtonTip(), QKeySequence(QKeySequence::Open));
    shortcut(targetButton_, WindowTexts::targetButtonTip(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    shortcut(convertButton_, WindowTexts::convertButtonTip(), QKeySequence(Qt::CTRL | Qt::Key_Return));
}

void MainWindow::buildUndoAction() {
    undoAction_ = new QAction(WindowTexts::undoText(), this);
    undoAction_->setObjectName(QStringLiteral("undoAction"));
    undoAction_->setShortcut(QKeySequence::Undo);
    undoAction_->setShortcutContext(Qt::WindowShortcut);
    addAction(undoAction_);
    keepUndo(std::nullopt);
}

void MainWindow::buildPackAction() {
    packAction_ = new QAction(WindowTexts::packOffer(), this);
    packAction_->setObjectName(QStringLiteral("packAction"));
    packAction_->setToolTip(WindowTexts::packOfferTip());
}

void MainWindow::buildSwapAction() {
    swapAction_ = new QAction(WindowTexts::swapOffer(), this);
    swapAction_->setObjectName(QStringLiteral("swapAction"));
    swapAction_->setToolTip(WindowTexts::swapOfferTip());
}

void MainWindow::buildStatusBar() {
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
    undoButton_->setAutoRaise(false);  // drawn as a button, not as text
    // Shown only while it is on offer: where the plain conversion leaves cells
    // empty that packing carries, from the preview on.
    packButton_ = new QToolButton(bar);
    packButton_->setObjectName(QStringLiteral("packButton"));
    packButton_->setDefaultAction(packAction_);
    packButton_->setAutoRaise(false);
    // Shown only while the two files read as swapped.
    swapButton_ = new QToolButton(bar);
    swapButton_->setObjectName(QStringLiteral("swapButton"));
    swapButton_->setDefaultAction(swapAction_);
    swapButton_->setAutoRaise(false);
    // The buttons keep a margin from the window's edges and from each other.
    auto* buttons = new QWidget(bar);
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(2, 2, 4, 2);
    row->setSpacing(2);
    row->addWidget(swapButton_);
    row->addWidget(packButton_);
    row->addWidget(undoButton_);
    bar->addPermanentWidget(buttons);
    offerPack(false);
    offerSwap(false);
}

QWidget* MainWindow::buildPicture(QWidget* parent) {
    // The choices of the packed conversion and of a backup come first, right
    // beneath the form.
    auto* panel = new QWidget(parent);
    panel->setObjectName(QStringLiteral("picturePanel"));
    packCheck_ = new QCheckBox(WindowTexts::packCheck(), panel);
    packCheck_->setObjectName(QStringLiteral("packCheck"));
    packCheck_->setToolTip(WindowTexts::packCheckTip());
    backupCheck_ = new QCheckBox(WindowTexts::backupCheck(), panel);
    backupCheck_->setObjectName(QStringLiteral("backupCheck"));
    backupCheck_->setToolTip(WindowTexts::backupCheckTip());
    picture_ = new LevelPicture(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(8, 1, 8, 0);
    row->addWidget(packCheck_);
    row->addSpacing(12);
    row->addWidget(backupCheck_);
    row->addStretch(1);
    layout->addLayout(row);
    layout->addWidget(picture_, 1);
    return panel;
}

void MainWindow::buildAboutAction() {
    auto* about = new QAction(this);
    about->setObjectName(QStringLiteral("aboutAction"));
    about->setShortcut(QKeySequence::HelpContents);
    about->setShortcutContext(Qt::WindowShortcut);
    connect(about, &QAction::triggered, this, &MainWindow::showHelp);
    addAction(about);
}

void MainWindow::setTabOrderAndFocus() {
    // The labels take no focus; of the buttons, Command1 comes first and has
    // the focus when the window opens.
    setTabOrder(sourceButton_, targetButton_);
    setTabOrder(targetButton_, convertButton_);
    setTabOrder(convertButton_, packCheck_);
    setTabOrder(packCheck_, backupCheck_);
    setTabOrder(backupCheck_, swapButton_);
    setTabOrder(swapButton_, packButton_);
    setTabOrder(packButton_, undoButton_);
    sourceButton_->setFocus();
}

void MainWindow::connectControls() {
    connect(sourceButton_, &QPushButton::clicked, this, &MainWindow::sourceClicked);
    connect(targetButton_, &QPushButton::clicked, this, &MainWindow::targetClicked);
    connect(convertButton_, &QPushButton::clicked, this, &MainWindow::convertClicked);
    connect(undoAction_, &QAction::triggered, this, &MainWindow::undoLastConversion);
    connect(packAction_, &QAction::triggered, this, &MainWindow::convertPacked);
    connect(swapAction_, &QAction::triggered, this, &MainWindow::swapFiles);
    // The preview follows the choice of numbering.
    connect(packCheck_, &QCheckBox::toggled, this, [this] {
        picture_->forgetConverted();
        checkChoices();
    });
}

void MainWindow::acceptDrops() {
    for (QWidget* control : {static_cast<QWidget*>(sourceLabel_), static_cast<QWidget*>(sourceButton_),
                             static_cast<QWidget*>(targetLabel_), static_cast<QWidget*>(targetButton_)}) {
        control->setAcceptDrops(true);
        control->installEventFilter(this);
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    // It opens at the size that fits the form and the smallest picture (Qt
    // gives a window its layout's size when first shown), and cannot be
    // made smaller than that.
    if (!opened_) {
        opened_ = true;
        setMinimumSize(size());
    }
    QMainWindow::showEvent(event);
}

QString MainWindow::statusText() const { return status_->text(); }

bool MainWindow::packs() const { return packCheck_->isChecked(); }

bool MainWindow::keepsBackup() const { return backupCheck_->isChecked(); }

void MainWindow::sourceClicked() {
    if (const std::optional<QString> path = fileChooser_->showOpen()) choose(PathRole::Source, *path);
}

void MainWindow::targetClicked() {
    if (const std::optional<QString> path = fileChooser_->showSave()) choose(PathRole::Target, *path);
}

void MainWindow::chooseSource(const QString& path) { choose(PathRole::Source, path); }

void MainWindow::chooseTarget(const QString& path) { choose(PathRole::Target, path); }

void MainWindow::choose(PathRole role, const QString& path) {
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
    checkChoices();
}

bool MainWindow::checkChoices() {
    preview_.reset();
    offerSwap(false);
    if (!sourcePath_.isEmpty()) {
        std::expected<core::GameVerdict, core::EngineError> verdict;
        if (!guarded(WindowTexts::conversionFailedTitle(),
                     [&] { verdict = tavro::run::sourceVerdict(toEnginePath(sourcePath_)); }))
            return false;
        if (!verdict) {
            showStatus(WindowTexts::notReady(verdict.error()));
            return false;
        }
        // With both files chosen, the run's check says whether they read as swapped.
        if (!verdict->isFirstGame() && targetPath_.isEmpty()) {
            showStatus(WindowTexts::notFirstGameLevel(sourcePath_));
            return false;
        }
    }
    if (sourcePath_.isEmpty() || targetPath_.isEmpty()) {
        showStatus(WindowTexts::nextChoice(sourcePath_.isEmpty(), targetPath_.isEmpty()));
        return false;
    }

    // A dry run makes every check the run makes; only then is the preview drawn.
    const std::string source = toEnginePath(sourcePath_), target = toEnginePath(targetPath_);
    const run::RunOptions options{.dryRun = true, .backup = backupCheck_->isChecked(), .pack = packCheck_->isChecked()};
    std::expected<run::ConversionReport, core::EngineError> dryRun;
    std::expected<ConversionPreview, core::EngineError> preview;
    if (!guarded(WindowTexts::conversionFailedTitle(), [&] {
            dryRun = tavro::run::runConversion(source, target, options);
            if (dryRun) preview = previewOf(*dryRun);
        }))
        return false;
    if (!dryRun) {
        const core::EngineError& error = dryRun.error();
        QString line = WindowTexts::notReady(error);
        if (error.cause == core::Cause::NotFirstGameLevel) line = WindowTexts::notFirstGameLevel(sourcePath_);
        if (error.cause == core::Cause::LooksSwapped) line = WindowTexts::looksSwapped(sourcePath_);
        showStatus(line, WindowTexts::conversionFailureText(error));
        offerSwap(error.cause == core::Cause::LooksSwapped);
        return false;
    }
    if (!preview) {
        showStatus(WindowTexts::notReady(preview.error()));
        return false;
    }
    // Cells the plain conversion would leave empty: packing is offered before
    // anything is written, where it carries more of them.
    bool packCarries = false;
    const core::LevelSummary& summary = preview->summary;
    if (summary.numbering == core::ChunkNumbering::Fixed && summary.cellsLost > 0) {
        run::RunOptions packed = options;
        packed.pack = true;
        std::expected<run::ConversionReport, core::EngineError> packedRun;
        if (!guarded(WindowTexts::conversionFailedTitle(),
                     [&] { packedRun = tavro::run::runConversion(source, target, packed); }))
            return false;
        packCarries = packedRun && packedRun->level.cellsLost < summary.cellsLost;
    }
    offerPack(packCarries, false);
    showStatus(WindowTexts::readyToConvert(summary, packCarries), WindowTexts::levelDetails(preview->summary));
    picture_->showPreview(targetPath_, preview->level, preview->summary.emptiedCells);
    preview_ = std::move(*preview);
    return true;
}

bool MainWindow::guarded(const QString& failureTitle, const std::function<void()>& work) {
    try {
        const WaitCursor busy;
        // Pictures are drawn on worker threads that read the save states: a
        // file one of them has open would count as another program's when
        // the run checks that nobody else holds the target open.
        picture_->waitForDrawings();
        work();
        return true;
    } catch (const std::exception& failure) {
        const QString text = WindowTexts::unexpectedFailure(QString::fromLocal8Bit(failure.what()));
        showStatus(text);
        showFailure(failureTitle, text);
        return false;
    }
}

void MainWindow::convertClicked() { convert({}); }

void MainWindow::convertPacked() {
    // Offered from the preview, it is a first conversion; offered after a
    // plain one, it converts that one again.
    const UndoStart start{.packedBefore = packCheck_->isChecked(), .repeats = packRepeats_};
    packCheck_->setChecked(true);
    convert(start);
}

void MainWindow::swapFiles() {
    const QString source = targetPath_;
    const QString target = sourcePath_;
    targetPath_.clear();
    choose(PathRole::Source, source);
    choose(PathRole::Target, target);
}

void MainWindow::convert(const UndoStart& start) {
    offerPack(false);
    if (sourcePath_.isEmpty() || targetPath_.isEmpty()) {
        showStatus(WindowTexts::choosePaths(sourcePath_.isEmpty(), targetPath_.isEmpty()));
        return;
    }
    if (!previewStillHolds()) return;

    showStatus(WindowTexts::converting(targetPath_));
    status_->repaint();  // the run holds the event loop until it ends

    const std::string source = toEnginePath(sourcePath_), target = toEnginePath(targetPath_);
    run::RunOptions options{.backup = backupCheck_->isChecked(), .pack = packCheck_->isChecked()};
    std::expected<run::ConversionReport, core::EngineError> result;
    const QString failureTitle = WindowTexts::conversionFailedTitle();
    if (!guarded(failureTitle, [&] { result = tavro::run::runConversion(source, target, options); })) return;
    // A source that does not look like a Tavro 1 state, or a target that does not look like a Tavro 2
    // one, is converted only when the user says so.
    if (!result &&
        (result.error().cause == core::Cause::NotFirstGameLevel || result.error().cause == core::Cause::LooksSwapped ||
         result.error().cause == core::Cause::NotSecondGameState)) {
        // A Yes for the source alone still has the target judged, and asked about in turn.
        for (bool asking = true; asking;) {
            if (!askConvertAnyway(result.error())) {
                showStatus(WindowTexts::notConverted(result.error()),
                           WindowTexts::conversionFailureText(result.error()));
                offerSwap(result.error().cause == core::Cause::LooksSwapped);
                return;
            }
            const bool sourceOnly = result.error().cause == core::Cause::NotFirstGameLevel;
            (sourceOnly ? options.forceSource : options.force) = true;
            if (!guarded(failureTitle, [&] { result = tavro::run::runConversion(source, target, options); })) return;
            asking = sourceOnly && !result && result.error().cause == core::Cause::NotSecondGameState;
        }
    }

    if (!result) {
        // A failure after the target was replaced still leaves a way back.
        if (result.error().undo) keepUndo(UndoEntry{*result.error().undo, start.packedBefore});
        const QString story = WindowTexts::conversionFailureText(result.error());
        showStatus(WindowTexts::conversionFailed(result.error()), story);
        showFailure(failureTitle, story);
        return;
    }
    showConverted(std::move(*result), start);
}

bool MainWindow::previewStillHolds() {
    // What is written is what the preview showed: files changed since are
    // checked and previewed again, and converted only on the next press.
    if (!preview_) return true;
    const core::Bytes shown = std::move(preview_->target);
    if (!checkChoices()) return false;
    if (preview_->target == shown) return true;
    showStatus(WindowTexts::previewOutdated());
    return false;
}

void MainWindow::showConverted(run::ConversionReport report, const UndoStart& start) {
    preview_.reset();
    const core::LevelSummary& level = report.level;
    QString line = WindowTexts::converted(report);
    // The bytes from before both runs stay in the first run's backup.
    if (start.repeats && undo_ && !undo_->record.backups.empty() && report.backupPath)
        line += QLatin1Char(' ') + WindowTexts::originalKeptIn(fromEnginePath(undo_->record.backups.front().path));
    if (start.repeats) line += QLatin1Char(' ') + WindowTexts::packingStaysOn();
    showStatus(line, WindowTexts::levelDetails(level));
    picture_->showConverted(targetPath_, level.emptiedCells);
    offerSwap(false);
    offerPack(level.numbering == core::ChunkNumbering::Fixed && level.cellsLost > 0, true);
    // A run that wrote nothing leaves the last undo as it was: it still applies.
    if (!report.undo) return;
    UndoEntry entry{std::move(*report.undo), start.packedBefore};
    // A repeat over what the last run wrote undoes to before that run, and
    // puts the box back as it was then.
    if (start.repeats && undo_) {
        entry.record = run::undoBoth(undo_->record, std::move(entry.record));
        if (undo_->packedBefore) entry.packedBefore = undo_->packedBefore;
    }
    keepUndo(std::move(entry));
}

void MainWindow::offerPack(bool offered, bool repeats) {
    packRepeats_ = offered && repeats;
    packAction_->setEnabled(offered);
    packAction_->setToolTip(repeats ? WindowTexts::packOfferTip() : WindowTexts::packPreviewOfferTip());
    packButton_->setVisible(offered);
}

void MainWindow::offerSwap(bool offered) {
    swapAction_->setEnabled(offered);
    swapButton_->setVisible(offered);
}

void MainWindow::undoLastConversion() {
    if (!undo_) {
        showStatus(WindowTexts::nothingToUndo());
        return;
    }
    const QString target = fromEnginePath(undo_->record.targetPath);

    std::expected<run::UndoReport, core::EngineError> result;
    if (!guarded(WindowTexts::undoFailedTitle({}), [&] { result = tavro::run::undoConversion(undo_->record); })) return;

    if (result) {
        if (undo_->packedBefore) {
            const QSignalBlocker quiet(packCheck_);
            packCheck_->setChecked(*undo_->packedBefore);
        }
        keepUndo(std::nullopt);
        offerPack(false);
        picture_->forgetConverted();
        // The files are as they were before the conversion: so is the preview.
        checkChoices();
        showStatus(WindowTexts::undone(*result, target));
        return;
    }
    // A target changed by someone else would be refused again; other failures
    // may pass, so the undo stays on offer for them.
    if (run::undoRefused(result.error())) keepUndo(std::nullopt);
    const QString story = WindowTexts::undoFailureText(result.error());
    showStatus(WindowTexts::undoFailed(result.error()), story);
    showFailure(WindowTexts::undoFailedTitle(result.error()), story);
}

void MainWindow::keepUndo(std::optional<UndoEntry> entry) {
    undo_ = std::move(entry);
    undoAction_->setEnabled(undo_.has_value());
    undoAction_->setToolTip(undo_ ? WindowTexts::undoToolTip(fromEnginePath(undo_->record.targetPath))
                                  : WindowTexts::nothingToUndo());
}

void MainWindow::showStatus(const QString& line, const QString& details) { status_->setMessage(line, details); }

bool MainWindow::askConvertAnyway(const core::EngineError& error) {
    QMessageBox box(QMessageBox::Question, WindowTexts::convertAnywayTitle(), WindowTexts::convertAnyway(error),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setObjectName(QStringLiteral("convertAnywayBox"));
    return box.exec() == QMessageBox::Yes;
}

void MainWindow::showHelp() {
    QMessageBox box(QMessageBox::Information, WindowTexts::helpTitle(), WindowTexts::helpText(), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("helpBox"));
    box.setTextFormat(Qt::RichText);
    box.setIconPixmap(windowIcon().pixmap(64));
    QPushButton* about = box.addButton(WindowTexts::aboutButton(), QMessageBox::HelpRole);
    about->setObjectName(QStringLiteral("aboutButton"));
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    if (box.clickedButton() == about) showAbout();
}

void MainWindow::showAbout() {
    QMessageBox box(QMessageBox::NoIcon, WindowTexts::aboutTitle(),
                    WindowTexts::aboutText(QCoreApplication::applicationVersion()), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.setTextFormat(Qt::RichText);
    box.setIconPixmap(windowIcon().pixmap(64));
    box.exec();
}

void MainWindow::showFailure(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("failureBox"));
    box.exec();
}

std::optional<MainWindow::PathRole> MainWindow::dropRoleOf(const QObject* watched) const {
    if (watched == sourceLabel_ || watched == sourceButton_) return PathRole::Source;
    if (watched == targetLabel_ || watched == targetButton_) return PathRole::Target;
    return std::nullopt;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
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
