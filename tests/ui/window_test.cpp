// The window with its file dialog stood in for by a script: the form's layout,
// choosing files, converting, failing, dropping, undoing, and Portuguese.
#include <memory>

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "main_window.h"
#include "translations.h"
#include "ui_test_support.h"

using namespace tavro::ui;
using namespace tavro::ui::test;

namespace {

struct Fixture {
    ScriptedChooser* chooser;
    std::unique_ptr<Form1> window;

    template <class Control>
    Control* find(const char* name) const {
        return window->findChild<Control*>(QLatin1String(name));
    }
    void click(const char* name) const { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
};

Fixture makeWindow() {
    auto chooser = std::make_unique<ScriptedChooser>();
    ScriptedChooser* script = chooser.get();
    return {script, std::make_unique<Form1>(std::move(chooser))};
}

int cellsLostIn(const QByteArray& source) {
    const auto* begin = reinterpret_cast<const std::uint8_t*>(source.constData());
    return tavro::summarizeLevel(tavro::readSourceRegions(tavro::Bytes(begin, begin + source.size()))).cellsLost;
}

// Sends a drag carrying `mime` over `widget` and drops it there when the
// drag is accepted. Returns whether it was.
bool dragAndDrop(QWidget* widget, QMimeData* mime, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
    const QPoint middle = widget->rect().center();
    QDragEnterEvent enter(middle, actions, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(middle), actions, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    return drop.isAccepted() && !(drop.dropAction() & Qt::MoveAction);
}

struct SeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
};

// Reads the next message box and closes it with its OK button.
void closeNextMessageBox(ModalAnswerer& answerer, SeenBox* seen) {
    answerer.expect([seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return modal->close(), void();
        *seen = {box->icon(), box->text()};
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
}

QMimeData* filesMime(const QList<QUrl>& urls) {
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;

    QString path(const QString& name) const { return dir_->filePath(name); }
    QString copyOf(const QString& sample, const QString& name) const {
        const QString copy = path(name);
        return QFile::copy(sample, copy) ? copy : QString();
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }
    void cleanup() { dir_.reset(); }

    void controlsSitWhereTheFormPutsThem_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("Label1") << QString() << QRect(8, 8, 425, 17);
        QTest::newRow("Command1") << QStringLiteral("Tavro 1 Save State") << QRect(153, 32, 137, 17);
        QTest::newRow("Label2") << QString() << QRect(8, 56, 425, 17);
        QTest::newRow("Command2") << QStringLiteral("Tavro 2 / 2 B Savestate") << QRect(153, 80, 137, 17);
        QTest::newRow("Command3") << QStringLiteral("Converter") << QRect(176, 112, 97, 17);
        QTest::newRow("Label3") << QStringLiteral("Programação:") << QRect(96, 144, 113, 17);
        QTest::newRow("Label4") << QStringLiteral("Orrin") << QRect(224, 144, 113, 17);
    }
    void controlsSitWhereTheFormPutsThem() {
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        const Fixture form = makeWindow();
        form.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.window.get()));

        auto* control = form.find<QWidget>(QTest::currentDataTag());
        QVERIFY(control);
        QCOMPARE(control->parentWidget(), form.window->centralWidget());
        QCOMPARE(control->geometry(), geometry);
        if (auto* label = qobject_cast<QLabel*>(control)) QCOMPARE(label->text(), caption);
        if (auto* button = qobject_cast<QPushButton*>(control)) QCOMPARE(button->text(), caption);
        QVERIFY2(!control->testAttribute(Qt::WA_SetFont), "every control keeps the default font");
    }

    void windowHasTheFormsFrame() {
        const Fixture form = makeWindow();
        Form1& window = *form.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(window.windowTitle(), QStringLiteral("Orrin -> Tavro 1 para Tavro 2 - SaveState Conversor"));
        QCOMPARE(window.centralWidget()->geometry(), QRect(0, 0, 442, 169));
        QVERIFY(window.statusBar()->geometry().top() >= 169);
        QCOMPARE(window.width(), 442);
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(window.windowIcon().availableSizes().contains(QSize(64, 64)));
        QVERIFY(!window.windowIcon().pixmap(32).isNull());
    }

