// The window: the form's layout, its own file dialog answered as a user
// answers it (select the file name field, type a path, press Return or
// Escape), and, with the dialog stood in for by a script, choosing files,
// converting, failing, dropping, undoing and Portuguese; then the level
// picture beneath the form and its larger view, compared with what the
// engine draws, pixel for pixel.
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <tuple>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QCompleter>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include "cell_marks.h"
#include <tavro/conversion.h>
#include "elided_label.h"
#include "file_chooser.h"
#include "level_picture.h"
#include <tavro/level_render.h>
#include "level_view.h"
#include "main_window.h"
#include "message_label.h"
#include "png_decode.h"
#include <tavro/picture_file.h>
#include <tavro/png_image.h>
#include <tavro/region_map.h>
#include "translations.h"
#include "window_texts.h"
#include "zoom_area.h"

using namespace tavro;
using namespace tavro::ui;
namespace render = tavro::render;
using Side = LevelPicture::Side;

namespace {

// The sample pair the build generates.
const QString kSampleSource = QStringLiteral(TAVRO_SAMPLE_SOURCE);
const QString kSampleTarget = QStringLiteral(TAVRO_SAMPLE_TARGET);
const QString kSampleBig = QStringLiteral(TAVRO_SAMPLE_BIG);  // names chunks 1 to 82

// Answers each dialog with the next scripted path; nothing scripted, or an
// empty optional, means the user cancelled.
class ScriptedChooser final : public FileChooser {
public:
    std::deque<std::optional<QString>> answers;

    std::optional<QString> showOpen() override { return next(); }
    std::optional<QString> showSave() override { return next(); }
    QString fileName() const override { return fileName_; }
    void setFileName(const QString& path) override { fileName_ = path; }

private:
    std::optional<QString> next() {
        const std::optional<QString> answer = answers.empty() ? std::nullopt : answers.front();
        if (!answers.empty()) answers.pop_front();
        fileName_ = answer.value_or(fileName_);
        return answer;
    }
    QString fileName_;
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The target's bytes after a conversion, as the engine makes it in memory.
QByteArray convertedInMemory(const QByteArray& source, const QByteArray& target,
                                    ChunkNumbering numbering = ChunkNumbering::Fixed) {
    const auto bytes = [](const QByteArray& data) {
        const auto* begin = reinterpret_cast<const std::uint8_t*>(data.constData());
        return Bytes(begin, begin + data.size());
    };
    const Bytes patched = patchTarget(bytes(target), convertRegions(readSourceRegions(bytes(source)), numbering));
    return QByteArray(reinterpret_cast<const char*>(patched.data()), static_cast<qsizetype>(patched.size()));
}

// A window with a scripted file dialog, and a private folder for its files.
struct Fixture {
    QTemporaryDir dir;  // outlives the window
    std::unique_ptr<ScriptedChooser> script = std::make_unique<ScriptedChooser>();
    ScriptedChooser* chooser = script.get();
    std::unique_ptr<Form1> window = std::make_unique<Form1>(std::move(script));

    template <class Control = QWidget>
    Control* find(const char* name) const {
        return window->findChild<Control*>(QLatin1String(name));
    }
    void click(const char* name) const { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
    QString path(const QString& name) const { return dir.filePath(name); }
    // A copy of `sample` in the folder, under `name`.
    QString copyOf(const QString& sample, const QString& name) const {
        return QFile::copy(sample, path(name)) ? path(name) : QString();
    }
    bool showActive() const {
        window->show();
        return QTest::qWaitForWindowActive(window.get());
    }
};

// Answers the next modal window once it is shown and active. Call expect()
// before the action that opens the window (which blocks until it closes).
// Unless stop() or expect() comes first, a watchdog closes every modal window
// still open after `timeoutMs` and marks the wait timed out, so a test whose
// window never comes, or that opens one more than it answers, fails instead
// of hanging.
class ModalAnswerer : public QObject {
public:
    using Answer = std::function<void(QWidget* modal)>;

    void expect(Answer answer, int timeoutMs = 10000) {
        answer_ = std::move(answer);
        answered_ = timedOut_ = false;
        ++generation_;
        poll();
        QTimer::singleShot(timeoutMs, this, [this, generation = generation_] {
            if (generation != generation_) return;
            timedOut_ = timedOut_ || !answered_;
            for (int left = 10; left > 0 && QApplication::activeModalWidget(); --left) {
                timedOut_ = true;
                QApplication::activeModalWidget()->close();  // a dialog closed is a dialog rejected
            }
        });
    }
    // Stops waiting: nothing more will be answered or closed.
    void stop() { ++generation_; }
    // Answered in time, by this answerer rather than the watchdog.
    bool answered() const { return answered_ && !timedOut_; }

private:
    void poll() {
        QTimer::singleShot(20, this, [this, generation = generation_] {
            if (generation != generation_ || answered_ || timedOut_) return;
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || !modal->windowHandle() || !modal->windowHandle()->isExposed())
                return poll();
            // Nothing else activates a dialog here: there is no window manager.
            if (!modal->isActiveWindow()) return modal->activateWindow(), poll();
            answered_ = true;
            answer_(modal);
        });
    }

