// The yardstick for the window's start-up: a bare Qt Widgets program that
// shows an empty window of the same size and quits once it has been painted,
// as `tavro-conversor --quit-when-shown` does.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

class QuitWhenPainted : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !quitting_) {
            quitting_ = true;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool quitting_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(442, 195);
    QuitWhenPainted quitter;
    window.installEventFilter(&quitter);
    window.show();
    return QApplication::exec();
}
