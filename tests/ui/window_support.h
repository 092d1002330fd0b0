// What the window tests share: the sample files, a scripted file dialog, a
// window with a private folder, an answerer of modal windows, drags and drops,
// and the engine's own conversion and drawing to compare the window with.
#pragma once

#include <algorithm>
#include <cstdint>
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
#include <QCheckBox>
#include <QCompleter>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
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
#include <tavro/core/conversion.h>
#include "elided_label.h"
#include "file_chooser.h"
#include "level_picture.h"
#include <tavro/drawing/level_render.h>
#include "level_view.h"
#include "main_window.h"
#include "message_label.h"
#include "png_decode.h"
#include <tavro/pictures/picture_file.h>
#include <tavro/pictures/png_image.h>
#include <tavro/core/region_map.h>
#include "translations.h"
#include "window_texts.h"
#include "zoom_area.h"

using namespace tavro;
using namespace tavro::ui;
namespace drawing = tavro::drawing;
namespace pictures = tavro::pictures;
using Side = LevelPicture::Side;

namespace tavro::ui::test {

// The sample pair the build generates.
inline const QString kSampleSource = QStringLiteral(TAVRO_SAMPLE_SOURCE);
inline const QString kSampleTarget = QStringLiteral(TAVRO_SAMPLE_TARGET);
inline const QString kSampleBig = QStringLiteral(TAVRO_SAMPLE_BIG);  // names chunks 1 to 82

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

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The target's bytes after a conversion, as the engine makes it in memory.
inline QByteArray convertedInMemory(const QByteArray& source, const QByteArray& target, core::ChunkNumbering numbering = core::ChunkNumbering::Fixed) {
    const auto bytes = [](const QByteArray& data) {
        const auto* begin = reinterpret_cast<const std::uint8_t*>(data.constData());
        return core::Bytes(begin, begin + data.size());
    };
    const core::Bytes patched = core::patchTarget(bytes(target), core::convertRegions(core::readSourceRegions(bytes(source)), numbering));
    return QByteArray(reinterpret_cast<const char*>(patched.data()), static_cast<qsizetype>(patched.size()));
}

// A window with a scripted file dialog, and a private folder for its files.
struct Fixture {
    QTemporaryDir dir;  // outlives the window
    std::unique_ptr<ScriptedChooser> script = std::make_unique<ScriptedChooser>();
    ScriptedChooser* chooser = script.get();
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(std::move(script));

    template <class Control = QWidget> Control* find(const char* name) const { return window->findChild<Control*>(QLatin1String(name)); }
    void click(const char* name) const { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
    QString path(const QString& name) const { return dir.filePath(name); }
    // A copy of `sample` in the folder, under `name`.
    QString copyOf(const QString& sample, const QString& name) const { return QFile::copy(sample, path(name)) ? path(name) : QString(); }
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
            if (!modal || !modal->isVisible() || !modal->windowHandle() || !modal->windowHandle()->isExposed()) return poll();
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
inline bool dragAndDrop(QWidget* widget, const QList<QUrl>& urls, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
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
inline std::shared_ptr<QString> closeNextMessageBox(ModalAnswerer& answerer) {
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
inline void answerNextDialog(ModalAnswerer& answerer, const QString& path, Offer* offer, bool inField = false) {
    answerer.expect([path, offer, inField](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        auto* field = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!field) return modal->close(), void();
        *offer = {dialog->acceptMode(), dialog->fileMode(), field->text(), dialog->directory().absolutePath(), !dialog->testOption(QFileDialog::DontConfirmOverwrite)};

        QWindow* window = dialog->windowHandle();
        if (path.isEmpty()) return QTest::keyClick(window, Qt::Key_Escape);
        field->setFocus();
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
        for (const QChar character : path) QTest::keyClick(window, character.toLatin1());
        QAbstractItemView* list = field->completer() ? field->completer()->popup() : nullptr;
        if (inField && list && QTest::qWaitFor([list] { return list->isVisible(); }, 5000)) return QTest::keyClick(field, Qt::Key_Return);
        if (list) list->hide();
        QTest::keyClick(window, Qt::Key_Return);
    });
}

constexpr auto kFirst = drawing::Game::First;
constexpr auto kForeground = core::Plane::Foreground;

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

inline drawing::LevelMemory levelOf(const QString& path) { return pictures::loadLevel(toEnginePath(path)).value(); }

inline QImage fromRgba(const drawing::RgbaImage& image) { return QImage(image.pixels.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888).copy(); }

// Each test class's file ends with TAVRO_WINDOW_TEST(Class), which makes its
// maker; window_main.cpp runs them all in one application.
std::unique_ptr<QObject> makeFormTest();
std::unique_ptr<QObject> makeConvertTest();
std::unique_ptr<QObject> makePictureTest();

}  // namespace tavro::ui::test

using namespace tavro::ui::test;

#define TAVRO_WINDOW_TEST(Class)                                                                                                                                              \
    std::unique_ptr<QObject> tavro::ui::test::make##Class() { return std::make_unique<Class>(); }
