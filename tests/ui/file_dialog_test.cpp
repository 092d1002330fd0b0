// The window with its own QFileDialog, answered as a user would answer it:
// select the file name field, type a path, press Return (or Escape). What
// the window does with the paths is the business of window_test.cpp.
#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "main_window.h"
#include "ui_test_support.h"

using namespace tavro::ui;
using namespace tavro::ui::test;

namespace {

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

class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
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
};

QTEST_MAIN(FileDialogTest)
#include "file_dialog_test.moc"
