#include "window_texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLocale>
#include <QStringList>

namespace tavro::ui {

QString WindowTexts::fileName(const QString& path) { return shown(QFileInfo(path).fileName()); }

QString WindowTexts::shown(const QString& name) {
    QString text;
    for (const QChar c : name) {
        const char16_t code = c.unicode();
        if (code == u'\n') {
            text += QStringLiteral("\\n");
        } else if (code == u'\t') {
            text += QStringLiteral("\\t");
        } else if (code < 0x20 || code == 0x7F) {
            text += QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'));
        } else if ((code >= 0x80 && code <= 0x9F) || code == 0x61C || code == 0x200E || code == 0x200F ||
                   (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069)) {
            text += QStringLiteral("\\u%1").arg(code, 4, 16, QLatin1Char('0'));
        } else {
            text += c;
        }
    }
    return text;
}

QString WindowTexts::ready() { return tr("Choose both save states, then press Converter."); }

QString WindowTexts::choosePaths(bool sourceMissing, bool targetMissing) {
    if (sourceMissing && targetMissing) return tr("Choose the Tavro 1 and the Tavro 2 save states first.");
    if (sourceMissing) return tr("Choose the Tavro 1 save state first.");
    if (targetMissing) return tr("Choose the Tavro 2 save state first.");
    return {};
}

QString WindowTexts::nextChoice(bool sourceMissing, bool targetMissing) {
    if (sourceMissing && targetMissing) return ready();
    if (sourceMissing) return tr("Now choose the Tavro 1 save state.");
    if (targetMissing) return tr("Now choose the Tavro 2 save state.");
    return tr("Ready: press Converter.");
}

QString WindowTexts::converting(const QString& target) { return tr("Converting into %1…").arg(fileName(target)); }

QString WindowTexts::converted(const run::ConversionReport& report) {
    // One short line: the target's path is in the window already.
    QString line;
    switch (report.outcome) {
    case run::TargetOutcome::Created: line = tr("Created: the level only, not a whole save state to load."); break;
    case run::TargetOutcome::Patched: line = report.verified ? tr("Done, and checked.") : tr("Done."); break;
    case run::TargetOutcome::Unchanged: line = tr("Already up to date: nothing was written."); break;
    }
    if (report.backupPath)
        line +=
            QLatin1Char(' ') + tr("The previous contents are in %1.").arg(fileName(fromEnginePath(*report.backupPath)));
    // What was lost comes first: a conversion that left cells empty is no plain success.
    const int lost = report.level.cellsLost;
    if (lost > 0) line = tr("⚠ %n cell(s) arrived empty.", nullptr, lost) + QLatin1Char(' ') + line;
    return line;
}

QString WindowTexts::levelDetails(const core::LevelSummary& level) {
    QStringList lines;
    if (level.numbering == core::ChunkNumbering::Packed)
        lines << tr("Packed: %1 of %2 Tavro 2 chunks in use.").arg(level.chunksUsed).arg(core::kPackedChunkSlots);
    if (level.cellsLost > 0 && level.numbering == core::ChunkNumbering::Packed)
        lines << tr("%n cell(s) did not fit in the chunks and arrive empty.", nullptr, level.cellsLost);
    else if (level.cellsLost > 0)
        lines << tr("%n cell(s) name Tavro 1 chunks 64 and above, which only packing carries: "
                    "Tavro 1 chunk k becomes Tavro 2 chunks 4k to 4k+3.",
                    nullptr, level.cellsLost);
    return lines.join(QLatin1Char('\n'));
}

QString WindowTexts::readyToConvert(const core::LevelSummary& level, bool packCarries) {
    if (level.cellsLost > 0 && packCarries)
        return tr("⚠ %n cell(s) would arrive empty (in red): Convert packed carries the whole level.", nullptr,
                  level.cellsLost);
    if (level.cellsLost > 0)
        return tr("⚠ %n cell(s) would arrive empty (in red). Ready: press Converter.", nullptr, level.cellsLost);
    return tr("Ready: press Converter. The After picture is a preview of the result.");
}

QString WindowTexts::notReady(const core::EngineError& error) {
    return tr("Not ready: %1 — %2.").arg(roleName(error.file), why(error));
}

QString WindowTexts::previewOutdated() {
    return tr("The files changed after the preview was drawn: look at the new preview, then press Converter again.");
}

QString WindowTexts::packingStaysOn() { return tr("Packing stays on: untick the box to stop it."); }

QString WindowTexts::targetState(const core::EngineError& error) {
    return error.undo ? tr("The Tavro 2 save state was replaced all the same; Undo puts it back.")
                      : tr("The Tavro 2 save state was left unchanged.");
}

QString WindowTexts::whatFailed(const core::EngineError& error) {
    const QString file = roleName(error.file);
    switch (error.step) {
    case core::Step::Choose: return tr("%1 has not been chosen").arg(file);
    case core::Step::Open: return tr("could not open %1").arg(file);
    case core::Step::Read: return tr("could not read %1").arg(file);
    case core::Step::Check:
        switch (error.cause) {
        case core::Cause::TooShort: return tr("%1 is too short").arg(file);
        case core::Cause::SameFile: return tr("%1 would take two roles").arg(file);
        case core::Cause::NotAPicture: return tr("%1 is not a PNG picture").arg(file);
        case core::Cause::IsAPicture: return tr("%1 is a PNG picture").arg(file);
        case core::Cause::NotFirstGameLevel:
        case core::Cause::LooksSwapped: return tr("%1 does not hold a Tavro 1 level").arg(file);
        case core::Cause::NotSecondGameState: return tr("the file chosen as %1 is not one").arg(file);
        default: return tr("%1 was refused").arg(file);
        }
    case core::Step::Create:
        if (const std::string folder = factsAs<core::Folder>(error).path; !folder.empty())
            return tr("could not create a temporary file in the folder %1, where %2 is")
                .arg(shown(QDir::toNativeSeparators(QString::fromStdString(folder))), file);
        return tr("could not create a temporary file beside %1").arg(file);
    case core::Step::Write: return tr("could not write %1").arg(file);
    case core::Step::Flush: return tr("could not flush %1 to disk").arg(file);
    case core::Step::Replace: return tr("could not replace %1 with its new contents").arg(file);
    case core::Step::Verify: return tr("%1 was written but could not be checked afterwards").arg(file);
    case core::Step::Remove: return tr("could not remove %1").arg(file);
    case core::Step::Draw: return tr("there is nothing to draw in %1").arg(file);
    case core::Step::Encode: return tr("could not encode %1 as PNG").arg(file);
    case core::Step::Recheck:
        if (error.operation == core::Operation::Undo) return tr("%1 has changed since the conversion").arg(file);
        return tr("%1 changed while converting").arg(file);
    }
    return tr("could not use %1").arg(file);
}

QString WindowTexts::conversionFailed(const core::EngineError& error) {
    return tr("Conversion failed: %1.").arg(whatFailed(error));
}

QString WindowTexts::undone(const run::UndoReport& report, const QString& target) {
    QString line = report.outcome == run::UndoOutcome::Removed
                       ? tr("Undone: %1, which the conversion had created, was removed.").arg(fileName(target))
                       : tr("Undone: %1 holds its previous contents again.").arg(fileName(target));
    const auto names = [](const std::vector<std::string>& paths) {
        QStringList shownNames;
        for (const std::string& path : paths) shownNames << fileName(fromEnginePath(path));
        return shownNames.join(QStringLiteral(", "));
    };
    if (report.backupsRemoved.size() == 1)
        line += QLatin1Char(' ') + tr("Its backup %1 was removed.").arg(names(report.backupsRemoved));
    else if (!report.backupsRemoved.empty())
        line += QLatin1Char(' ') + tr("Its backups %1 were removed.").arg(names(report.backupsRemoved));
    if (report.backupsKept.size() == 1)
        line +=
            QLatin1Char(' ') +
            tr("Its backup %1 was kept (changed since, or it could not be removed).").arg(names(report.backupsKept));
    else if (!report.backupsKept.empty())
        line += QLatin1Char(' ') + tr("Its backups %1 were kept (changed since, or they could not be removed).")
                                       .arg(names(report.backupsKept));
    return line;
}

QString WindowTexts::originalKeptIn(const QString& backup) {
    return tr("The contents before both conversions are in %1.").arg(fileName(backup));
}

QString WindowTexts::undoFailed(const core::EngineError& error) {
    if (run::undoRefused(error)) return tr("Undo refused: %1.").arg(whatFailed(error));
    return tr("Undo failed: %1.").arg(whatFailed(error));
}

QString WindowTexts::conversionFailedTitle() { return tr("Conversion failed"); }

QString WindowTexts::undoFailedTitle(const core::EngineError& error) {
    return run::undoRefused(error) ? tr("Undo refused") : tr("Undo failed");
}

QString WindowTexts::unexpectedFailure(const QString& what) {
    return tr("Something unexpected went wrong: %1").arg(what);
}

QString WindowTexts::why(const core::EngineError& error) {
    const QLocale locale;
    const auto number = [&locale](std::uintmax_t value) { return locale.toString(static_cast<qulonglong>(value)); };
    const core::ByteCounts sizes = factsAs<core::ByteCounts>(error);
    const core::Owner owner = factsAs<core::Owner>(error);
    switch (error.cause) {
    case core::Cause::System:
        return error.reason.empty() ? tr("the system gave no reason") : QString::fromLocal8Bit(error.reason);
    case core::Cause::NotChosen: return tr("no file was chosen");
    case core::Cause::NotRegularFile: return tr("it is not a regular file");
    case core::Cause::TooShort:
        return tr("it is too short to hold a level: %1 bytes, a save state has at least %2")
            .arg(number(sizes.bytes), number(sizes.of));
    case core::Cause::EndedEarly:
        return tr("it ended after %1 of its %2 bytes (is another program changing it?)")
            .arg(number(sizes.bytes), number(sizes.of));
    case core::Cause::HardLinks:
        return tr("it has %1 names (hard links); replacing it would separate them: work on a copy instead")
            .arg(number(factsAs<core::NameCount>(error).names));
    case core::Cause::OwnerNotKept:
        if (files::keepsNoOwners(error))
            return tr("its owner (user %1, group %2) could not be kept: this file system cannot keep owners")
                .arg(idName(owner.user, files::OwnerKind::User),
                     idName(owner.group.value_or(0), files::OwnerKind::Group));
        if (files::isOwnUser(owner.user))
            return tr("its group (%1) could not be kept, as you do not belong to it: %2")
                .arg(idName(owner.group.value_or(0), files::OwnerKind::Group), QString::fromLocal8Bit(error.reason));
        return tr("its owner (user %1, group %2) could not be kept: %3")
            .arg(idName(owner.user, files::OwnerKind::User), idName(owner.group.value_or(0), files::OwnerKind::Group),
                 QString::fromLocal8Bit(error.reason));
    case core::Cause::Changed:
        if (error.operation == core::Operation::Undo) return tr("it was changed after the conversion");
        return tr("another program changed it meanwhile; nothing was written");
    case core::Cause::Gone: return tr("it no longer exists");
    case core::Cause::OtherSize: return tr("it has another size than was written");
    case core::Cause::OtherBytes: return tr("it holds other bytes than were written");
    case core::Cause::EmptyForeground: return tr("its foreground layout is empty");
    case core::Cause::EmptyBackground: return tr("its background layout is empty");
    case core::Cause::EmptyPicture: return tr("the picture is empty");
    case core::Cause::Encoder: return tr("the PNG encoder failed (%1)").arg(QString::fromLocal8Bit(error.reason));
    case core::Cause::IsTheSaveState: return tr("it is the save state being shown");

    case core::Cause::SameFile: {
        const core::OtherRole other = factsAs<core::OtherRole>(error);
        if ((error.file == core::FileRole::Target && other.file == core::FileRole::Source) ||
            (error.file == core::FileRole::Source && other.file == core::FileRole::Target))
            return tr("it is also %1, %2: one file cannot be both the source and the target")
                .arg(roleName(other.file), fileName(fromEnginePath(other.path)));
        return tr("it is also %1, %2 (the same file); one file cannot take both roles, so nothing was written")
            .arg(roleName(other.file), QDir::toNativeSeparators(shown(fromEnginePath(other.path))));
    }
    case core::Cause::NotAPicture: return tr("it exists and is not a PNG picture; nothing was written");
    case core::Cause::IsAPicture: return tr("it is a PNG picture, not a save state");
    case core::Cause::NotFirstGameLevel:
        if (const core::FileLooks looks = factsAs<core::CellCounts>(error).looks; looks != core::FileLooks::Noise)
            return tr("it does not hold a Tavro 1 level: %1").arg(looksText(looks));
        return tr("it does not hold a Tavro 1 level: %1. Is it a Tavro 2 save state?").arg(levelEvidence(error));
    case core::Cause::NotSecondGameState:
        return tr("it is not a Tavro 2 save state: %1; nothing was written")
            .arg(looksText(factsAs<core::CellCounts>(error).looks));
    case core::Cause::LooksSwapped:
        return tr("it does not hold a Tavro 1 level (%1), and the Tavro 2 save state does: are the two swapped?")
            .arg(factsAs<core::CellCounts>(error).looks == core::FileLooks::Noise
                     ? levelEvidence(error)
                     : looksText(factsAs<core::CellCounts>(error).looks));
    case core::Cause::Socket: return tr("it is a socket, not a file");
    case core::Cause::MountPoint:
        return tr("the system will not put another file in its place (%1): it is a mount point, such as a "
                  "bind-mounted file; work on a copy instead")
            .arg(QString::fromLocal8Bit(error.reason));
    // What file access refuses to drop, follow or overwrite.
    case core::Cause::AttributeNotKept:
        return tr("its extended attribute %1 cannot be carried to the new file (%2); nothing was written")
            .arg(QString::fromLocal8Bit(factsAs<core::Attribute>(error).name), QString::fromLocal8Bit(error.reason));
    case core::Cause::FlagsNotKept:
        return tr("its inode flags (%1, see lsattr) cannot be given to a new file or keep it from being replaced; "
                  "nothing was written")
            .arg(QString::fromLatin1(core::inodeFlagLetters(factsAs<core::InodeFlags>(error).flags)));
    case core::Cause::SharedFolderEntry:
        return tr("it belongs to user %1 in a shared folder where only its owner may replace it; nothing was written")
            .arg(QString::number(owner.user));
    case core::Cause::SharedFolderLink:
        return tr("a link on the way belongs to user %1 in a shared folder, and is not followed; nothing was written")
            .arg(QString::number(owner.user));
    case core::Cause::OpenElsewhere: return tr("another program has it open (close it there, then try again)");
    case core::Cause::WroteNothing: return tr("the system wrote nothing of it (is the disk full?)");
    case core::Cause::ModeNotKept:
        return tr("the new file would not keep its permission bits %1 (it shows %2); nothing was written")
            .arg(factsAs<core::Modes>(error).given, 4, 8, QLatin1Char('0'))
            .arg(factsAs<core::Modes>(error).shown, 4, 8, QLatin1Char('0'));
    case core::Cause::Leftover:
        return tr("a replacement that was interrupted (a card pulled out?) left a copy of its previous state in %1; "
                  "the "
                  "file at its name is whole (the previous state or the converted one): delete %1 (or keep it "
                  "elsewhere) and try again; nothing was written")
            .arg(QDir::toNativeSeparators(shown(fromEnginePath(factsAs<core::LeftoverCopy>(error).path))));
    case core::Cause::LeftoverOnly:
        return tr("nothing is at its name: a replacement that was interrupted (a card pulled out?) left its previous "
                  "state in %1 (and the new one, if it was complete, in a hidden .NAME.tavro-XXXXXX beside it); "
                  "rename %1 back to its name and try again; nothing was written")
            .arg(QDir::toNativeSeparators(shown(fromEnginePath(factsAs<core::LeftoverCopy>(error).path))));
    }
    return QString::fromLocal8Bit(error.reason);
}

QString WindowTexts::roleName(core::FileRole role) {
    switch (role) {
    case core::FileRole::Source: return tr("the Tavro 1 save state");
    case core::FileRole::Target: return tr("the Tavro 2 save state");
    case core::FileRole::Backup: return tr("the backup of the Tavro 2 save state");
    case core::FileRole::SaveState: return tr("the save state");
    case core::FileRole::Picture: return tr("the picture");
    }
    return {};
}

QString WindowTexts::levelEvidence(const core::EngineError& error) {
    const core::CellCounts cells = factsAs<core::CellCounts>(error);
    if (cells.impossible == 0) return tr("its layout names no chunk holding a level's data");
    const QLocale locale;
    return tr("%1 of its %2 cells that name a chunk name one whose bytes would lie over the cells or the "
              "block table")
        .arg(locale.toString(static_cast<qulonglong>(cells.impossible)),
             locale.toString(static_cast<qulonglong>(cells.naming)));
}

QString WindowTexts::looksText(core::FileLooks looks) {
    switch (looks) {
    case core::FileLooks::FirstGameState: return tr("it reads as a Tavro 1 save state");
    case core::FileLooks::SecondGameState: return tr("it reads as a Tavro 2 save state");
    case core::FileLooks::Picture: return tr("it is a PNG picture");
    case core::FileLooks::Text: return tr("it looks like text");
    case core::FileLooks::Zeros: return tr("it holds almost only zeros: no save state at all");
    case core::FileLooks::Noise: return tr("it holds no level of either game");
    }
    return {};
}

QString WindowTexts::idName(std::uint64_t id, files::OwnerKind kind) {
    return shown(QString::fromLocal8Bit(files::ownerName(id, kind)));
}

QString WindowTexts::notFirstGameLevel(const QString& source) {
    return tr("%1 does not hold a Tavro 1 level: is it a Tavro 2 save state?").arg(fileName(source));
}

QString WindowTexts::looksSwapped(const QString& source) {
    return tr("%1 looks like a Tavro 2 save state: are the two files swapped?").arg(fileName(source));
}

QString WindowTexts::notConverted(const core::EngineError& error) {
    if (error.cause == core::Cause::LooksSwapped)
        return tr("Not converted. Press Swap files, or choose the Tavro 1 save state again.");
    if (error.cause == core::Cause::NotSecondGameState)
        return tr("Not converted. Choose a Tavro 2 save state the emulator saved.");
    return tr("Not converted. Choose a Tavro 1 save state that holds a level.");
}

QString WindowTexts::swapOffer() { return tr("Swap files"); }

QString WindowTexts::swapOfferTip() {
    return tr("Take the chosen Tavro 2 save state as the Tavro 1 one and the other way round");
}

QString WindowTexts::convertAnywayTitle() { return tr("Convert anyway?"); }

QString WindowTexts::convertAnyway(const core::EngineError& error) {
    return tr("Before converting: %1.").arg(whatFailed(error)) + QStringLiteral("\n\n") + fileAndReason(error) +
           QStringLiteral("\n\n") +
           (error.file == core::FileRole::Target
                ? tr("Converting writes the Tavro 1 level over the bytes where a Tavro 2 state keeps its level. "
                     "Convert anyway?")
                : tr("Converting it carries whatever its bytes hold into the Tavro 2 save state. Convert anyway?"));
}

QString WindowTexts::fileAndReason(const core::EngineError& error) {
    QString text =
        tr("File: %1\nReason: %2").arg(QDir::toNativeSeparators(shown(fromEnginePath(error.path))), why(error));
    if (!error.keptIn.empty())
        text += QLatin1Char('\n') + tr("The previous contents of the Tavro 2 save state are in %1.")
                                        .arg(QDir::toNativeSeparators(shown(fromEnginePath(error.keptIn))));
    return text;
}

QString WindowTexts::conversionFailureText(const core::EngineError& error) {
    return tr("The conversion failed: %1.").arg(whatFailed(error)) + QStringLiteral("\n\n") + fileAndReason(error) +
           QStringLiteral("\n\n") + targetState(error);
}

QString WindowTexts::undoFailureText(const core::EngineError& error) {
    const QString headline = run::undoRefused(error)
                                 ? tr("The undo was refused: %1; it was left as it is.").arg(whatFailed(error))
                                 : tr("The undo failed: %1.").arg(whatFailed(error));
    return headline + QStringLiteral("\n\n") + fileAndReason(error);
}

QString WindowTexts::sourceButtonTip() {
    return tr("Tavro 1 Save State: choose the Tavro 1 save state to read (or drop it here)");
}

QString WindowTexts::targetButtonTip() {
    return tr("Tavro 2 / 2 B Savestate: choose the save state of Tavro 2 or Tavro 2 B to patch (or drop it here)");
}

QString WindowTexts::convertButtonTip() {
    return tr("Converter (convert): carry the Tavro 1 level into the Tavro 2 save state");
}

QString WindowTexts::creditTip() { return tr("Programação (programming): who wrote the program"); }

QString WindowTexts::packCheck() { return tr("&Pack to carry the whole level"); }

QString WindowTexts::packCheckTip() {
    return tr("Number the Tavro 2 chunks afresh, so that cells naming Tavro 1 chunks 64 and above "
              "arrive too. Without it, Tavro 1 chunk k becomes Tavro 2 chunks 4k to 4k+3, which holds "
              "chunks 1 to 63 only.");
}

QString WindowTexts::backupCheck() { return tr("Keep a &backup"); }

QString WindowTexts::backupCheckTip() {
    return tr("Before replacing the Tavro 2 save state, keep its previous contents beside it in a new file, "
              "its name with .bak added (.bak.2, .bak.3… when that is taken): no backup replaces another");
}

QString WindowTexts::packOffer() { return tr("Convert packed"); }

QString WindowTexts::packPreviewOfferTip() {
    return tr("Convert with packed chunks, which carries chunks 64 and above too. Tick the Pack box first "
              "to see its preview.");
}

QString WindowTexts::packOfferTip() {
    return tr("Convert again with packed chunks, which carries chunks 64 and above too. "
              "Undo then puts the target back as it was before both conversions.");
}

QString WindowTexts::undoText() { return tr("Undo"); }

QString WindowTexts::undoToolTip(const QString& target) {
    return tr("Put %1 back as it was before the conversion (%2)")
        .arg(QDir::toNativeSeparators(target), QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText));
}

