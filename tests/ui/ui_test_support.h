// Helpers shared by the window tests: a file chooser that answers from a
// script, files as bytes, the conversion the engine makes in memory, and an
// answerer for modal windows that cannot hang a test.
#pragma once

#include <deque>
#include <functional>
#include <optional>

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "conversion.h"
#include "file_chooser.h"

namespace tavro::ui::test {

// The sample pair the build generates.
inline const QString kSampleSource = QStringLiteral(TAVRO_SAMPLE_SOURCE);
inline const QString kSampleTarget = QStringLiteral(TAVRO_SAMPLE_TARGET);

// Answers each dialog with the next scripted path; nothing scripted, or an
// empty optional, means the user cancelled.
class ScriptedChooser final : public FileChooser {
public:
    std::deque<std::optional<QString>> answers;
    int opens = 0;
    int saves = 0;

    std::optional<QString> showOpen() override {
        ++opens;
        return next();
    }
    std::optional<QString> showSave() override {
        ++saves;
        return next();
    }
    QString fileName() const override { return fileName_; }
    void setFileName(const QString& path) override { fileName_ = path; }

private:
    std::optional<QString> next() {
        if (answers.empty()) return std::nullopt;
        std::optional<QString> answer = answers.front();
        answers.pop_front();
        if (answer) fileName_ = *answer;
        return answer;
    }

    QString fileName_;
};

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

inline bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The target's bytes after a conversion, as the engine makes it in memory.
inline QByteArray convertedInMemory(const QByteArray& source, const QByteArray& target) {
    const auto bytes = [](const QByteArray& data) {
        return Bytes(reinterpret_cast<const std::uint8_t*>(data.constData()),
                     reinterpret_cast<const std::uint8_t*>(data.constData()) + data.size());
    };
    const Bytes patched = patchTarget(bytes(target), convertRegions(readSourceRegions(bytes(source))));
    return QByteArray(reinterpret_cast<const char*>(patched.data()), static_cast<qsizetype>(patched.size()));
}

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
        answered_ = false;
        timedOut_ = false;
        ++generation_;
        poll();
        QTimer::singleShot(timeoutMs, this, [this, generation = generation_] {
            if (generation != generation_) return;
            if (!answered_) timedOut_ = true;
            for (int left = 10; left > 0; --left) {
                QWidget* modal = QApplication::activeModalWidget();
                if (!modal) break;
                timedOut_ = true;
                if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
                else modal->close();
            }
        });
    }

    // Stops waiting: nothing more will be answered or closed.
    void stop() { ++generation_; }

    bool answered() const { return answered_; }
    bool timedOut() const { return timedOut_; }

private:
    void poll() {
        QTimer::singleShot(20, this, [this, generation = generation_] {
            if (generation != generation_ || answered_ || timedOut_) return;
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || !modal->windowHandle() || !modal->windowHandle()->isExposed()) {
                poll();
                return;
            }
            if (!modal->isActiveWindow()) {
                // Nothing else activates a dialog here: there is no window manager.
                modal->activateWindow();
                poll();
                return;
            }
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