    void focusStartsOnCommand1AndTabsThroughTheButtons() {
        const Fixture form = makeWindow();
        form.window->show();
        QVERIFY(QTest::qWaitForWindowActive(form.window.get()));

        QCOMPARE(QApplication::focusWidget(), form.find<QWidget>("Command1"));
        for (const char* next : {"Command2", "Command3", "Command1"}) {
            QTest::keyClick(form.window->windowHandle(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), form.find<QWidget>(next));
        }
    }

    void chosenFilesAreShownAndCancelKeepsThem() {
        const Fixture form = makeWindow();
        const QString source = path(QStringLiteral("a.state"));
        const QString target = path(QStringLiteral("b.state"));
        form.chooser->answers = {source, target};

        form.click("Command1");
        QCOMPARE(form.chooser->opens, 1);
        QCOMPARE(form.window->chosenSource(), source);
        QCOMPARE(form.find<QLabel>("Label1")->text(), QDir::toNativeSeparators(source));
        QCOMPARE(form.find<QLabel>("Label1")->toolTip(), QDir::toNativeSeparators(source));
        QVERIFY2(form.window->statusText().contains(QLatin1String("Tavro 2")), "asks for the target next");

        form.click("Command2");
        QCOMPARE(form.chooser->saves, 1);
        QCOMPARE(form.window->chosenTarget(), target);
        QCOMPARE(form.find<QLabel>("Label2")->text(), QDir::toNativeSeparators(target));

        form.chooser->answers = {std::nullopt, std::nullopt};
        form.click("Command1");
        form.click("Command2");
        QCOMPARE(form.window->chosenSource(), source);
        QCOMPARE(form.window->chosenTarget(), target);
        QCOMPARE(form.find<QLabel>("Label1")->text(), QDir::toNativeSeparators(source));
        QCOMPARE(form.find<QLabel>("Label2")->text(), QDir::toNativeSeparators(target));
    }

    void longPathsLoseTheirMiddle() {
        const Fixture form = makeWindow();
        const QString longPath =
            QStringLiteral("/start") + QStringLiteral("/folder").repeated(60) + QStringLiteral("/end.state");
        form.window->chooseSource(longPath);

        const auto* label = form.find<QLabel>("Label1");
        QVERIFY(label->text().startsWith(QLatin1String("/start/")));
        QVERIFY(label->text().endsWith(QLatin1String("/end.state")));
        QVERIFY(label->text().contains(QChar(0x2026)));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
        QCOMPARE(label->toolTip(), longPath);
        QCOMPARE(form.window->chosenSource(), longPath);
    }

    void convertWithAPathMissingTouchesNothing_data() {
        QTest::addColumn<bool>("haveSource");
        QTest::addColumn<bool>("haveTarget");
        QTest::addColumn<QString>("hint");
        QTest::newRow("nothing chosen") << false << false << "Tavro 1 and the Tavro 2";
        QTest::newRow("only the source") << true << false << "Tavro 2 save state first";
        QTest::newRow("only the target") << false << true << "Tavro 1 save state first";
    }
    void convertWithAPathMissingTouchesNothing() {
        QFETCH(bool, haveSource);
        QFETCH(bool, haveTarget);
        QFETCH(QString, hint);
        const Fixture form = makeWindow();
        if (haveSource) form.window->chooseSource(path(QStringLiteral("source.state")));
        if (haveTarget) form.window->chooseTarget(path(QStringLiteral("target.state")));

        ModalAnswerer guard;
        guard.expect([](QWidget* modal) { modal->close(); }, 3000);
        form.click("Command3");
        guard.stop();

        QVERIFY2(!guard.answered(), "no window opens");
        QVERIFY(QDir(dir_->path()).isEmpty());
        QVERIFY2(form.window->statusText().contains(hint), qPrintable(form.window->statusText()));
        QVERIFY(!form.window->canUndo());
    }