QString WindowTexts::nothingToUndo() { return tr("Nothing to undo"); }

QString WindowTexts::beforeButton() { return tr("Before"); }

QString WindowTexts::afterButton() { return tr("After"); }

QString WindowTexts::previewButton() { return tr("After (preview)"); }

QString WindowTexts::beforeTip() { return tr("The Tavro 1 level: what the source holds now"); }

QString WindowTexts::afterTip() { return tr("The Tavro 2 result: the level the target holds since the conversion"); }

QString WindowTexts::previewTip() {
    return tr("The Tavro 2 result: what the target will hold once you press Converter (nothing is written yet)");
}

QString WindowTexts::pictureHint() { return tr("Choose a Tavro 1 save state to see its level here."); }

QString WindowTexts::pictureDrawing() { return tr("Drawing the level…"); }

QString WindowTexts::pictureEmpty() { return tr("Nothing to draw: the level's foreground layout is empty."); }

QString WindowTexts::pictureUnreadable(const core::EngineError& error) {
    const QString name = fileName(fromEnginePath(error.path));
    switch (error.step) {
    case core::Step::Open: return tr("No picture: could not open %1: %2.").arg(name, why(error));
    case core::Step::Read: return tr("No picture: could not read %1: %2.").arg(name, why(error));
    default: return tr("No picture: %1: %2.").arg(name, why(error));
    }
}

