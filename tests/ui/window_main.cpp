// Runs the window's test classes in one application, offscreen, with the
// window's texts as a user in the test's locale reads them.
#include <QApplication>
#include <QLocale>
#include <QTest>

#include "window_support.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::unique_ptr<QTranslator> texts = windowTranslator(QLocale());
    if (texts) QCoreApplication::installTranslator(texts.get());
    int failures = 0;
    for (const auto make : {makeFormTest, makeConvertTest, makePictureTest}) {
        const std::unique_ptr<QObject> tests = make();
        failures += QTest::qExec(tests.get(), argc, argv);
    }
    return failures;
}