    void runPatchesTheTargetAndUndoPutsItBack() {
        const Fixture form = makeWindow();
        const QString target = copyOf(kSampleTarget, QStringLiteral("target.state"));
        const QByteArray before = readAll(target);
        const QByteArray source = readAll(kSampleSource);
        form.window->chooseSource(kSampleSource);
        form.window->chooseTarget(target);

        form.click("Command3");
        QCOMPARE(readAll(target), convertedInMemory(source, before));
        const QString report = form.window->statusText();
        QVERIFY2(report.startsWith(QLatin1String("Patched and verified.")), qPrintable(report));
        const int lost = cellsLostIn(source);
        QVERIFY2(lost > 0, "the sample level names chunks the target cannot hold");
        QVERIFY2(report.contains(QStringLiteral("%1 layout cells").arg(lost)), qPrintable(report));
        auto* undoButton = form.find<QToolButton>("undoButton");
        QVERIFY(form.window->canUndo() && undoButton->isEnabled());

        // Converting again changes nothing, and the first run can still be undone.
        form.click("Command3");
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Already up to date.")));

        form.window->show();
        QVERIFY(QTest::qWaitForWindowActive(form.window.get()));
        QTest::keyClick(form.window->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(readAll(target), before);
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Undone")));
        QVERIFY(!form.window->canUndo() && !undoButton->isEnabled());
    }

    void undoRemovesATargetTheRunCreated() {
        const Fixture form = makeWindow();
        const QString target = path(QStringLiteral("new.state"));
        form.window->chooseSource(kSampleSource);
        form.window->chooseTarget(target);

        form.click("Command3");
        QVERIFY(QFileInfo::exists(target));
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Created and verified.")));

        QTest::mouseClick(form.find<QToolButton>("undoButton"), Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(!form.window->canUndo());
    }

    void undoRefusesATargetChangedSince() {
        const Fixture form = makeWindow();
        const QString target = copyOf(kSampleTarget, QStringLiteral("target.state"));
        form.window->chooseSource(kSampleSource);
        form.window->chooseTarget(target);
        form.click("Command3");
        const QByteArray changed = readAll(target).replace(0, 4, "EDIT");
        QVERIFY(writeAll(target, changed));

        ModalAnswerer answerer;
        SeenBox seen;
        closeNextMessageBox(answerer, &seen);
        form.window->findChild<QAction*>(QStringLiteral("undoAction"))->trigger();

        QVERIFY(answerer.answered() && !answerer.timedOut());
        QVERIFY2(seen.text.contains(QLatin1String("has changed since the conversion")), qPrintable(seen.text));
        QCOMPARE(readAll(target), changed);
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Undo refused")));
        QVERIFY2(!form.window->canUndo(), "a refused undo is not offered again");
    }

    void sameFileTwiceIsFlaggedAndPatchedInPlace() {
        const Fixture form = makeWindow();
        const QString both = copyOf(kSampleSource, QStringLiteral("same.state"));
        const QByteArray before = readAll(both);
        form.window->chooseSource(both);
        form.window->chooseTarget(dir_->path() + QStringLiteral("/./same.state"));
        QVERIFY(form.window->statusText().contains(QLatin1String("same file")));

        form.click("Command3");
        QCOMPARE(readAll(both), convertedInMemory(before, before));
    }

    void failedRunIsShownAndLeavesTheTarget_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("failingFile");
        QTest::addColumn<QString>("what");
        QTest::newRow("missing source") << "missing.state" << "target.state" << "missing.state"
                                        << "could not open the Tavro 1 save state";
        QTest::newRow("short source") << "short.state" << "target.state" << "short.state"
                                      << "the Tavro 1 save state is too short";
        QTest::newRow("target folder missing") << "" << "no-folder/target.state" << "no-folder/target.state"
                                               << "Tavro 2 save state";
    }
    void failedRunIsShownAndLeavesTheTarget() {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, failingFile);
        QFETCH(QString, what);
        QVERIFY(writeAll(path(QStringLiteral("short.state")), QByteArray(100, '\x01')));
        QVERIFY(QFile::copy(kSampleTarget, path(QStringLiteral("target.state"))));
        const QByteArray before = readAll(path(QStringLiteral("target.state")));

        const Fixture form = makeWindow();
        form.window->chooseSource(source.isEmpty() ? kSampleSource : path(source));
        form.window->chooseTarget(path(target));
        ModalAnswerer answerer;
        SeenBox seen;
        closeNextMessageBox(answerer, &seen);
        form.click("Command3");

        QVERIFY2(answerer.answered() && !answerer.timedOut(), "a message box appears and is closed");
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QVERIFY2(seen.text.contains(what), qPrintable(seen.text));
        QVERIFY2(seen.text.contains(QDir::toNativeSeparators(path(failingFile))), qPrintable(seen.text));
        QCOMPARE(readAll(path(QStringLiteral("target.state"))), before);
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Conversion failed")));
        QVERIFY(!form.window->canUndo());
    }

