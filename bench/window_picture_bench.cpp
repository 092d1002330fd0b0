// How soon the window's level picture appears after a file is chosen.
//
//   BM_DrawForWindow/sample   the worker's whole job for the sample source:
//                             read the file, find the cells in use, draw them
//                             scaled to the window's picture
//   BM_DrawForWindow/busy     the same for a level using every cell of its plane
//   BM_PictureAppears         in the window (offscreen): from choosing the
//                             sample source until its picture has been painted
//   BM_OpenLargerView/...     clicking the picture: drawing the used cells
//                             unscaled, indexed, and opening the view painted
//   BM_RepaintLargerView/N    the busy level's view repainted at zoom step N
//                             (2 to the power N), moved by 64 pixels each time
//                             as a drag would
//
// Real time throughout: the drawing runs on a worker thread.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryFile>
#include <QTimer>
#include <QWindow>

#include <tavro/core/chunk_conversion.h>
#include "engine_adapters.h"
#include "level_picture.h"
#include "level_view.h"
#include "main_window.h"
#include <tavro/core/region_map.h>
#include "window_texts.h"
#include "zoom_area.h"

namespace {

using tavro::drawing::Game;
using tavro::ui::LevelPicture;
namespace core = tavro::core;
namespace drawing = tavro::drawing;
namespace format = tavro::core::format;
constexpr format::GameFormat kGame = format::kFirstGame;
constexpr unsigned kLastChunk = tavro::core::kLastConvertedChunk;  // the chunks the second game holds too

const QString kSampleSource = QStringLiteral(TAVRO_SAMPLE_SOURCE);

// The room the window gives its picture.
QSize windowRoom() {
    const tavro::ui::MainWindow window;
    return window.findChild<LevelPicture*>()->room();
}

// A first-game state whose every foreground cell names one of chunks 1 to
// 63, filled with random entries of blocks that exist.
QByteArray busyState() {
    std::mt19937 random(7);
    QByteArray state(static_cast<qsizetype>(tavro::core::kMinSaveStateSize + 32768), '\0');
    for (auto& byte : state) byte = static_cast<char>(random());
    const auto ram = [&](std::size_t offset) -> char& {
        return state[static_cast<qsizetype>(format::kMainRamOffset + offset)];
    };
    for (std::size_t entry = 0; entry < kGame.chunkAddress(kLastChunk + 1); entry += 2) {
        const auto block = static_cast<unsigned>(random() % format::kBlockCount);
        ram(entry) = static_cast<char>((static_cast<unsigned>(ram(entry)) & 0xFC) | block >> 8);
        ram(entry + 1) = static_cast<char>(block & 0xFF);
    }
    for (std::size_t cell = 0; cell < kGame.layoutBytes(); ++cell)
        ram(kGame.layout + cell) = static_cast<char>(1 + random() % kLastChunk);
    return state;
}

// The busy level as a file, made the first time it is asked for.
QString busyFile() {
    static const std::unique_ptr<QTemporaryFile> file = [] {
        auto made = std::make_unique<QTemporaryFile>();
        if (!made->open() || made->write(busyState()) < 0 || !made->flush()) return std::unique_ptr<QTemporaryFile>();
        return made;
    }();
    return file ? file->fileName() : QString();
}

void BM_DrawForWindow(benchmark::State& state, bool busy) {
    const QSize room = windowRoom();
    const QString path = busy ? busyFile() : kSampleSource;
    if (path.isEmpty()) return state.SkipWithError("no temporary file");
    const std::string enginePath = tavro::ui::toEnginePath(path);
    for (auto _ : state) {
        const auto drawing = tavro::ui::drawLevelFromFile(enginePath, drawing::Game::First, room);
        if (drawing.picture.isNull()) return state.SkipWithError("nothing drawn");
        benchmark::DoNotOptimize(drawing.picture.constBits());
    }
}
BENCHMARK_CAPTURE(BM_DrawForWindow, sample, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawForWindow, busy, true)->Unit(benchmark::kMillisecond)->UseRealTime();

// Runs the event loop until `picture` has drawn, or ten seconds have passed.
bool waitForPicture(LevelPicture* picture) {
    QEventLoop loop;
    QObject::connect(picture, &LevelPicture::drawn, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, [&loop] { loop.exit(1); });
    return !picture->isDrawing(LevelPicture::Side::Before) || loop.exec() == 0;
}

// Runs the event loop until `widget`'s window can be painted.
bool waitForExposure(QWidget* widget) {
    QElapsedTimer waited;
    waited.start();
    while (!(widget->windowHandle() && widget->windowHandle()->isExposed())) {
        if (waited.elapsed() > 10000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void BM_PictureAppears(benchmark::State& state) {
    tavro::ui::MainWindow window;
    window.show();
    if (!waitForExposure(&window)) return state.SkipWithError("no window");
    auto* picture = window.findChild<LevelPicture*>();
    for (auto _ : state) {
        window.chooseSource(kSampleSource);
        if (!waitForPicture(picture) || picture->picture().isNull()) return state.SkipWithError("no picture");
        window.repaint();
    }
}
BENCHMARK(BM_PictureAppears)->Unit(benchmark::kMillisecond)->UseRealTime();

// The window with `path` chosen as its source and pictured.
struct PicturedWindow {
    tavro::ui::MainWindow window;
    LevelPicture* picture = window.findChild<LevelPicture*>();

    bool choose(const QString& path) {
        window.show();
        window.chooseSource(path);
        return !path.isEmpty() && waitForExposure(&window) && waitForPicture(picture) && !picture->picture().isNull();
    }
};

void BM_OpenLargerView(benchmark::State& state, bool busy) {
    PicturedWindow pictured;
    if (!pictured.choose(busy ? busyFile() : kSampleSource)) return state.SkipWithError("no picture");
    for (auto _ : state) {
        tavro::ui::LevelView* view = pictured.picture->openView();
        if (!view || !waitForExposure(view)) return state.SkipWithError("no view");
        view->repaint();
        state.PauseTiming();
        view->close();  // and it deletes itself
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (pictured.window.findChild<tavro::ui::LevelView*>()) return state.SkipWithError("the view stayed");
        state.ResumeTiming();
    }
}
BENCHMARK_CAPTURE(BM_OpenLargerView, sample, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_OpenLargerView, busy, true)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RepaintLargerView(benchmark::State& state) {
    PicturedWindow pictured;
    if (!pictured.choose(busyFile())) return state.SkipWithError("no picture");
    tavro::ui::LevelView* view = pictured.picture->openView();
    if (!view || !waitForExposure(view)) return state.SkipWithError("no view");
    tavro::ui::ZoomArea* area = view->area();
    area->setZoomStep(static_cast<int>(state.range(0)));
    QPointF centre = area->centre();
    double step = 64 / area->zoom();
    for (auto _ : state) {
        centre.rx() += step;
        if (centre.x() < 0 || centre.x() > view->picture().width()) step = -step;
        area->centreOn(centre);
        area->viewport()->repaint();
    }
    view->close();
}
BENCHMARK(BM_RepaintLargerView)
    ->DenseRange(tavro::ui::ZoomArea::kMinZoomStep, tavro::ui::ZoomArea::kMaxZoomStep, 3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The offscreen platform says, each time a window opens, what it cannot do.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    qt_message_output(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    // The window is drawn offscreen: no display is needed, and none is measured.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
