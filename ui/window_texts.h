// Every text the window adds to the form's own captions: what it tells the
// user about conversions and undos, and its tooltips, in the user's language.
// Paths are shown in the platform's separators.
#pragma once

#include <string>

#include <QCoreApplication>
#include <QString>

#include "conversion_run.h"

namespace tavro::ui {

// Paths cross into the engine in the file system's encoding and come back the same way.
std::string toEnginePath(const QString& path);
QString fromEnginePath(const std::string& path);

class WindowTexts {
    Q_DECLARE_TR_FUNCTIONS(WindowTexts)

public:
    // Status bar lines: short enough for the window's width. A failure's whole
    // story (file and reason) goes in a message box.
    static QString ready();  // at start
    static QString choosePaths(bool sourceMissing, bool targetMissing);
    static QString nextChoice(bool sourceMissing, bool targetMissing);
    static QString samePath();
    static QString converting(const QString& target);
    static QString converted(const ConversionReport& report);
    static QString conversionFailed(const ConversionError& error);
    static QString undone(UndoOutcome outcome, const QString& target);
    static QString undoFailed(const ConversionError& error);

    // Message boxes: a title and the whole story (what failed, the file, the
    // system's reason).
    static QString conversionFailedTitle();
    static QString undoFailedTitle(const ConversionError& error);
    static QString conversionFailureText(const ConversionError& error);
    static QString undoFailureText(const ConversionError& error);
    static QString unexpectedFailure(const QString& what);

    // Tooltips of the form's buttons.
    static QString sourceButtonTip();
    static QString targetButtonTip();
    static QString convertButtonTip();

    // The undo action.
    static QString undoText();
    static QString undoToolTip(const QString& target);
    static QString nothingToUndo();

private:
    static QString whatFailed(const ConversionError& error);
    static QString fileAndReason(const ConversionError& error);
    static QString fileName(const QString& path);
};

}  // namespace tavro::ui