    void droppedFilesAreChosenLikeDialogChoices() {
        const Fixture form = makeWindow();
        const QString source = path(QStringLiteral("dropped source.state"));
        const QString target = path(QStringLiteral("dropped-target.state"));

        const std::unique_ptr<QMimeData> sourceDrag(filesMime({QUrl::fromLocalFile(source)}));
        QVERIFY(dragAndDrop(form.find<QWidget>("Label1"), sourceDrag.get()));
        QCOMPARE(form.window->chosenSource(), source);
        QCOMPARE(form.find<QLabel>("Label1")->text(), QDir::toNativeSeparators(source));
        QCOMPARE(form.chooser->fileName(), source);

        const std::unique_ptr<QMimeData> targetDrag(filesMime({QUrl::fromLocalFile(target)}));
        QVERIFY(dragAndDrop(form.find<QWidget>("Command2"), targetDrag.get()));
        QCOMPARE(form.window->chosenTarget(), target);
        QCOMPARE(form.find<QLabel>("Label2")->text(), QDir::toNativeSeparators(target));
        QCOMPARE(form.chooser->opens + form.chooser->saves, 0);

        const std::unique_ptr<QMimeData> two(filesMime({QUrl::fromLocalFile(target), QUrl::fromLocalFile(source)}));
        const std::unique_ptr<QMimeData> remote(filesMime({QUrl(QStringLiteral("https://example.org/a.state"))}));
        const std::unique_ptr<QMimeData> moved(filesMime({QUrl::fromLocalFile(target)}));
        QVERIFY(!dragAndDrop(form.find<QWidget>("Command1"), two.get()));
        QVERIFY(!dragAndDrop(form.find<QWidget>("Label1"), remote.get()));
        QVERIFY(!dragAndDrop(form.find<QWidget>("Label1"), moved.get(), Qt::MoveAction));
        QVERIFY(!dragAndDrop(form.find<QWidget>("Command3"), sourceDrag.get()));
        QCOMPARE(form.window->chosenSource(), source);
    }

    void portugueseSystemsGetPortugueseTexts() {
        QVERIFY(!windowTranslator(QLocale(QLocale::English, QLocale::UnitedStates)));
        QVERIFY(windowTranslator(QLocale(QLocale::Portuguese, QLocale::Portugal)));
        const std::unique_ptr<QTranslator> portuguese = windowTranslator(QLocale(QLocale::Portuguese, QLocale::Brazil));
        QVERIFY(portuguese);
        QCoreApplication::installTranslator(portuguese.get());

        const Fixture form = makeWindow();
        form.click("Command3");
        const QString hint = form.window->statusText();
        QCoreApplication::removeTranslator(portuguese.get());

        QVERIFY2(hint.startsWith(QLatin1String("Escolha")), qPrintable(hint));
        QCOMPARE(form.find<QPushButton>("Command3")->text(), QStringLiteral("Converter"));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
