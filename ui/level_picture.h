// The window's picture of the level: the source's foreground, read as the
// first game, once a source is chosen; once both files are chosen, a preview
// of what the target will hold (the conversion done in memory), and after a
// conversion the target's, read as the second game, with Before and After to
// switch between them. The picture takes whatever room the window gives it,
// drawn smaller by whole factors only. Pictures are drawn on a worker thread,
// so choosing a file or resizing the window never waits for one. Clicking a
// picture opens the larger view.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QImage>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <QWidget>

#include <tavro/drawing/level_render.h>

class QButtonGroup;
class QResizeEvent;
class QTimer;
class QToolButton;

namespace tavro::ui {

class LevelView;
class MessageLabel;
class PictureSurface;

// One save state's level drawn small: what the worker thread hands back.
struct LevelDrawing {
    std::shared_ptr<const drawing::LevelMemory> level;  // null when the file could not be read
    drawing::Game game = drawing::Game::First;
    core::Plane plane = core::Plane::Foreground;
    std::optional<drawing::CellBox> box;  // the cells in use; null when there are none
    int factor = 1;                      // the picture is the box scaled down by this
    QImage picture;                      // Format_RGBA8888; null when nothing was drawn
    std::optional<core::EngineError> error;    // why the file could not be read
};

// Draws the foreground cells `level` uses, read as `game`, scaled down by the
// smallest whole factor that fits within `room` pixels. With a `frame`, the
// picture takes in those cells too (when any cell is used at all). Touches no
// widget: safe on any thread.
LevelDrawing drawLevelFromMemory(std::shared_ptr<const drawing::LevelMemory> level, drawing::Game game, QSize room,
                                 std::optional<drawing::CellBox> frame = std::nullopt);
// Reads the save state at `path` and draws its level as drawLevelFromMemory does.
LevelDrawing drawLevelFromFile(const std::string& path, drawing::Game game, QSize room,
                               std::optional<drawing::CellBox> frame = std::nullopt);

class LevelPicture : public QWidget {
    Q_OBJECT

public:
    enum class Side { Before, After };
    Q_ENUM(Side)

    explicit LevelPicture(QWidget* parent = nullptr);
    ~LevelPicture() override;

    // Draws the source (read as the first game) for Before, forgets any After
    // picture and shows Before.
    void showSource(const QString& path);
    // Draws the converted target (read as the second game) for After and
    // shows it, marking the cells that arrived empty, as the conversion's
    // summary gives them.
    void showConverted(const QString& path, const std::vector<core::LayoutCell>& emptiedCells = {});
    // The same for a conversion not yet written: `level` is what the target
    // at `path` would hold, labelled as a preview.
    void showPreview(const QString& path, std::shared_ptr<const drawing::LevelMemory> level,
                     const std::vector<core::LayoutCell>& emptiedCells);
    bool showsPreview() const { return sides_[index(Side::After)].preview; }
    // Forgets the After picture (the target no longer holds it) and shows Before.
    void forgetConverted();

    Side side() const { return side_; }
    void setSide(Side side);
    bool hasAfter() const { return !sides_[index(Side::After)].path.isEmpty(); }
    // Whether `side` has been chosen and its drawing has not come back yet.
    bool isDrawing(Side side) const;
    // Waits until every drawing started, overtaken ones too, has ended, so
    // that no drawing thread holds a save state open.
    void waitForDrawings();

    // What the shown side shows: its picture (null when none) or, in its
    // place, a short text.
    QImage picture() const;
    QString message() const;
    // The size the picture is drawn to fit, in device pixels.
    QSize room() const;
    // The cells of the shown picture marked as arrived empty (second-game
    // cells of the foreground, which the picture shows).
    const std::vector<drawing::CellBox>& marks() const;

    // Opens the larger view of the shown picture, or raises the one already
    // open; null when there is no picture to show.
    LevelView* openView();

protected:
    void resizeEvent(QResizeEvent* event) override;

signals:
    // A drawing of `side` came back (a picture or the reason there is none).
    void drawn(tavro::ui::LevelPicture::Side side);

private:
    QHBoxLayout* buildHeader();  // the Before and After switch, and the caption
    struct SideState {
        QString path;
        bool pending = false;
        std::optional<LevelDrawing> drawing;
        QFutureWatcher<LevelDrawing>* watcher = nullptr;
        QPointer<LevelView> view;
        std::vector<drawing::CellBox> marks;  // foreground cells that arrived empty
        int hiddenMarks = 0;                 // background cells that did: not in the picture
        drawing::Game game = drawing::Game::First;
        std::optional<drawing::CellBox> frame;
        bool preview = false;                // drawn from memory: nothing written yet
        std::shared_ptr<const drawing::LevelMemory> memory;  // the level drawn from memory, if so
    };
    static constexpr std::size_t index(Side side) { return side == Side::Before ? 0 : 1; }

    // Sets what `side` shows, without marks, and draws it.
    void draw(Side side, const QString& path, drawing::Game game, std::optional<drawing::CellBox> frame = std::nullopt,
              std::shared_ptr<const drawing::LevelMemory> level = nullptr);
    // Draws `side` as its state says, marks and all, to fit the picture's room.
    void startDrawing(Side side);
    // Draws the After side with the marks of `emptiedCells`, framed as Before.
    void drawAfter(const QString& path, const std::vector<core::LayoutCell>& emptiedCells,
                   std::shared_ptr<const drawing::LevelMemory> level);
    // Draws again what each side shows, to fit the room it has now.
    void redraw();
    void finished(Side side);
    void forget(Side side);
    void refresh();
    void updateSwitch();

    std::array<SideState, 2> sides_;
    Side side_ = Side::Before;

    QToolButton* before_ = nullptr;
    QToolButton* after_ = nullptr;
    QButtonGroup* switch_ = nullptr;
    MessageLabel* caption_ = nullptr;
    PictureSurface* surface_ = nullptr;
    QTimer* slowDraw_ = nullptr;  // shows "Drawing…" when a drawing takes a while
    QTimer* resized_ = nullptr;   // one redraw for a run of resizes
    QSize drawnRoom_;
    QThreadPool drawingThreads_;  // the drawings' own: waiting for them waits for no one else's work
};

}  // namespace tavro::ui
