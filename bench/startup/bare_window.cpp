// The yardstick for the window's start-up: a bare Qt Widgets program that
// shows an empty window of the same size and quits once it has been painted,
// as `tavro-conversor --quit-when-shown` does.
#include <QApplication>
#include <QWidget>

#include "quit_when_shown.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(442, 349);  // the size of the program's window
    QuitWhenShown quitter;
    window.installEventFilter(&quitter);
    window.show();
    return QApplication::exec();
}