QString WindowTexts::pictureCaption(const QString& path, int factor, bool preview) {
    const QString size = factor == 1 ? tr("full size") : tr("shown %n time(s) smaller", nullptr, factor);
    const QString text = fileName(path) + QStringLiteral(" · ") + size;
    return preview ? tr("Preview of %1").arg(text) : text;
}

QString WindowTexts::previewDescription() {
    return tr("A preview of the conversion, nothing written yet: the cells said to have arrived empty are those "
              "that would.");
}

QString WindowTexts::pictureCaptionTip(int width, int height, int factor) {
    const QLocale locale;
    return tr("The level is %1 × %2 pixels, drawn at 1:%3.")
        .arg(locale.toString(width), locale.toString(height), locale.toString(factor));
}

QString WindowTexts::emptiedCaption(int shown, int hidden, bool preview) {
    const int all = shown + hidden;
    QString text = QStringLiteral(" · ") + (preview ? tr("⚠ %n cell(s) would arrive empty", nullptr, all)
                                                    : tr("⚠ %n cell(s) arrived empty", nullptr, all));
    if (hidden > 0) text += QLatin1Char(' ') + tr("(%n in the background)", nullptr, hidden);
    return text;
}

QString WindowTexts::pictureTip() { return tr("Click for a larger view that zooms and saves the picture"); }

