// The one file dialog the window shares between its two path buttons.
//
// The chooser holds a file name and keeps it from one dialog to the next: each
// dialog opens with the name last held, whichever button set it. Cancelling a
// dialog leaves that name as it was.
#pragma once

#include <optional>

#include <QPointer>
#include <QString>

class QFileDialog;
class QWidget;

namespace tavro::ui {

// Closes any popup still open once a dialog has closed. Return pressed while
// the file name's completion list shows closes a file dialog but can leave
// the list on screen, where it would swallow the next click.
void closeLeftoverPopups();

class FileChooser {
public:
    virtual ~FileChooser() = default;

    // A modal dialog for choosing a file to read. Returns the chosen path, or
    // nothing when the user cancelled.
    virtual std::optional<QString> showOpen() = 0;

    // A modal dialog for choosing the file to write. It does not ask before
    // naming an existing file: the target is patched, not replaced.
    virtual std::optional<QString> showSave() = 0;

    // The file name the next dialog offers.
    virtual QString fileName() const = 0;
    virtual void setFileName(const QString& path) = 0;
};

// The chooser the window uses: a QFileDialog with no filter, no title of its
// own and no initial folder, created when it is first needed.
class DialogFileChooser final : public FileChooser {
public:
    explicit DialogFileChooser(QWidget* parent);
    ~DialogFileChooser() override;

    std::optional<QString> showOpen() override;
    std::optional<QString> showSave() override;
    QString fileName() const override { return fileName_; }
    void setFileName(const QString& path) override { fileName_ = path; }

private:
    enum class Purpose { Open, Save };
    std::optional<QString> show(Purpose purpose);
    QFileDialog& dialog();

    QPointer<QWidget> parent_;
    QPointer<QFileDialog> dialog_;  // owned by parent_
    QString fileName_;
};

}  // namespace tavro::ui