    Answer answer_;
    bool answered_ = false, timedOut_ = false;
    int generation_ = 0;
};


// Sends a drag of `urls` over `widget` and drops it there when the drag is
// accepted. Returns whether it was.
bool dragAndDrop(QWidget* widget, const QList<QUrl>& urls, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint middle = widget->rect().center();
    QDragEnterEvent enter(middle, actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(middle), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    return drop.isAccepted() && !(drop.dropAction() & Qt::MoveAction);
}

// Closes the next message box with its OK button; returns a handle to its text.
std::shared_ptr<QString> closeNextMessageBox(ModalAnswerer& answerer) {
    auto text = std::make_shared<QString>();
    answerer.expect([text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box || box->icon() != QMessageBox::Warning) return modal->close(), void();
        *text = box->text();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    return text;
}

// What a dialog looked like when it came up.
struct Offer {
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QString fileName;  // in the file name field
    QString folder;
    bool asksBeforeReplacing = true;
};

// Types `path` into the next file dialog and accepts it, or cancels it when
// `path` is empty; `offer` receives what the dialog showed first. With
// `inField`, Return goes straight to the file name field while its
// completion list shows, which closes the dialog but not the list.
void answerNextDialog(ModalAnswerer& answerer, const QString& path, Offer* offer, bool inField = false) {
    answerer.expect([path, offer, inField](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        auto* field = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!field) return modal->close(), void();
        *offer = {dialog->acceptMode(), dialog->fileMode(), field->text(), dialog->directory().absolutePath(),
                  !dialog->testOption(QFileDialog::DontConfirmOverwrite)};

        QWindow* window = dialog->windowHandle();
        if (path.isEmpty()) return QTest::keyClick(window, Qt::Key_Escape);
        field->setFocus();
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
        for (const QChar character : path) QTest::keyClick(window, character.toLatin1());
        QAbstractItemView* list = field->completer() ? field->completer()->popup() : nullptr;
        if (inField && list && QTest::qWaitFor([list] { return list->isVisible(); }, 5000))
            return QTest::keyClick(field, Qt::Key_Return);
        if (list) list->hide();
        QTest::keyClick(window, Qt::Key_Return);
    });
}


constexpr auto kFirst = render::Game::First;
constexpr auto kForeground = render::Plane::Foreground;

struct PictureFixture : Fixture {
    LevelPicture* picture = window->findChild<LevelPicture*>();

    QAbstractButton* button(const char* name) const { return find<QAbstractButton>(name); }
    bool drawn(Side side) const {
        return QTest::qWaitFor([&] { return !picture->isDrawing(side); }, 20000);
    }
    // Chooses the sample source (and a copy of the sample target) and converts.
    bool convertSamples() {
        window->chooseSource(kSampleSource);
        window->chooseTarget(copyOf(kSampleTarget, QStringLiteral("target.state")));
        click("Command3");  // perhaps before the source's picture came back
        return picture->hasAfter() && drawn(Side::After);
    }
};

render::LevelMemory levelOf(const QString& path) { return render::loadLevel(toEnginePath(path)).value(); }

QImage fromRgba(const render::RgbaImage& image) {
    return QImage(image.pixels.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888).copy();
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void formHasItsControlsAndFrameWithThePictureBeneath() {
        Fixture form;
        Form1& window = *form.window;
        QVERIFY(form.showActive());
        QCOMPARE(window.windowTitle(), QStringLiteral("Orrin -> Tavro 1 para Tavro 2 - SaveState Conversor"));
        QCOMPARE(window.centralWidget()->geometry(), QRect(0, 0, 442, 169));
        QCOMPARE(window.width(), 442);
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(window.windowIcon().availableSizes().contains(QSize(64, 64)));
        for (const auto& [name, caption, place] :
             {std::tuple{"Label1", "", QRect(8, 8, 425, 17)}, {"Command1", "Tavro 1 Save State", {153, 32, 137, 17}},
              {"Label2", "", {8, 56, 425, 17}}, {"Command2", "Tavro 2 / 2 B Savestate", {153, 80, 137, 17}},
              {"Command3", "Converter", {176, 112, 97, 17}}, {"Label3", "Programação:", {96, 144, 113, 17}},
              {"Label4", "Orrin", {224, 144, 113, 17}}}) {
            auto* control = form.find(name);
            QVERIFY2(control && control->parentWidget() == window.centralWidget(), name);
            QCOMPARE(control->geometry(), place);
            const auto* label = qobject_cast<QLabel*>(control);
            QCOMPARE(label ? label->text() : qobject_cast<QPushButton*>(control)->text(), QString::fromUtf8(caption));
            QVERIFY2(!control->testAttribute(Qt::WA_SetFont), "every control keeps the default font");
        }
        auto* picture = window.findChild<LevelPicture*>();
        const QRect panel(picture->mapTo(&window, QPoint(0, 0)), picture->size());
        QVERIFY(panel.top() >= 169 && panel.bottom() < window.statusBar()->geometry().top());

        QCOMPARE(QApplication::focusWidget(), form.find("Command1"));
    }

    void wholeRunThroughTheSharedDialog() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target.state"));
        QVERIFY(QFile::copy(kSampleTarget, target));
        Form1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto click = [&](const char* name) { QTest::mouseClick(window.findChild<QPushButton*>(name), Qt::LeftButton); };
        ModalAnswerer answerer;
        Offer open, save;

        answerNextDialog(answerer, kSampleSource, &open, true);
        click("Command1");
        QVERIFY(answerer.answered());
        QVERIFY2(!QApplication::activePopupWidget(), "no completion list outlives the dialog");
        QCOMPARE(open.mode, QFileDialog::AcceptOpen);
        QCOMPARE(open.fileMode, QFileDialog::ExistingFile);
        QCOMPARE(window.chosenSource(), kSampleSource);

        // One click opens the save dialog: the same one, offering the source's name in
        // its folder; cancelling it chooses nothing and keeps that name for the next dialog.
        answerNextDialog(answerer, QString(), &save);
        click("Command2");
        QVERIFY(answerer.answered() && window.chosenTarget().isEmpty());
        QCOMPARE(save.mode, QFileDialog::AcceptSave);
        QCOMPARE(save.fileName, QFileInfo(kSampleSource).fileName());
        QCOMPARE(save.folder, QFileInfo(kSampleSource).absolutePath());
        QVERIFY(!save.asksBeforeReplacing);
        answerNextDialog(answerer, target, &save);
        click("Command2");
        QVERIFY2(answerer.answered(), "accepting an existing target asks nothing more");
        QCOMPARE(save.fileName, QFileInfo(kSampleSource).fileName());
        QCOMPARE(window.findChildren<QFileDialog*>().size(), 1);
        QCOMPARE(window.chosenTarget(), target);
        QCOMPARE(window.chosenSource(), kSampleSource);
    }
    void shortcutsChooseFilesAndLongPathsLoseTheirMiddle() {
        Fixture form;
        const QString source = form.path(QStringLiteral("a.state"));
        const QString target = form.path(QStringLiteral("b.state"));
        form.chooser->answers = {source, target};
        QVERIFY(form.showActive());
        // The buttons' shortcuts press them, as a click does.
        QTest::keyClick(form.window->windowHandle(), Qt::Key_O, Qt::ControlModifier);
        QTRY_COMPARE(form.window->chosenSource(), source);
        QVERIFY2(form.window->statusText().contains(QLatin1String("Tavro 2")), "asks for the target next");
        QTest::keyClick(form.window->windowHandle(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(form.window->chosenTarget(), target);
        QCOMPARE(form.find<QLabel>("Label2")->text(), QDir::toNativeSeparators(target));

        // A path too long for its line loses its middle; the tooltip has it all.
        const QString longPath = QStringLiteral("/start") + QStringLiteral("/folder").repeated(60) + "/end.state";
        form.window->chooseSource(longPath);
        const auto* label = form.find<QLabel>("Label1");
        QVERIFY(label->text().startsWith(QLatin1String("/start/")) && label->text().endsWith(QLatin1String("/end.state")));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
        QCOMPARE(label->toolTip(), longPath);
        QCOMPARE(form.window->chosenSource(), longPath);
    }

    void convertWithAPathMissingTouchesNothing() {
        for (const auto& [source, target, hint] : {std::tuple{false, false, "Tavro 1 and the Tavro 2"},
                                                   std::tuple{true, false, "Tavro 2 save state first"},
                                                   std::tuple{false, true, "Tavro 1 save state first"}}) {
            Fixture form;
            if (source) form.window->chooseSource(form.path(QStringLiteral("source.state")));
            if (target) form.window->chooseTarget(form.path(QStringLiteral("target.state")));
            ModalAnswerer guard;
            guard.expect([](QWidget* modal) { modal->close(); }, 3000);
            QVERIFY(form.showActive());
            QTest::keyClick(form.window->windowHandle(), Qt::Key_Return, Qt::ControlModifier);  // Converter's shortcut
            QTRY_VERIFY2(form.window->statusText().contains(QLatin1String(hint)), qPrintable(form.window->statusText()));
            guard.stop();
            QVERIFY2(!guard.answered(), "no window opens");
            QVERIFY(QDir(form.dir.path()).isEmpty());
        }
    }

    void runPatchesTheTargetAndUndoPutsItBack() {
        Fixture form;
        const QString target = form.copyOf(kSampleTarget, QStringLiteral("target.state"));
        const QByteArray before = readAll(target);
        form.window->chooseSource(kSampleSource);
        form.window->chooseTarget(target);

        form.click("Command3");
        QCOMPARE(readAll(target), convertedInMemory(readAll(kSampleSource), before));
        const QString report = form.window->statusText();
        QVERIFY2(report.startsWith(QLatin1String("Patched and verified.")), qPrintable(report));
        auto* undoButton = form.find<QToolButton>("undoButton");
        QVERIFY(form.window->canUndo() && undoButton->isEnabled());

        // Converting again changes nothing, and the first run can still be undone.
        form.click("Command3");
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Already up to date.")));
        QVERIFY(form.showActive());
        QTest::keyClick(form.window->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(readAll(target), before);
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Undone")));
        QVERIFY(!form.window->canUndo() && !undoButton->isEnabled());

        // A target the run created is removed by undo.
        const QString created = form.path(QStringLiteral("new.state"));
        form.window->chooseTarget(created);
        form.click("Command3");
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Created and verified.")));
        QTest::mouseClick(undoButton, Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(created));

        // Undo refuses a target that something else changed since, and is not offered again.
        form.window->chooseTarget(target);
        form.click("Command3");
        const QByteArray changed = readAll(target).replace(0, 4, "EDIT");
        QVERIFY(writeAll(target, changed));
        ModalAnswerer answerer;
        const auto text = closeNextMessageBox(answerer);
        form.window->findChild<QAction*>(QStringLiteral("undoAction"))->trigger();
        QVERIFY(answerer.answered());
        QVERIFY2(text->contains(QLatin1String("has changed since the conversion")), qPrintable(*text));
        QCOMPARE(readAll(target), changed);
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Undo refused")));
        QVERIFY(!form.window->canUndo());
    }

    void sameFileTwiceIsFlaggedAndPatchedInPlace() {
        Fixture form;
        const QString both = form.copyOf(kSampleSource, QStringLiteral("same.state"));
        const QByteArray before = readAll(both);
        form.window->chooseSource(both);
        form.window->chooseTarget(form.dir.path() + QStringLiteral("/./same.state"));
        QVERIFY(form.window->statusText().contains(QLatin1String("same file")));
        form.click("Command3");
        QCOMPARE(readAll(both), convertedInMemory(before, before));
    }

    // A Tavro 2 state chosen as the source (its name escaped in the window):
    // the status says so, and Converter explains and asks; No leaves the
    // target, Yes converts.
    void sourceWithoutAFirstGameLevelIsConvertedOnlyWhenAsked() {
        for (const bool yes : {false, true}) {
            Fixture form;
            const QString source = form.copyOf(kSampleTarget, QStringLiteral("two\x1b.state"));
            const QString target = form.copyOf(kSampleSource, QStringLiteral("one.state"));
            const QByteArray before = readAll(target);
            form.window->chooseSource(source);
            QVERIFY2(form.window->statusText().contains(QLatin1String("does not hold a Tavro 1 level")), qPrintable(form.window->statusText()));
            QVERIFY(form.find<ElidedLabel>("Label1")->fullText().endsWith(QLatin1String("two\\x1b.state")));
            form.window->chooseTarget(target);
            ModalAnswerer answerer;
            auto text = std::make_shared<QString>();
            answerer.expect([text, yes](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (!box || box->objectName() != QLatin1String("convertAnywayBox")) return modal->close(), void();
                *text = box->text();
                QTest::mouseClick(box->button(yes ? QMessageBox::Yes : QMessageBox::No), Qt::LeftButton);
            });
            form.click("Command3");
            QVERIFY(answerer.answered());
            QVERIFY2(text->contains(QLatin1String("are the two swapped?")) && text->contains(QLatin1String("two\\x1b")), qPrintable(*text));
            QCOMPARE(readAll(target) == before, !yes);
            QCOMPARE(form.window->statusText().startsWith(QLatin1String("Conversion failed")), !yes);
        }
    }

    void failedRunIsShownAndLeavesTheTarget() {
        // The source (empty: the sample), the target, the file the message names, and what it says.
        for (const auto& [source, target, failing, what] :
             {std::tuple{"missing.state", "target.state", "missing.state", "could not open the Tavro 1 save state"},
              std::tuple{"short.state", "target.state", "short.state", "the Tavro 1 save state is too short"},
              std::tuple{"", "no-folder/target.state", "no-folder/target.state", "Tavro 2 save state"}}) {
            Fixture form;
            QVERIFY(writeAll(form.path(QStringLiteral("short.state")), QByteArray(100, '\x01')));
            const QByteArray before = readAll(form.copyOf(kSampleTarget, QStringLiteral("target.state")));
            form.window->chooseSource(*source ? form.path(QLatin1String(source)) : kSampleSource);
            form.window->chooseTarget(form.path(QLatin1String(target)));
            ModalAnswerer answerer;
            const auto text = closeNextMessageBox(answerer);
            form.click("Command3");

            QVERIFY2(answerer.answered(), "a warning appears and is closed");
            QVERIFY2(text->contains(QLatin1String(what)), qPrintable(*text));
            QVERIFY2(text->contains(QDir::toNativeSeparators(form.path(QLatin1String(failing)))), qPrintable(*text));
            QCOMPARE(readAll(form.path(QStringLiteral("target.state"))), before);
            QVERIFY(form.window->statusText().startsWith(QLatin1String("Conversion failed")));
            QVERIFY(!form.window->canUndo());
        }
    }

    void droppedFilesAreChosenLikeDialogChoices() {
        Fixture form;
        const QUrl source = QUrl::fromLocalFile(form.path(QStringLiteral("dropped source.state")));
        const QUrl target = QUrl::fromLocalFile(form.path(QStringLiteral("dropped-target.state")));
        QVERIFY(dragAndDrop(form.find("Label1"), {source}));
        QVERIFY(dragAndDrop(form.find("Command2"), {target}));
        QCOMPARE(form.window->chosenSource(), source.toLocalFile());
        QCOMPARE(form.window->chosenTarget(), target.toLocalFile());
        QCOMPARE(form.chooser->fileName(), target.toLocalFile());

        // Two files, a remote one, or a drop on Converter choose nothing.
        QVERIFY(!dragAndDrop(form.find("Command1"), {target, source}));
        QVERIFY(!dragAndDrop(form.find("Label1"), {QUrl(QStringLiteral("https://example.org/a.state"))}));
        QVERIFY(!dragAndDrop(form.find("Command3"), {target}));
        QCOMPARE(form.window->chosenSource(), source.toLocalFile());
    }

    // Every line the window writes beneath the form (the status bar's, the
    // picture's caption), in English and in Portuguese, is there in full:
    // measured with the label's font, it fits the label's width or wraps
    // into lines the label is tall enough to show, inside the window. In
    // Portuguese, Qt's own texts are Portuguese too.
    void everyMessageIsReadableInFullInEnglishAndPortuguese() {
        ConversionReport lossy;
        lossy.outcome = TargetOutcome::Created, lossy.verified = true, lossy.level.cellsLost = 483;
        ConversionReport packed = lossy;
        packed.level.numbering = ChunkNumbering::Packed, packed.level.chunksUsed = 255;
        const QString target = QStringLiteral("tavro2.state");  // a file name as the texts show it
        QVERIFY(!windowTranslator(QLocale(QLocale::English, QLocale::UnitedStates)));
        QVERIFY2(qtTranslator(QLocale(QLocale::Portuguese, QLocale::Portugal)), "every Portuguese locale gets Qt's");
        const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
        const std::unique_ptr<QTranslator> ours = windowTranslator(brazil), qt = qtTranslator(brazil);
        QVERIFY2(ours && qt, "qt6-translations-l10n brings Qt's own");
        for (const bool portuguese : {false, true}) {
            for (QTranslator* translator : {ours.get(), qt.get()})
                if (portuguese) QCoreApplication::installTranslator(translator);
            PictureFixture form;
            QVERIFY(form.showActive());
            QCOMPARE(WindowTexts::ready().startsWith(QLatin1String("Escolha")), portuguese);
            QCOMPARE(QMessageBox(QMessageBox::Warning, {}, {}, QMessageBox::Cancel).buttons().constFirst()->text(),
                     portuguese ? QStringLiteral("Cancelar") : QStringLiteral("Cancel"));
            form.find("packButton")->show();  // the narrowest the status line gets
            QStringList lines{WindowTexts::ready(), WindowTexts::samePath(), WindowTexts::notFirstGameLevel(), WindowTexts::converting(target),
                              WindowTexts::converted(lossy), WindowTexts::converted(packed),
                              WindowTexts::undone(UndoOutcome::Removed, target), WindowTexts::undone(UndoOutcome::Restored, target),
                              WindowTexts::unexpectedFailure(QStringLiteral("std::bad_alloc"))};
            for (const bool source : {false, true})
                for (const bool other : {false, true})
                    lines << WindowTexts::choosePaths(source, other) << WindowTexts::nextChoice(source, other);
            for (const FileRole file : {FileRole::Source, FileRole::Target, FileRole::Backup})
                for (int step = 0; step <= static_cast<int>(Step::Recheck); ++step) {
                    const ConversionError error{.file = file, .step = static_cast<Step>(step), .path = "/saves/tavro2.state",
                                                 .reason = "Disk full"};
                    lines << WindowTexts::conversionFailed(error) << WindowTexts::undoFailed(error);
                }
            const QString caption = WindowTexts::pictureCaption(QStringLiteral("tavro1-big.state"), 7168, 768, 17)
                                    + WindowTexts::emptiedCaption(480, 3);
            for (const auto& [name, texts] : {std::pair{"statusMessage", lines}, {"pictureCaption", {caption}}}) {
                auto* label = form.find<MessageLabel>(name);
                for (const QString& text : texts) {
                    label->setMessage(text);
                    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();  // the window takes its new size
                    const int indent = std::max(label->indent(), 0);  // the text's room: the contents less the indents
                    const QRect room = label->contentsRect().marginsRemoved(QMargins(indent, 0, indent, 0));
                    const QRect needed = label->fontMetrics().boundingRect(QRect(QPoint(), QSize(room.width(), 1000)),
                                                                           Qt::TextWordWrap, text);
                    QVERIFY2(needed.width() <= room.width() && needed.height() <= room.height(), qPrintable(text));
                    QVERIFY2(form.window->rect().contains(QRect(label->mapTo(form.window.get(), room.topLeft()),
                                                                room.size())), qPrintable(text));
                    QCOMPARE(form.window->width(), 442);
                }
            }
            if (portuguese) {  // engine errors: Portuguese words, the locale's numbers, the file's name only
                const QLocale before;
                QLocale::setDefault(brazil);
                const QString unreadable = WindowTexts::pictureUnreadable({.operation = Operation::Draw,
                    .file = FileRole::SaveState, .step = Step::Check, .path = "/x/short.state", .cause = Cause::TooShort,
                    .count = 1000, .limit = 107640});
                QLocale::setDefault(before);
                QCOMPARE(unreadable, QStringLiteral("Sem imagem: short.state: é curto demais para conter uma fase: "
                                                    "1.000 bytes, um save state tem pelo menos 107.640."));
            }
            for (QTranslator* translator : {ours.get(), qt.get()}) QCoreApplication::removeTranslator(translator);
        }
    }

    void pictureShowsTheSourceThenTheTargetAndTheKeyboardReachesIt() {
        PictureFixture form;
        QVERIFY(form.showActive());
        QVERIFY(!form.button("beforeButton")->isVisible() && !form.button("afterButton")->isVisible());

        // Converting at once, before the source's picture came back: the
        // target's level, read as the second game, framed as the source's and
        // at the same scale; Before shows the source's, fitted to the width.
        QVERIFY(form.convertSamples());
        QCOMPARE(form.picture->side(), Side::After);
        const QImage after = form.picture->picture();
        QTest::mouseClick(form.button("beforeButton"), Qt::LeftButton);
        const QImage before = form.picture->picture();
        const QSize room = form.picture->room();
        QVERIFY(before.width() <= room.width() && before.height() <= room.height());
        QVERIFY2(before.width() > room.width() * 9 / 10, "the wide sample level fills the width");
        const auto preview = render::drawPreview(levelOf(kSampleSource), kFirst, kForeground, room.width(), room.height());
        QVERIFY(preview.has_value());
        QCOMPARE(before, fromRgba(preview->picture));
        const auto frame = *render::usedCells(levelOf(kSampleSource), kFirst, kForeground);
        const render::CellBox doubled{frame.column * 2, frame.row * 2, frame.columns * 2, frame.rows * 2};
        const int factor = render::fitFactor(doubled.columns * 128, after.width());
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after, fromRgba(render::drawScaled(levelOf(form.window->chosenTarget()), render::Game::Second,
                                                    kForeground, doubled, factor)));
        QTest::mouseClick(form.button("afterButton"), Qt::LeftButton);
        QCOMPARE(form.picture->picture(), after);

        // From Converter: the packing choice, its offer (the sample loses cells),
        // Undo, the picture, the switch (one stop for both, as for any
        // exclusive group), and round to the first button; Return on the
        // picture opens the larger view.
        QStringList order;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(form.window->windowHandle(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order.mid(0, 4), QStringList({QStringLiteral("packCheck"), QStringLiteral("packButton"),
                                               QStringLiteral("undoButton"), QStringLiteral("pictureSurface")}));
        QVERIFY2(order[4] == QLatin1String("beforeButton") || order[4] == QLatin1String("afterButton"), qPrintable(order[4]));
        QCOMPARE(order[5], QStringLiteral("Command1"));
        form.find("pictureSurface")->setFocus();
        QTest::keyClick(form.window->windowHandle(), Qt::Key_Return);
        auto* view = form.window->findChild<LevelView*>();
        QVERIFY(view && view->windowTitle().contains(QLatin1String("after the conversion")) && QTest::qWaitForWindowActive(view));
        QTest::keyClick(view->windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY2(!form.window->findChild<LevelView*>(), "Escape closes the larger view");

        // Undoing, or choosing another target, takes the After picture away.
        form.window->undoLastConversion();
        QVERIFY(!form.picture->hasAfter());
        QCOMPARE(form.picture->picture(), before);
        form.click("Command3");
        QVERIFY(form.picture->hasAfter());
        form.window->chooseTarget(form.path(QStringLiteral("other.state")));
        QVERIFY(!form.picture->hasAfter());
        QCOMPARE(form.picture->side(), Side::Before);
    }

    // Assistive technology, walking the window's accessible children, finds
    // every control named, the path lines with their whole paths, and the
    // picture telling which level it shows, its size and the cells left empty.
    void everyControlIsNamedForAssistiveTechnology() {
        PictureFixture form;
        QVERIFY(form.showActive() && form.convertSamples());
        QHash<QObject*, QAccessibleInterface*> reached;
        const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
            for (int i = 0; i < node->childCount(); ++i)
                if (QAccessibleInterface* child = node->child(i)) reached.insert(child->object(), child), walk(child);
        };
        walk(QAccessible::queryAccessibleInterface(form.window.get()));

        const auto level = *render::usedCells(levelOf(kSampleSource), kFirst, kForeground);
        const int cell = render::cellPixels(kFirst);
        const QString size = QStringLiteral("%1 by %2 pixels").arg(QLocale().toString(level.columns * cell), QLocale().toString(level.rows * cell));
        const QString emptied = QStringLiteral("%1 cells arrived empty").arg(form.picture->marks().size());
        for (const auto& [name, role, named, described] :
             {std::tuple{"Label1", QAccessible::StaticText, "Tavro 1 save state", QDir::toNativeSeparators(kSampleSource)},
              {"Label2", QAccessible::StaticText, "Tavro 2 save state", QDir::toNativeSeparators(form.window->chosenTarget())},
              {"Command1", QAccessible::Button, "Tavro 1 Save State", QStringLiteral("(Ctrl+O)")},
              {"Command2", QAccessible::Button, "Tavro 2 / 2 B Savestate", QStringLiteral("(Ctrl+Shift+S)")},
              {"Command3", QAccessible::Button, "Converter", QStringLiteral("(Ctrl+Return)")},
              {"statusMessage", QAccessible::StaticText, "Patched and verified.", QString()},
              {"pictureSurface", QAccessible::Graphic, "Level picture", QStringLiteral("target.state: ") + size},
              {"pictureSurface", QAccessible::Graphic, "Level picture", emptied}}) {
            const QAccessibleInterface* node = reached.value(form.find(name));
            QVERIFY2(node && node->role() == role, name);
            QVERIFY2(node->text(QAccessible::Name).contains(QString::fromUtf8(named)), name);
            QVERIFY2(node->text(QAccessible::Description).contains(described),
                     qPrintable(node->text(QAccessible::Description)));
        }
        for (auto node = reached.cbegin(); node != reached.cend(); ++node)  // and every control Tab reaches
            if (auto* widget = qobject_cast<QWidget*>(node.key()); widget && widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus))
                QVERIFY2(!node.value()->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
    }

    void lostCellsAreMarkedAndThePackedConversionOfferedCarriesThem() {
        PictureFixture form;
        QVERIFY(form.showActive());
        const QString target = form.copyOf(kSampleTarget, QStringLiteral("target.state"));
        const QByteArray original = readAll(target), source = readAll(kSampleBig);
        std::vector<render::CellBox> lost;  // foreground cells naming chunks 64 and above, in second-game cells
        const auto layout = static_cast<qsizetype>(tavro::format::kMainRamOffset + tavro::format::kFirstGame.layout);
        for (int cell = 0; cell < 1024; ++cell)
            if (cell % 128 < 64 && (source[layout + cell] & 0x7F) >= 64)
                lost.push_back({cell % 128 * 2, cell / 128 * 2, 2, 2});
        const auto markPixels = [&form] {
            const QImage shot = form.find("pictureSurface")->grab().toImage();
            int count = 0;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x) count += shot.pixelColor(x, y) == emptyCellMarkColour();
            return count;
        };
        form.window->chooseSource(kSampleBig);
        form.window->chooseTarget(target);
        QVERIFY(!form.window->packs() && form.drawn(Side::Before));
        form.click("Command3");
        QVERIFY(form.drawn(Side::After));
        QCOMPARE(form.picture->marks(), lost);
        QVERIFY2(markPixels() > 20 * static_cast<int>(lost.size()), "every mark shows");
        const QString caption = form.find<QLabel>("pictureCaption")->text();
        QVERIFY2(caption.contains(QStringLiteral("%1 cells arrived empty").arg(lost.size())), qPrintable(caption));
        QVERIFY(form.window->statusText().contains(QStringLiteral("%1 layout cells").arg(lost.size())));
        QCOMPARE(form.picture->openView()->area()->marks().size(), static_cast<qsizetype>(lost.size()));

        auto* offer = form.find<QToolButton>("packButton");
        QVERIFY(offer->isVisible());
        QTest::mouseClick(offer, Qt::LeftButton);
        QVERIFY(form.window->packs() && !offer->isVisible());
        QCOMPARE(readAll(target), convertedInMemory(source, original, ChunkNumbering::Packed));
        QVERIFY2(form.window->statusText().contains(QLatin1String("Packed:")), qPrintable(form.window->statusText()));
        QVERIFY(form.drawn(Side::After));
        QVERIFY(form.picture->marks().empty());
        QCOMPARE(markPixels(), 0);
        QVERIFY(!form.find<QLabel>("pictureCaption")->text().contains(QLatin1String("empty")));
        form.window->undoLastConversion();
        QCOMPARE(readAll(target), original);  // as before both conversions
    }

    void aFileThatCannotBeDrawnShowsWhy() {
        QByteArray empty = readAll(kSampleSource);
        empty.replace(static_cast<qsizetype>(tavro::format::kMainRamOffset + tavro::format::kFirstGame.layout), 1024,
                      QByteArray(1024, '\0'));
        for (const auto& [name, bytes, reason] :
             {std::tuple{"missing.state", QByteArray(), QStringLiteral("could not open missing.state")},
              std::tuple{"short.state", QByteArray(100, '\x07'), QStringLiteral("short.state: it is too short")},
              std::tuple{"empty.state", empty, WindowTexts::pictureEmpty()}}) {
            PictureFixture form;
            if (!bytes.isEmpty()) QVERIFY(writeAll(form.path(QLatin1String(name)), bytes));
            form.window->chooseSource(form.path(QLatin1String(name)));
            QVERIFY(form.drawn(Side::Before));
            QVERIFY(form.picture->picture().isNull());
            QVERIFY2(form.picture->message().contains(reason), qPrintable(form.picture->message()));
            QVERIFY2(!form.picture->message().contains(form.dir.path()), "the picture names the file, not its folder");
            QVERIFY(!form.picture->openView());
        }
    }

    void viewShowsTheWholeLevelUnscaledZoomsAndSaves() {
        PictureFixture form;
        QVERIFY(form.showActive());
        form.window->chooseSource(kSampleSource);
        QVERIFY(form.drawn(Side::Before));
        QTest::mouseClick(form.find("pictureSurface"), Qt::LeftButton);
        auto* view = form.window->findChild<LevelView*>();
        QVERIFY(view && view->isWindow());
        QVERIFY(QTest::qWaitForWindowActive(view));
        QVERIFY(view->windowTitle().contains(QFileInfo(kSampleSource).fileName()));

        const render::LevelMemory level = levelOf(kSampleSource);
        const render::IndexedImage drawn =
            render::drawPlane(level, kFirst, kForeground, *render::usedCells(level, kFirst, kForeground));
        const QImage& shown = view->picture();
        QCOMPARE(shown.format(), QImage::Format_Indexed8);
        QCOMPARE(shown.size(), QSize(drawn.width, drawn.height));
        for (int row = 0; row < drawn.height; ++row)
            QVERIFY(std::memcmp(shown.constScanLine(row), &drawn.pixels[static_cast<std::size_t>(row * drawn.width)],
                                static_cast<std::size_t>(drawn.width)) == 0);
        const render::Palette palette = render::readPalette(level);
        QCOMPARE(shown.colorCount(), 64);
        QCOMPARE(shown.color(17), qRgba(palette[17].r, palette[17].g, palette[17].b, palette[17].a));
        QCOMPARE(qAlpha(shown.color(16)), 0);

        ZoomArea* area = view->area();
        const int start = area->zoomStep();
        QVERIFY2(start < 0, "the wide sample level starts shrunk to fit");
        const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Plus, start + 1}, {Qt::Key_Equal, start + 2},
                                                {Qt::Key_Minus, start + 1}, {Qt::Key_0, 0}};
        for (const auto& [key, step] : keys) {
            QTest::keyClick(view->windowHandle(), key, Qt::ControlModifier);
            QCOMPARE(area->zoomStep(), step);
        }
        for (int i = 0; i < 10; ++i) QTest::keyClick(view->windowHandle(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(area->zoomStep(), ZoomArea::kMaxZoomStep);

        // The wheel zooms about the pointer: the picture's point under it stays there.
        area->setZoomStep(0);
        QWidget* viewport = area->viewport();
        const QPointF pointer(viewport->width() / 3.0, viewport->height() / 3.0);
        const auto underPointer = [&] {
            return area->centre() + (pointer - QRectF(viewport->rect()).center()) / area->zoom();
        };
        const QPointF before = underPointer();
        QWheelEvent wheel(pointer, viewport->mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        QCOMPARE(area->zoomStep(), 1);
        QVERIFY2((underPointer() - before).manhattanLength() <= 1.0, "the point under the pointer stays put");

        // Save as PNG writes what the view shows; a folder that does not exist
        // is named in a message and no file appears.
        QString offered;
        QString answer = form.path(QStringLiteral("level.png"));
        view->setSavePathAsker([&](QWidget*, const QString& suggested) -> std::optional<QString> {
            offered = suggested;
            return answer;
        });
        QTest::mouseClick(view->findChild<QAbstractButton*>(QStringLiteral("savePictureButton")), Qt::LeftButton);
        QCOMPARE(QFileInfo(offered).fileName(), QFileInfo(kSampleSource).completeBaseName() + ".png");
        const QByteArray saved = readAll(answer);
        const auto decoded = testing::decodePng(
            std::span(reinterpret_cast<const std::uint8_t*>(saved.constData()), static_cast<std::size_t>(saved.size())));
        QVERIFY(decoded.has_value());
        const render::RgbaImage expected = render::toRgba(drawn, palette);
        QCOMPARE(decoded->width, expected.width);
        QVERIFY(decoded->pixels == expected.pixels);
        QVERIFY2(view->note().contains(QStringLiteral("level.png")), qPrintable(view->note()));
        QVERIFY(QFile::remove(answer));

        // The engine's checks: a file that is not a PNG picture is not replaced.
        QVERIFY(writeAll(form.path(QStringLiteral("notes.txt")), "keep"));
        for (const auto& [name, words] : {std::pair{"no-folder/level.png", "no-folder"}, {"notes.txt", "not a PNG picture"}}) {
            answer = form.path(QLatin1String(name));
            ModalAnswerer answerer;
            const auto text = closeNextMessageBox(answerer);
            view->savePicture();
            QVERIFY(answerer.answered());
            QVERIFY2(text->contains(QLatin1String(words)), qPrintable(*text));
        }
        QCOMPARE(readAll(form.path(QStringLiteral("notes.txt"))), QByteArray("keep"));
        QCOMPARE(QDir(form.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList(QStringLiteral("notes.txt")));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