QString WindowTexts::sourceLineName() { return tr("Tavro 1 save state (the source)"); }

QString WindowTexts::targetLineName() { return tr("Tavro 2 save state (the target)"); }

QString WindowTexts::noFileChosen() { return tr("No file chosen"); }

QString WindowTexts::pictureName() { return tr("Level picture"); }

QString WindowTexts::pictureDescription(const QString& path, int width, int height, int factor,
                                        std::optional<int> emptied) {
    const QLocale locale;
    QString text = factor == 1 ? tr("The level in %1: %2 by %3 pixels, shown at full size.")
                                     .arg(fileName(path), locale.toString(width), locale.toString(height))
                               : tr("The level in %1: %2 by %3 pixels, shown %4 times smaller.")
                                     .arg(fileName(path), locale.toString(width), locale.toString(height),
                                          locale.toString(factor));
    if (!emptied) return text;
    if (*emptied == 0) return text + QLatin1Char(' ') + tr("Every cell arrived whole.");
    if (*emptied == 1) return text + QLatin1Char(' ') + tr("1 cell arrived empty; it is marked in red.");
    return text + QLatin1Char(' ') + tr("%1 cells arrived empty; they are marked in red.").arg(*emptied);
}

QString WindowTexts::helpTitle() { return tr("How to convert a level"); }

