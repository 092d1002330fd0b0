// Every text the window adds to the form's own captions: what it tells the
// user about conversions and undos, and its tooltips, in the user's language.
// Paths are shown in the platform's separators.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QString>

#include <tavro/run/conversion_run.h>
#include <tavro/core/engine_error.h>
#include <tavro/files/file_error.h>
#include "engine_adapters.h"

namespace tavro::ui {

class WindowTexts {
    Q_DECLARE_TR_FUNCTIONS(WindowTexts)

public:
    // Status bar lines: short enough for the window's width. A failure's whole
    // story (file and reason) goes in a message box.
    static QString ready();  // at start
    static QString choosePaths(bool sourceMissing, bool targetMissing);
    static QString nextChoice(bool sourceMissing, bool targetMissing);
    // The source chosen does not read as a Tavro 1 save state, or reads as
    // the Tavro 2 save state of a swapped pair; the file named.
    static QString notFirstGameLevel(const QString& source);
    static QString looksSwapped(const QString& source);
    // After the user chose not to convert a file that does not read as the
    // game its role needs: what to do next.
    static QString notConverted(const core::EngineError& error);
    static QString converting(const QString& target);
    static QString converted(const run::ConversionReport& report);
    // The technical facts of a conversion (chunks, cells): a tooltip.
    static QString levelDetails(const core::LevelSummary& level);
    // Only when a conversion would be accepted; `packCarries`: the packed
    // conversion carries cells the plain one would leave empty.
    static QString readyToConvert(const core::LevelSummary& level, bool packCarries = false);
    // Which file stands in the way, and why.
    static QString notReady(const core::EngineError& error);
    static QString previewOutdated();
    static QString packingStaysOn();
    // Whether a failed conversion left the target as it was.
    static QString targetState(const core::EngineError& error);
    static QString conversionFailed(const core::EngineError& error);
    // What undo put back, and which of the conversion's backups it removed or kept.
    static QString undone(const run::UndoReport& report, const QString& target);
    // After a conversion that repeated the last one: where the bytes from before both are.
    static QString originalKeptIn(const QString& backup);
    static QString undoFailed(const core::EngineError& error);

    // Message boxes: a title and the whole story (what failed, the file, the
    // system's reason).
    static QString conversionFailedTitle();
    static QString undoFailedTitle(const core::EngineError& error);
    static QString conversionFailureText(const core::EngineError& error);
    static QString undoFailureText(const core::EngineError& error);
    static QString unexpectedFailure(const QString& what);
    // The question before converting a source that does not hold a Tavro 1
    // level (or a pair that looks swapped), explaining why.
    static QString convertAnywayTitle();
    static QString convertAnyway(const core::EngineError& error);

    // A file's name as it may be shown: control characters and the marks
    // that turn the direction of text (U+202E and its like) written as \n,
    // \t, \xNN or \uNNNN, so that a line stays one line in its order.
    static QString shown(const QString& name);

    // Tooltips of the form's buttons.
    static QString sourceButtonTip();
    static QString targetButtonTip();
    static QString convertButtonTip();
    // The credit's ("Programação:").
    static QString creditTip();

    // The choice of the packed conversion, beneath the form, and its offer
    // in the status bar after a conversion that left cells empty.
    static QString packCheck();
    static QString packCheckTip();
    static QString backupCheck();
    static QString backupCheckTip();
    static QString packOffer();
    static QString packOfferTip();         // after a plain conversion
    static QString packPreviewOfferTip();  // before anything is written
    // Offered where the two files read as swapped.
    static QString swapOffer();
    static QString swapOfferTip();

    // The undo action.
    static QString undoText();
    static QString undoToolTip(const QString& target);
    static QString nothingToUndo();

    // The level picture beneath the form.
    static QString beforeButton();
    static QString afterButton();
    static QString beforeTip();
    static QString afterTip();
    static QString previewButton();
    static QString previewTip();
    static QString pictureHint();  // before a source is chosen
    static QString pictureDrawing();
    static QString pictureEmpty();
    // Names the file, not its folder: the window shows the path already.
    static QString pictureUnreadable(const core::EngineError& error);
    // `preview`: the conversion is not written yet.
    static QString pictureCaption(const QString& path, int factor, bool preview = false);
    static QString pictureCaptionTip(int width, int height, int factor);
    // Told before the description of a preview.
    static QString previewDescription();
    // Appended to the caption of a converted level: how many cells arrived
    // (or would arrive) empty, `shown` of them marked on the picture, `hidden`
    // in the background.
    static QString emptiedCaption(int shown, int hidden, bool preview = false);
    static QString pictureTip();

    // What assistive technology tells of the controls that show no text of
    // their own: the path lines and the picture.
    static QString sourceLineName();
    static QString targetLineName();
    static QString noFileChosen();
    static QString pictureName();
    // The picture of the level in `path`, `width` × `height` pixels shrunk by
    // `factor`; `emptied`, for a converted level, counts the cells that arrived empty.
    static QString pictureDescription(const QString& path, int width, int height, int factor,
                                      std::optional<int> emptied);

    // The help (F1): how to record the two save states, what the picture
    // shows, where the backup is; its About button opens the About box.
    static QString helpTitle();
    static QString helpText();
    static QString aboutButton();
    static QString aboutTitle();
    static QString aboutText(const QString& version);

    // The program's --help.
    static QString commandLineDescription();
    static QString versionOption();
    static QString sourceArgument();
    static QString targetArgument();
    static QString tooManyFiles();

    // The larger view of a picture.
    static QString viewTitle(const QString& path, bool converted);
    static QString zoomIn();
    static QString zoomOut();
    static QString actualSize();
    static QString zoomLevel(double zoom);
    static QString zoomTip();
    static QString savePicture();
    static QString savePictureTip();
    static QString savePictureTitle();
    static QString pngFilter();
    static QString pictureSaved(const QString& path);
    static QString pictureNotSavedTitle();
    static QString pictureNotSaved(const core::EngineError& error);
    static QString pictureSize(int width, int height);

    // Why an engine operation failed, in the user's language and number
    // format; the system's own words only where it gave them (its strerror
    // text, which follows the process's locale).
    static QString why(const core::EngineError& error);

private:
    static QString whatFailed(const core::EngineError& error);
    static QString roleName(core::FileRole role);
    static QString levelEvidence(const core::EngineError& error);
    static QString looksText(core::FileLooks looks);
    static QString idName(std::uint64_t id, files::OwnerKind kind);
    static QString fileAndReason(const core::EngineError& error);
    static QString fileName(const QString& path);
};

}  // namespace tavro::ui
