// The program's one window, Form1. Command1 chooses the Tavro 1 save state
// (the source), Command2 the Tavro 2 save state (the target), both through the
// one shared file dialog AR; Command3 converts. (The controls keep those object
// names; the members say what they hold.) Beneath the controls a check box
// chooses the packed conversion, and a picture shows the source's level and,
// after a conversion, the target's, with the cells that arrived empty marked;
// a status bar at the bottom says what happened, offers the packed conversion
// when a default one left cells empty, and offers to undo the last conversion.
#pragma once

#include <memory>
#include <optional>

#include <QMainWindow>
#include <QString>

#include <tavro/conversion_run.h>

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

class Form1 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
    // `chooser` answers in place of the window's own file dialog.
    explicit Form1(std::unique_ptr<FileChooser> chooser, QWidget* parent = nullptr);
    ~Form1() override;

    const QString& chosenSource() const { return sourcePath_; }
    const QString& chosenTarget() const { return targetPath_; }
    // The status bar's message.
    QString statusText() const;
    bool canUndo() const { return undo_.has_value(); }
    bool packs() const;

public slots:
    void sourceClicked();
    void targetClicked();
    void convertClicked();
    void undoLastConversion();
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

private:
    enum class PathRole { Source, Target };

    void buildControls(QWidget* area);
    void buildStatusBar();
    void buildPicture();
    void buildUndoAction();
    void buildPackAction();
    void setTabOrderAndFocus();
    void connectControls();
    void acceptDrops();
    void fixWindowFrame();

    void choose(PathRole role, const QString& path);
    std::optional<PathRole> dropRoleOf(const QObject* watched) const;
    // `details`, when given, is the status bar's tooltip.
    void showStatus(const QString& line, const QString& details = {});
    void showFailure(const QString& title, const QString& text);
    // Asks before converting a source that holds no Tavro 1 level; true: convert it.
    bool askConvertAnyway(const ConversionError& error);
    void keepUndo(std::optional<UndoRecord> record);
    // `repeat`: this run converts again what the last one converted.
    void convert(bool repeat);
    void offerPack(bool offered);

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
    QAction* packAction_ = nullptr;
    QToolButton* packButton_ = nullptr;
    QAction* undoAction_ = nullptr;
    QToolButton* undoButton_ = nullptr;
    std::optional<UndoRecord> undo_;
};

}  // namespace tavro::ui