QString WindowTexts::helpText() {
    return tr("<p><b>Record the two save states.</b> In Tavro 1, stand in the level you want and save a state "
              "(the emulator's save state, not the game's own save). In Tavro 2 or Tavro 2 B, save a state in "
              "any level: its level is what is replaced.</p>"
              "<p><b>Choose them.</b> Tavro 1 Save State chooses the first, Tavro 2 / 2 B Savestate the "
              "second; Converter carries the level across. Every other byte of the Tavro 2 save state is "
              "kept.</p>"
              "<p><b>The picture</b> shows the Tavro 1 level (Before) and what the Tavro 2 save state will hold "
              "(After, a preview until you convert). Cells marked in red arrive empty: Convert packed carries "
              "them. Click the picture for a larger view.</p>"
              "<p><b>The backup:</b> with Keep a backup ticked, the previous contents stay beside the Tavro 2 "
              "save state, under its name with .bak added. Undo (Ctrl+Z) puts the file back as it was.</p>");
}

QString WindowTexts::aboutButton() { return tr("About"); }

QString WindowTexts::aboutTitle() { return tr("About tavro-conversor"); }

QString WindowTexts::aboutText(const QString& version) {
    return tr("<p><b>tavro-conversor %1</b></p><p>Carries the level of a Tavro 1 save state into a Tavro 2 "
              "save state.</p><p>Free software under the MIT licence: you may use, copy, change and share it; "
              "it comes with no warranty.</p>")
        .arg(version.toHtmlEscaped());
}

