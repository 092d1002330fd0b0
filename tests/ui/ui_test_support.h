// Helpers shared by the window tests: a window whose file dialog answers from
// a script, a private folder, files as bytes, the conversion the engine makes
// in memory, and an answerer for modal windows that cannot hang a test.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "conversion.h"
#include "file_chooser.h"
#include "main_window.h"

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
    int shown = 0;

    std::optional<QString> showOpen() override { return next(); }
    std::optional<QString> showSave() override { return next(); }
    QString fileName() const override { return fileName_; }
    void setFileName(const QString& path) override { fileName_ = path; }

private:
    std::optional<QString> next() {
        ++shown;
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
inline QByteArray convertedInMemory(const QByteArray& source, const QByteArray& target,
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
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
                else modal->close();
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
    bool answered_ = false;
    bool timedOut_ = false;
    int generation_ = 0;
};

}  // namespace tavro::ui::test
