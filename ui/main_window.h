// The program's one window. Command1 chooses the Tavro 1 save state (the
// source), Command2 the Tavro 2 save state (the target), both through the one
// shared file dialog AR; Command3 converts. The form keeps its size and place
// at the top whatever the window's size. Beneath it two check boxes choose
// the packed conversion and a backup, and a picture takes the rest of the
// room: the source's level, then, once both files are chosen and the
// conversion would be accepted, a preview of what the target will hold, and
// after a conversion the target's, with the cells that arrive empty marked.
// A status bar at the bottom, two lines high whatever it says, tells whether
// a conversion would be accepted and what happened; it offers the packed
// conversion where the plain one would leave (or left) cells empty that
// packing carries, to swap the two files where they read as swapped, and to
// undo the last conversion, which shows the preview again. F1 opens a short
// help, with the About box one button away.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QMainWindow>
#include <QString>

#include <tavro/run/conversion_run.h>

#include "conversion_preview.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

namespace tavro::ui {

class ElidedLabel;
class FileChooser;
class LevelPicture;
class MessageLabel;

// The window and its controls keep the object names Form1, Command1 and so on,
// which scripts and assistive tools outside know; the members say what they hold.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    // `chooser` answers in place of the window's own file dialog.
    explicit MainWindow(std::unique_ptr<FileChooser> chooser, QWidget* parent = nullptr);
    ~MainWindow() override;

    const QString& chosenSource() const { return sourcePath_; }
    const QString& chosenTarget() const { return targetPath_; }
    // The status bar's message.
    QString statusText() const;
    bool canUndo() const { return undo_.has_value(); }
    bool packs() const;
    bool keepsBackup() const;

public slots:
    void sourceClicked();
    void targetClicked();
    void convertClicked();
    void undoLastConversion();
    void showAbout();
    void showHelp();
    // Chooses the Tavro 2 save state as the source and the Tavro 1 as the target.
    void swapFiles();
    // Ticks the packed conversion and converts again; undo then goes back to
    // before the conversion this one repeats.
    void convertPacked();

    // Choose a file as the dialogs do; a file dropped on a path's label or
    // button arrives here.
    void chooseSource(const QString& path);
    void chooseTarget(const QString& path);

    // The window's own menu of bars and docks would only offer to hide the picture.
    QMenu* createPopupMenu() override { return nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    enum class PathRole { Source, Target };
    // Where a conversion starts from, as its undo needs it: the packed box as
    // it was before the conversion ticked it (none: the box was left alone),
    // and whether the conversion converts again what the last one converted,
    // so that its undo goes back to before both.
    struct UndoStart {
        std::optional<bool> packedBefore;
        bool repeats = false;
    };
    // What Undo needs: the record of what the conversion replaced, and the
    // box as it was before the conversion ticked it.
    struct UndoEntry {
        run::UndoRecord record;
        std::optional<bool> packedBefore;
    };

    void buildControls(QWidget* area);
    void buildStatusBar();
    QWidget* buildPicture(QWidget* parent);
    void buildUndoAction();
    void buildPackAction();
    void buildSwapAction();
    void buildAboutAction();
    void setTabOrderAndFocus();
    void connectControls();
    void acceptDrops();

    void choose(PathRole role, const QString& path);
    // Says whether a conversion of the chosen files would be accepted, and if
    // so shows its preview; true when it would.
    bool checkChoices();
    // Runs `work` with the wait cursor; an exception ends in the status bar
    // and a box titled `failureTitle`. False when one was thrown.
    bool guarded(const QString& failureTitle, const std::function<void()>& work);
    std::optional<PathRole> dropRoleOf(const QObject* watched) const;
    // `details`, when given, is the status bar's tooltip.
    void showStatus(const QString& line, const QString& details = {});
    void showFailure(const QString& title, const QString& text);
    // Asks before converting a source that holds no Tavro 1 level; true: convert it.
    bool askConvertAnyway(const core::EngineError& error);
    void keepUndo(std::optional<UndoEntry> entry);
    void convert(const UndoStart& start);
    // Whether the files still give what the preview showed; when not, checks
    // them again and says so.
    bool previewStillHolds();
    void showConverted(run::ConversionReport report, const UndoStart& start);
    // `repeats`: offered after a plain conversion, which it converts again.
    void offerPack(bool offered, bool repeats = true);
    void offerSwap(bool offered);

    QString sourcePath_;
    QString targetPath_;
    std::unique_ptr<FileChooser> fileChooser_;

    ElidedLabel* sourceLabel_ = nullptr;
    QPushButton* sourceButton_ = nullptr;
    ElidedLabel* targetLabel_ = nullptr;
    QPushButton* targetButton_ = nullptr;
    QPushButton* convertButton_ = nullptr;
    QLabel* creditCaption_ = nullptr;
    QLabel* creditName_ = nullptr;

    LevelPicture* picture_ = nullptr;
    MessageLabel* status_ = nullptr;
    QCheckBox* packCheck_ = nullptr;
    QCheckBox* backupCheck_ = nullptr;
    QAction* packAction_ = nullptr;
    QToolButton* packButton_ = nullptr;
    bool packRepeats_ = false;
    QAction* swapAction_ = nullptr;
    QToolButton* swapButton_ = nullptr;
    QAction* undoAction_ = nullptr;
    QToolButton* undoButton_ = nullptr;
    std::optional<UndoEntry> undo_;
    // What the last preview showed the target would hold.
    std::optional<ConversionPreview> preview_;
    bool opened_ = false;
};

}  // namespace tavro::ui
