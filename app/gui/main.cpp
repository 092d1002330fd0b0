// tavro-conversor: opens the window and runs until it is closed.
#include <cstdio>
#include <exception>
#include <expected>
#include <memory>

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

#include "main_window.h"
#include "quit_when_shown.h"
#include "translations.h"
#include "window_texts.h"

namespace {

// The translators belong to `app`, which deletes them when it goes.
void installTranslations(QCoreApplication& app) {
    const QLocale locale;
    const auto install = [&app](std::unique_ptr<QTranslator> translator) {
        if (!translator) return;
        translator->setParent(&app);
        app.installTranslator(translator.release());
    };
    install(tavro::ui::windowTranslator(locale));
    install(tavro::ui::qtTranslator(locale));
}

struct Options {
    bool quitWhenShown = false;
    QString source;  // chosen when the window opens; empty: none
    QString target;
};

// What the program says instead of opening the window, and its exit code.
struct Answer {
    int code = 0;
    QString text;
    bool toError = false;  // said on the standard error, else on the standard output
};

// Reads the command line: the window's options, or the answer that ends the
// program (--version, too many files). Qt's own parser answers --help and
// --help-all, and refuses an option it does not know, ending the program
// there: only it can list its own options.
std::expected<Options, Answer> parseCommandLine(const QCoreApplication& app) {
    QCommandLineParser parser;
    using tavro::ui::WindowTexts;
    parser.setApplicationDescription(WindowTexts::commandLineDescription());
    parser.addHelpOption();
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     WindowTexts::versionOption());
    parser.addOption(version);
    // Hidden: the start-up benchmark (bench/startup.sh) measures the time from
    // start until the window is first painted; this option ends the program
    // there (quit_when_shown.h). It is no use to a player.
    QCommandLineOption quitWhenShown(QStringLiteral("quit-when-shown"));
    quitWhenShown.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(quitWhenShown);
    parser.addPositionalArgument(QStringLiteral("SOURCE"), WindowTexts::sourceArgument(), QStringLiteral("[SOURCE"));
    parser.addPositionalArgument(QStringLiteral("TARGET"), WindowTexts::targetArgument(), QStringLiteral("[TARGET]]"));

    parser.process(app);
    if (parser.isSet(version)) return std::unexpected(Answer{.text = QStringLiteral(TAVRO_VERSION)});
    const QStringList files = parser.positionalArguments();
    if (files.size() > 2)
        return std::unexpected(Answer{.code = 2, .text = WindowTexts::tooManyFiles(), .toError = true});
    // The paths are kept absolute: the file dialogs start from their folders.
    const auto absolute = [&files](qsizetype at) {
        return at < files.size() ? QFileInfo(files.at(at)).absoluteFilePath() : QString();
    };
    return Options{parser.isSet(quitWhenShown), absolute(0), absolute(1)};
}

// Says `answer`; gives its exit code.
int say(const Answer& answer) {
    std::fprintf(answer.toError ? stderr : stdout, "%s\n", qPrintable(answer.text));
    return answer.code;
}

// --help and --version are answered without a window system, so they work
// where there is no display.
bool onlyAsksForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help") || argument == QLatin1String("-?") ||
            argument == QLatin1String("--help-all") || argument == QLatin1String("-v") ||
            argument == QLatin1String("--version"))
            return true;
    }
    return false;
}

void describeApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("tavro-conversor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tavro-conversor"));
}

int run(int argc, char** argv) {
    if (onlyAsksForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        describeApplication();
        installTranslations(app);
        const std::expected<Options, Answer> options = parseCommandLine(app);
        return options ? 0 : say(options.error());
    }

    QApplication app(argc, argv);
    describeApplication();
    installTranslations(app);
    const std::expected<Options, Answer> parsed = parseCommandLine(app);
    if (!parsed) return say(parsed.error());
    const Options& options = *parsed;

    tavro::ui::MainWindow window;
    if (!options.source.isEmpty()) window.chooseSource(options.source);
    if (!options.target.isEmpty()) window.chooseTarget(options.target);
    QuitWhenShown quitter;
    if (options.quitWhenShown) window.installEventFilter(&quitter);
    window.show();
    return QApplication::exec();
}

}  // namespace

// Nothing escapes: whatever goes wrong unexpectedly is one line and exit 1.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tavro-conversor: unexpected failure: %s\n", failure.what());
    } catch (...) { std::fprintf(stderr, "tavro-conversor: unexpected failure\n"); }
    return 1;
}
