// The larger view of a level picture, in a window of its own: the whole area
// the layout uses, unscaled, which pans and zooms (wheel, Ctrl + and Ctrl −,
// dragging) and saves as PNG. The picture is indexed, one byte a pixel, shown
// through a colour table, so even a whole plane takes 32 MiB, not 128.
#pragma once

#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QString>

#include <tavro/drawing/level_render.h>

class QAction;
class QLabel;

namespace tavro::ui {

class ZoomArea;

class LevelView : public QDialog {
    Q_OBJECT

public:
    // What to draw: a save state's level, read as `game`, within `box`.
    struct Source {
        std::shared_ptr<const drawing::LevelMemory> level;
        drawing::Game game = drawing::Game::First;
        core::Plane plane = core::Plane::Foreground;
        drawing::CellBox box;
        QString path;            // the save state's, for the title and the PNG's name
        bool converted = false;  // the target after a conversion
        std::vector<drawing::CellBox> marks;  // cells that arrived empty, marked over the picture
        // The scale of the picture the view enlarges (1/7 for one shown seven
        // times smaller); the view opens at this scale or larger.
        double shownScale = 0.0;
    };

    // Asks where to save the picture, offering `suggested`; nothing when the
    // user cancelled.
    using SavePathAsker = std::function<std::optional<QString>(QWidget* parent, const QString& suggested)>;

    explicit LevelView(Source source, QWidget* parent = nullptr);
    ~LevelView() override;

    // The picture as shown: Format_Indexed8 over the drawn pixels.
    const QImage& picture() const { return picture_; }
    ZoomArea* area() const { return area_; }
    // The line beneath the picture: a hint, or what the last save did.
    QString note() const;

    // Replaces the file dialog that asks where to save.
    void setSavePathAsker(SavePathAsker asker) { askSavePath_ = std::move(asker); }

    // Writes the picture as an indexed PNG to `path`, all or nothing.
    std::expected<void, core::EngineError> saveTo(const QString& path) const;

public slots:
    // Asks where, saves, and says how it went.
    void savePicture();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void buildActions();          // zoom in, zoom out, actual size, save, with their keys
    QHBoxLayout* buildToolbar();  // the actions' buttons, the zoom level and the picture's size
    void showZoom(int step);
    QString suggestedPath() const;

    Source source_;
    drawing::IndexedImage indexed_;
    drawing::Palette palette_{};
    QImage picture_;  // shares indexed_'s pixels
    SavePathAsker askSavePath_;
    bool zoomChosen_ = false;

    ZoomArea* area_ = nullptr;
    QLabel* zoomLevel_ = nullptr;
    QLabel* note_ = nullptr;
    QAction* zoomIn_ = nullptr;
    QAction* zoomOut_ = nullptr;
    QAction* actualSize_ = nullptr;
    QAction* save_ = nullptr;
};

}  // namespace tavro::ui