QString WindowTexts::commandLineDescription() {
    return tr("Carries the level of a Tavro 1 save state into a Tavro 2 save state.\n"
              "Opens the window; SOURCE and TARGET, when given, are chosen in it as if picked in its "
              "dialogs (the desktop's \"Open with\" passes them).");
}

QString WindowTexts::tooManyFiles() {
    return tr("tavro-conversor: at most two files: the Tavro 1 save state, then the Tavro 2 save state.");
}

QString WindowTexts::versionOption() { return tr("Displays version information."); }

QString WindowTexts::sourceArgument() { return tr("The Tavro 1 save state to read."); }

QString WindowTexts::targetArgument() { return tr("The Tavro 2 save state to patch (created if missing)."); }

QString WindowTexts::viewTitle(const QString& path, bool converted) {
    return converted ? tr("Level in %1 after the conversion").arg(fileName(path))
                     : tr("Level in %1").arg(fileName(path));
}

QString WindowTexts::zoomIn() { return tr("Zoom in"); }

QString WindowTexts::zoomOut() { return tr("Zoom out"); }

QString WindowTexts::actualSize() { return tr("Actual size"); }

QString WindowTexts::zoomLevel(double zoom) { return tr("%1 %").arg(QLocale().toString(zoom * 100.0, 'g', 4)); }

QString WindowTexts::zoomTip() { return tr("The wheel and Ctrl + and Ctrl − zoom; drag the picture to move it."); }

QString WindowTexts::savePicture() { return tr("Save as PNG…"); }

QString WindowTexts::savePictureTip() { return tr("Save the whole picture, unscaled, as a PNG file"); }

QString WindowTexts::savePictureTitle() { return tr("Save the picture"); }

QString WindowTexts::pngFilter() { return tr("PNG pictures (*.png)"); }

QString WindowTexts::pictureSaved(const QString& path) { return tr("Saved %1.").arg(fileName(path)); }

QString WindowTexts::pictureNotSavedTitle() { return tr("Picture not saved"); }

QString WindowTexts::pictureNotSaved(const core::EngineError& error) {
    return tr("The picture could not be saved: %1.").arg(whatFailed(error)) + QStringLiteral("\n\n") +
           fileAndReason(error);
}

QString WindowTexts::pictureSize(int width, int height) {
    const QLocale locale;
    return tr("%1 × %2 px").arg(locale.toString(width), locale.toString(height));
}

}  // namespace tavro::ui
