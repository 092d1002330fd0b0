// The level picture beneath the form and its larger view: what they show is
// compared with what the engine draws, pixel for pixel.
#include <cstring>
#include <memory>

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "level_picture.h"
#include "level_render.h"
#include "level_view.h"
#include "main_window.h"
#include "png_image.h"
#include "region_map.h"
#include "ui_test_support.h"
#include "window_texts.h"
#include "zoom_area.h"

using namespace tavro::ui;
using namespace tavro::ui::test;
namespace render = tavro::render;
using Side = LevelPicture::Side;

namespace {

constexpr int kDrawTimeoutMs = 20000;

struct Fixture {
    std::unique_ptr<Form1> window = std::make_unique<Form1>(std::make_unique<ScriptedChooser>());
    LevelPicture* picture = window->findChild<LevelPicture*>();

    QWidget* surface() const { return picture->findChild<QWidget*>(QStringLiteral("pictureSurface")); }
    QAbstractButton* button(const char* name) const {
        return window->findChild<QAbstractButton*>(QLatin1String(name));
    }
};

render::LevelMemory levelOf(const QString& path) { return render::LevelMemory::load(toEnginePath(path)).value(); }

QImage fromRgba(const render::RgbaImage& image) {
    return QImage(image.pixels.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888).copy();
}

// The pixels of an indexed picture as the engine drew them.
bool samePixels(const QImage& shown, const render::IndexedImage& drawn) {
    if (shown.format() != QImage::Format_Indexed8 || shown.width() != drawn.width || shown.height() != drawn.height)
        return false;
    for (int row = 0; row < drawn.height; ++row) {
        if (std::memcmp(shown.constScanLine(row), drawn.pixels.data() + static_cast<std::size_t>(row * drawn.width),
                        static_cast<std::size_t>(drawn.width)) != 0)
            return false;
    }
    return true;
}

render::CellBox inSecondGameCells(render::CellBox box) {
    return {box.column * 2, box.row * 2, box.columns * 2, box.rows * 2};
}

bool waitForDrawing(const LevelPicture* picture, Side side) {
    return QTest::qWaitFor([&] { return !picture->isDrawing(side); }, kDrawTimeoutMs);
}

}  // namespace

class LevelPictureTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;

    QString path(const QString& name) const { return dir_->filePath(name); }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }
    void cleanup() { dir_.reset(); }

    void pictureSitsBetweenTheFormAndTheStatusBar() {
        Fixture form;
        Form1& window = *form.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY(form.picture);
        const QRect panel(form.picture->mapTo(&window, QPoint(0, 0)), form.picture->size());
        QCOMPARE(window.centralWidget()->geometry(), QRect(0, 0, 442, 169));
        QVERIFY(panel.top() >= 169);
        QVERIFY(panel.bottom() < window.statusBar()->geometry().top());
        QCOMPARE(window.width(), 442);
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QCOMPARE(window.size(), window.minimumSize());
        QVERIFY(!form.picture->message().isEmpty());  // the hint to choose a source
        QVERIFY(form.picture->picture().isNull());
        QVERIFY(!form.button("beforeButton")->isVisible() && !form.button("afterButton")->isVisible());
    }

    void choosingTheSourceShowsItsLevelScaledToTheWidth() {
        Fixture form;
        QSignalSpy drawn(form.picture, &LevelPicture::drawn);
        form.window->chooseSource(kSampleSource);
        QVERIFY(waitForDrawing(form.picture, Side::Before));
        QCOMPARE(drawn.count(), 1);

        const QImage shown = form.picture->picture();
        QVERIFY2(!shown.isNull(), qPrintable(form.picture->message()));
        QCOMPARE(shown.format(), QImage::Format_RGBA8888);
        const QSize room = form.picture->room();
        QVERIFY(shown.width() <= room.width() && shown.height() <= room.height());
        QVERIFY2(shown.width() > room.width() * 9 / 10, "the wide sample level fills the width");
        const auto expected = render::drawPreview(levelOf(kSampleSource), render::Game::First,
                                                  render::Plane::Foreground, shown.width());
        QVERIFY(expected.has_value());
        QCOMPARE(shown, fromRgba(*expected));
        QCOMPARE(form.picture->side(), Side::Before);
    }

    void tallLevelsAreFittedToTheHeight() {
        // A level of one first-game column over all eight rows: 256 x 2,048 pixels.
        QByteArray state = readAll(kSampleSource);
        const auto layout = static_cast<qsizetype>(tavro::kMainRamOffset + 0xA400);
        for (qsizetype row = 0; row < 8; ++row) {
            for (qsizetype column = 0; column < 64; ++column) {
                const qsizetype at = layout + row * 128 + column;
                state[at] = static_cast<char>(column == 5 ? 1 + row : 0);
            }
        }
        QVERIFY(writeAll(path(QStringLiteral("tall.state")), state));

        Fixture form;
        form.window->chooseSource(path(QStringLiteral("tall.state")));
        QVERIFY(waitForDrawing(form.picture, Side::Before));
        const QImage shown = form.picture->picture();
        QVERIFY2(!shown.isNull(), qPrintable(form.picture->message()));
        QVERIFY(shown.height() <= form.picture->room().height());
        QVERIFY(shown.height() > form.picture->room().height() * 3 / 4);
        QVERIFY2(shown.width() * 6 < shown.height(), "one column eight rows tall");
    }

    void conversionShowsTheTargetsLevelAndTheSwitchGoesBack() {
        const QString target = path(QStringLiteral("target.state"));
        QVERIFY(QFile::copy(kSampleTarget, target));
        Fixture form;
        form.window->chooseSource(kSampleSource);
        form.window->chooseTarget(target);
        QVERIFY(waitForDrawing(form.picture, Side::Before));
        const QImage before = form.picture->picture();
        QVERIFY(!form.picture->hasAfter());

        QTest::mouseClick(form.window->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
        QVERIFY(form.picture->hasAfter());
        QCOMPARE(form.picture->side(), Side::After);
        QVERIFY(waitForDrawing(form.picture, Side::After));
        const QImage after = form.picture->picture();
        QVERIFY2(!after.isNull(), qPrintable(form.picture->message()));

        // The target read as the second game, framed as the source was, at the same scale.
        const render::LevelMemory source = levelOf(kSampleSource);
        const render::LevelMemory converted = levelOf(target);
        const auto frame = inSecondGameCells(*render::usedCells(source, render::Game::First, render::Plane::Foreground));
        const int factor = render::fitFactor(frame.columns * 128, after.width());
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after, fromRgba(render::drawScaled(converted, render::Game::Second, render::Plane::Foreground,
                                                    frame, factor)));

        QAbstractButton* beforeButton = form.button("beforeButton");
        QAbstractButton* afterButton = form.button("afterButton");
        QVERIFY(beforeButton->isEnabled() && afterButton->isChecked());
        QTest::mouseClick(beforeButton, Qt::LeftButton);
        QCOMPARE(form.picture->side(), Side::Before);
        QCOMPARE(form.picture->picture(), before);
        QTest::mouseClick(afterButton, Qt::LeftButton);
        QCOMPARE(form.picture->side(), Side::After);
        QCOMPARE(form.picture->picture(), after);

        // Undoing puts the target back: its After picture goes.
        form.window->undoLastConversion();
        QVERIFY(!form.picture->hasAfter());
        QCOMPARE(form.picture->side(), Side::Before);
        QCOMPARE(form.picture->picture(), before);
    }

    void choosingAnotherTargetForgetsTheAfterPicture() {
        const QString target = path(QStringLiteral("target.state"));
        QVERIFY(QFile::copy(kSampleTarget, target));
        Fixture form;
        form.window->chooseSource(kSampleSource);
        form.window->chooseTarget(target);
        QTest::mouseClick(form.window->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
        QVERIFY(form.picture->hasAfter());

        form.window->chooseTarget(path(QStringLiteral("other.state")));
        QVERIFY(!form.picture->hasAfter());
        QCOMPARE(form.picture->side(), Side::Before);
        QVERIFY(waitForDrawing(form.picture, Side::Before));
        QVERIFY(!form.picture->picture().isNull());
    }

    void keyboardReachesThePictureAndOpensTheView() {
        const QString target = path(QStringLiteral("target.state"));
        QVERIFY(QFile::copy(kSampleTarget, target));
        Fixture form;
        form.window->show();
        QVERIFY(QTest::qWaitForWindowActive(form.window.get()));
        form.window->chooseSource(kSampleSource);
        form.window->chooseTarget(target);
        QTest::mouseClick(form.window->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
        QVERIFY(waitForDrawing(form.picture, Side::After));

        // From Converter: Undo, the picture, the switch (one stop for both, as
        // for any exclusive group), and round to the first button.
        QStringList order;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(form.window->windowHandle(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order.mid(0, 2), QStringList({QStringLiteral("undoButton"), QStringLiteral("pictureSurface")}));
        QVERIFY2(order[2].endsWith(QLatin1String("Button")) && order[2] != QLatin1String("undoButton"),
                 qPrintable(order[2]));
        QCOMPARE(order[3], QStringLiteral("Command1"));
        form.surface()->setFocus();
        QTest::keyClick(form.window->windowHandle(), Qt::Key_Return);
        auto* view = form.window->findChild<LevelView*>();
        QVERIFY(view);
        QVERIFY(view->windowTitle().contains(QLatin1String("after the conversion")));
    }

    void aFileThatCannotBeDrawnShowsWhy_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QByteArray empty = readAll(kSampleSource);
        const auto layout = static_cast<qsizetype>(tavro::kMainRamOffset + 0xA400);
        empty.replace(layout, 1024, QByteArray(1024, '\0'));
        QTest::newRow("missing") << "missing.state" << QByteArray() << "cannot open missing.state";
        QTest::newRow("short") << "short.state" << QByteArray(100, '\x07') << "short.state is too short";
        QTest::newRow("empty layout") << "empty.state" << empty << WindowTexts::pictureEmpty();
    }
    void aFileThatCannotBeDrawnShowsWhy() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        if (!bytes.isEmpty()) QVERIFY(writeAll(path(name), bytes));

        Fixture form;
        form.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.window.get()));
        form.window->chooseSource(path(name));
        QVERIFY(waitForDrawing(form.picture, Side::Before));

        QVERIFY(form.picture->picture().isNull());
        QVERIFY2(form.picture->message().contains(reason), qPrintable(form.picture->message()));
        QVERIFY2(!form.picture->message().contains(dir_->path()), "the picture names the file, not its folder");
        QTest::mouseClick(form.surface(), Qt::LeftButton);
        QVERIFY(!form.window->findChild<LevelView*>());
    }

    void clickingThePictureOpensTheWholeLevelUnscaled() {
        Fixture form;
        form.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.window.get()));
        form.window->chooseSource(kSampleSource);
        QVERIFY(waitForDrawing(form.picture, Side::Before));

        QTest::mouseClick(form.surface(), Qt::LeftButton);
        auto* view = form.window->findChild<LevelView*>();
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QVERIFY(view->isWindow());
        QVERIFY(view->windowTitle().contains(QFileInfo(kSampleSource).fileName()));

        const render::LevelMemory level = levelOf(kSampleSource);
        const auto box = *render::usedCells(level, render::Game::First, render::Plane::Foreground);
        QVERIFY(samePixels(view->picture(), render::drawPlane(level, render::Game::First, render::Plane::Foreground, box)));
        const render::Palette palette = render::readPalette(level);
        QCOMPARE(view->picture().colorCount(), 64);
        QCOMPARE(view->picture().color(17), qRgba(palette[17].r, palette[17].g, palette[17].b, palette[17].a));
        QCOMPARE(qAlpha(view->picture().color(16)), 0);

        // A second click raises the same view.
        QTest::mouseClick(form.surface(), Qt::LeftButton);
        QCOMPARE(form.window->findChildren<LevelView*>().size(), 1);
    }

    void viewZoomsWithTheKeysAndTheWheelAndPansByDragging() {
        Fixture form;
        form.window->chooseSource(kSampleSource);
        QVERIFY(waitForDrawing(form.picture, Side::Before));
        LevelView* view = form.picture->openView();
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowActive(view));
        ZoomArea* area = view->area();
        const int start = area->zoomStep();
        QVERIFY2(start < 0, "the wide sample level starts shrunk to fit");

        QTest::keyClick(view->windowHandle(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(area->zoomStep(), start + 1);
        QTest::keyClick(view->windowHandle(), Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(area->zoomStep(), start + 2);
        QTest::keyClick(view->windowHandle(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(area->zoomStep(), start + 1);
        QTest::keyClick(view->windowHandle(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(area->zoomStep(), 0);
        for (int i = 0; i < 10; ++i) QTest::keyClick(view->windowHandle(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(area->zoomStep(), ZoomArea::kMaxZoomStep);

        // The wheel zooms about the pointer: the picture's point under it stays there.
        area->setZoomStep(0);
        QWidget* viewport = area->viewport();
        const QPointF pointer(viewport->width() / 3.0, viewport->height() / 3.0);
        const QPointF before = area->centre() + (pointer - QRectF(viewport->rect()).center()) / area->zoom();
        QWheelEvent wheel(pointer, viewport->mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        QCOMPARE(area->zoomStep(), 1);
        const QPointF after = area->centre() + (pointer - QRectF(viewport->rect()).center()) / area->zoom();
        QVERIFY2((after - before).manhattanLength() <= 1.0, "the point under the pointer stays put");

        // Dragging left and up moves the picture with the pointer.
        const QPointF centre = area->centre();
        const QPoint from = viewport->rect().center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, from - QPoint(40, 20));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, from - QPoint(40, 20));
        QCOMPARE(area->centre(), centre + QPointF(40, 20) / area->zoom());
    }

    void viewSavesThePictureAsPng() {
        Fixture form;
        form.window->chooseSource(kSampleSource);
        QVERIFY(waitForDrawing(form.picture, Side::Before));
        LevelView* view = form.picture->openView();
        QVERIFY(view);
        const QString png = path(QStringLiteral("level.png"));
        QString offered;
        view->setSavePathAsker([&](QWidget*, const QString& suggested) -> std::optional<QString> {
            offered = suggested;
            return png;
        });

        QTest::mouseClick(view->findChild<QAbstractButton*>(QStringLiteral("savePictureButton")), Qt::LeftButton);
        QCOMPARE(QFileInfo(offered).fileName(), QStringLiteral("%1.png").arg(QFileInfo(kSampleSource).completeBaseName()));
        const QByteArray saved = readAll(png);
        QVERIFY(!saved.isEmpty());
        const auto decoded = render::decodePng(
            std::span(reinterpret_cast<const std::uint8_t*>(saved.constData()), static_cast<std::size_t>(saved.size())));
        QVERIFY(decoded.has_value());
        const render::LevelMemory level = levelOf(kSampleSource);
        const auto box = *render::usedCells(level, render::Game::First, render::Plane::Foreground);
        const render::RgbaImage expected = render::toRgba(
            render::drawPlane(level, render::Game::First, render::Plane::Foreground, box), render::readPalette(level));
        QCOMPARE(decoded->width, expected.width);
        QCOMPARE(decoded->height, expected.height);
        QVERIFY(decoded->pixels == expected.pixels);
        QVERIFY2(view->note().contains(QStringLiteral("level.png")), qPrintable(view->note()));
    }

    void aFailedSaveSaysWhyAndLeavesNoFile() {
        Fixture form;
        form.window->chooseSource(kSampleSource);
        QVERIFY(waitForDrawing(form.picture, Side::Before));
        LevelView* view = form.picture->openView();
        QVERIFY(view);
        const QString png = path(QStringLiteral("no-folder/level.png"));
        view->setSavePathAsker([&](QWidget*, const QString&) -> std::optional<QString> { return png; });

        ModalAnswerer answerer;
        QString text;
        answerer.expect([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) text = box->text();
            modal->close();
        });
        view->savePicture();
        QVERIFY(answerer.answered() && !answerer.timedOut());
        QVERIFY2(text.contains(QStringLiteral("no-folder")), qPrintable(text));
        QVERIFY(!QFileInfo::exists(png));

        // Cancelling the question saves nothing and opens nothing.
        view->setSavePathAsker([](QWidget*, const QString&) -> std::optional<QString> { return std::nullopt; });
        answerer.expect([](QWidget* modal) { modal->close(); }, 2000);
        view->savePicture();
        answerer.stop();
        QVERIFY(!answerer.answered());
        QVERIFY(QDir(dir_->path()).isEmpty());
    }
};

QTEST_MAIN(LevelPictureTest)
#include "level_picture_test.moc"
