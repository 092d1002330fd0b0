// The window: the form's layout, its own file dialog answered as a user
// answers it (select the file name field, type a path, press Return or
// Escape), and, with the dialog stood in for by a script, choosing files,
// converting, failing, dropping, undoing, and Portuguese.
#include <tuple>

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>

#include "level_picture.h"
#include "translations.h"
#include "ui_test_support.h"

using namespace tavro::ui;
using namespace tavro::ui::test;

namespace {

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

QLineEdit* fileNameField(QFileDialog* dialog) {
    return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

// Types `path` into the next file dialog and accepts it, or cancels it when
// `path` is empty; `offer` receives what the dialog showed first.
void answerNextDialog(ModalAnswerer& answerer, const QString& path, Offer* offer) {
    answerer.expect([path, offer](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QLineEdit* field = dialog ? fileNameField(dialog) : nullptr;
        if (!field) return modal->close(), void();
        *offer = {dialog->acceptMode(), dialog->fileMode(), field->text(), dialog->directory().absolutePath(),
                  !dialog->testOption(QFileDialog::DontConfirmOverwrite)};

        QWindow* window = dialog->windowHandle();
        if (path.isEmpty()) return QTest::keyClick(window, Qt::Key_Escape);
        field->setFocus();
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
        for (const QChar character : path) QTest::keyClick(window, character.toLatin1());
        if (QCompleter* completer = field->completer(); completer && completer->popup()->isVisible())
            completer->popup()->hide();
        QTest::keyClick(window, Qt::Key_Return);
    });
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

        // Focus starts on Command1; with nothing chosen Tab goes round the buttons and the packing choice.
        QCOMPARE(QApplication::focusWidget(), form.find("Command1"));
        for (const char* next : {"Command2", "Command3", "packCheck", "Command1"}) {
            QTest::keyClick(window.windowHandle(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), form.find(next));
        }
    }

    void wholeRunThroughTheSharedDialog() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target.state"));
        QVERIFY(QFile::copy(kSampleTarget, target));
        Form1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto click = [&](const char* name) {
            QTest::mouseClick(window.findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
        };
        ModalAnswerer answerer;
        Offer open;
        Offer save;

        answerNextDialog(answerer, kSampleSource, &open);
        click("Command1");
        QVERIFY(answerer.answered());
        QCOMPARE(open.mode, QFileDialog::AcceptOpen);
        QCOMPARE(open.fileMode, QFileDialog::ExistingFile);
        QCOMPARE(window.chosenSource(), kSampleSource);
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QDir::toNativeSeparators(kSampleSource));

        // The save dialog is the same one, and offers the source's name in its
        // folder; cancelling it chooses nothing and keeps that name for the next dialog.
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
    void chosenFilesAreShownAndCancelKeepsThem() {
        Fixture form;
        const QString source = form.path(QStringLiteral("a.state"));
        const QString target = form.path(QStringLiteral("b.state"));
        form.chooser->answers = {source, target, std::nullopt, std::nullopt};
        form.click("Command1");
        QVERIFY2(form.window->statusText().contains(QLatin1String("Tavro 2")), "asks for the target next");
        form.click("Command2");
        form.click("Command1");
        form.click("Command2");
        QCOMPARE(form.chooser->shown, 4);
        QCOMPARE(form.window->chosenSource(), source);
        QCOMPARE(form.window->chosenTarget(), target);
        QCOMPARE(form.find<QLabel>("Label1")->text(), QDir::toNativeSeparators(source));
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
            form.click("Command3");
            guard.stop();
            QVERIFY2(!guard.answered(), "no window opens");
            QVERIFY(QDir(form.dir.path()).isEmpty());
            QVERIFY2(form.window->statusText().contains(QLatin1String(hint)), qPrintable(form.window->statusText()));
            QVERIFY(!form.window->canUndo());
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
        const QByteArray source = readAll(kSampleSource);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.constData());
        const int lost = tavro::summarizeLevel(tavro::readSourceRegions({bytes, bytes + source.size()})).cellsLost;
        QVERIFY2(lost > 0 && report.contains(QStringLiteral("%1 layout cells").arg(lost)), qPrintable(report));
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
        QCOMPARE(form.find<QLabel>("Label2")->text(), QDir::toNativeSeparators(target.toLocalFile()));
        QCOMPARE(form.chooser->fileName(), target.toLocalFile());
        QCOMPARE(form.chooser->shown, 0);

        // Two files, a remote one, a move, or a drop on Converter choose nothing.
        QVERIFY(!dragAndDrop(form.find("Command1"), {target, source}));
        QVERIFY(!dragAndDrop(form.find("Label1"), {QUrl(QStringLiteral("https://example.org/a.state"))}));
        QVERIFY(!dragAndDrop(form.find("Label1"), {target}, Qt::MoveAction));
        QVERIFY(!dragAndDrop(form.find("Command3"), {target}));
        QCOMPARE(form.window->chosenSource(), source.toLocalFile());
    }

    void portugueseSystemsGetPortugueseTexts() {
        QVERIFY(!windowTranslator(QLocale(QLocale::English, QLocale::UnitedStates)));
        QVERIFY(windowTranslator(QLocale(QLocale::Portuguese, QLocale::Portugal)));
        const std::unique_ptr<QTranslator> portuguese = windowTranslator(QLocale(QLocale::Portuguese, QLocale::Brazil));
        QVERIFY(portuguese);
        QCoreApplication::installTranslator(portuguese.get());
        Fixture form;
        form.click("Command3");
        const QString hint = form.window->statusText();
        QCoreApplication::removeTranslator(portuguese.get());

        QVERIFY2(hint.startsWith(QLatin1String("Escolha")), qPrintable(hint));
        QCOMPARE(form.find<QPushButton>("Command3")->text(), QStringLiteral("Converter"));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
