#include "messages.h"

#include <sstream>
#include <vector>

#include <tavro/files/file_error.h>

namespace tavro::cli {
namespace {

std::string roleName(core::FileRole role) {
    switch (role) {
    case core::FileRole::Source: return "source file";
    case core::FileRole::Target: return "target file";
    case core::FileRole::Backup: return "backup";
    case core::FileRole::SaveState: return "save state";
    case core::FileRole::Picture: return "picture";
    }
    return "file";
}

std::string bytes(std::uintmax_t count) { return counted(count, "byte", "bytes"); }

// Permission bits as chmod takes them: "4644".
std::string octal(std::uint32_t mode) {
    std::string text;
    for (int shift = 9; shift >= 0; shift -= 3) text += static_cast<char>('0' + ((mode >> shift) & 7));
    return text;
}

// "alice (1000)", or the number alone where the system has no name for it.
std::string idName(std::uint64_t id, files::OwnerKind kind) { return shown(files::ownerName(id, kind)); }

std::string ownerNotKept(const core::EngineError& error) {
    const core::Owner owner = factsAs<core::Owner>(error);
    const std::string user = idName(owner.user, files::OwnerKind::User),
                      group = idName(owner.group.value_or(0), files::OwnerKind::Group);
    if (files::keepsNoOwners(error))
        return "cannot keep its owner, user " + user + " and group " + group + ": this file system cannot keep owners";
    if (files::isOwnUser(owner.user))
        return "cannot keep its group " + group + ", which you do not belong to: " + error.reason;
    return "cannot keep its owner, user " + user + " and group " + group + ": " + error.reason;
}

}  // namespace

std::string levelEvidence(const core::EngineError& error) {
    const core::CellCounts cells = factsAs<core::CellCounts>(error);
    if (cells.impossible == 0) return "its layout names no chunk holding a level's data";
    return grouped(cells.impossible) + " of its " +
           counted(cells.naming, "cell that names a chunk", "cells that name a chunk") +
           (cells.impossible == 1 ? " names one" : " name ones") +
           " whose bytes would lie over the level's cells or the block table";
}

namespace {
// What a file refused by the game check looks like instead (level_check.h).
std::string looksText(core::FileLooks looks) {
    switch (looks) {
    case core::FileLooks::FirstGameState: return "it reads as a Tavro 1 save state";
    case core::FileLooks::SecondGameState: return "it reads as a Tavro 2 save state";
    case core::FileLooks::Picture: return "it is a PNG picture";
    case core::FileLooks::Text: return "it looks like text";
    case core::FileLooks::Zeros: return "it holds almost only zeros: no save state at all";
    case core::FileLooks::Noise: return "it holds no level of either game";
    }
    return "";
}

std::string reasonText(const core::EngineError& error) {
    const bool undoing = error.operation == core::Operation::Undo;
    const core::ByteCounts sizes = factsAs<core::ByteCounts>(error);
    switch (error.cause) {
    case core::Cause::System: return error.reason.empty() ? "the system gave no reason" : error.reason;
    case core::Cause::NotChosen: return "no name given";
    case core::Cause::NotRegularFile: return "not a regular file";
    case core::Cause::TooShort:
        return "is too short to hold a level: " + bytes(sizes.bytes) + ", a save state has at least " +
               grouped(sizes.of);
    case core::Cause::EndedEarly:
        return "it ended after " + grouped(sizes.bytes) + " of its " + bytes(sizes.of) + " (is it being changed?)";
    case core::Cause::HardLinks:
        return "it has " + counted(factsAs<core::NameCount>(error).names, "name", "names") +
               " (hard links); replacing it would separate them: work on a copy instead";
    case core::Cause::OwnerNotKept: return ownerNotKept(error);
    case core::Cause::Changed:
        if (undoing) return "it was changed after the conversion";
        return std::string(error.step == core::Step::Recheck ? "" : "it ") +
               "changed while converting (another program wrote it); nothing was written";
    case core::Cause::Gone: return undoing && error.step == core::Step::Recheck ? "it no longer exists" : "it is gone";
    case core::Cause::OtherSize: return "it has another size than was written";
    case core::Cause::OtherBytes: return "it holds other bytes than were written";
    case core::Cause::EmptyForeground: return "every foreground cell is empty (--full draws the whole plane)";
    case core::Cause::EmptyBackground: return "every background cell is empty (--full draws the whole plane)";
    case core::Cause::EmptyPicture: return "the picture is empty";
    case core::Cause::Encoder: return "the PNG encoder failed: " + error.reason;
    case core::Cause::IsTheSaveState: return "it is the save state being drawn";

    case core::Cause::SameFile: {
        const core::OtherRole other = factsAs<core::OtherRole>(error);
        if ((error.file == core::FileRole::Target && other.file == core::FileRole::Source) ||
            (error.file == core::FileRole::Source && other.file == core::FileRole::Target))
            return "is also the " + roleName(other.file) + " " + shown(other.path) +
                   ": one file cannot be both the source and the target; nothing was written"
                   " (--force patches it in place)";
        return "is also the " + roleName(other.file) + " " + shown(other.path) +
               " (the same file); one file cannot take both roles; nothing was written";
    }
    case core::Cause::NotAPicture: return "exists and is not a PNG picture; nothing was written";
    case core::Cause::IsAPicture: return "is a PNG picture, not a save state";
    case core::Cause::NotFirstGameLevel:
        if (const core::FileLooks looks = factsAs<core::CellCounts>(error).looks; looks != core::FileLooks::Noise)
            return "does not hold a Tavro 1 level: " + looksText(looks) + " (--force converts it anyway)";
        return "does not hold a Tavro 1 level: " + levelEvidence(error) +
               ". Is it a Tavro 2 save state? (--force converts it anyway)";
    case core::Cause::NotSecondGameState:
        return "is not a Tavro 2 save state: " + looksText(factsAs<core::CellCounts>(error).looks) +
               "; nothing was written (--force converts into it anyway)";
    case core::Cause::LooksSwapped:
        if (const core::FileLooks looks = factsAs<core::CellCounts>(error).looks;
            looks != core::FileLooks::SecondGameState)
            return "does not hold a Tavro 1 level (" +
                   (looks == core::FileLooks::Noise ? levelEvidence(error) : looksText(looks)) + "), and target file " +
                   shown(factsAs<core::CellCounts>(error).target) +
                   " does: are the two files swapped? (--force converts it anyway; --verbose tells why)";
        return "looks like a Tavro 2 save state, not a Tavro 1 one, and target file " +
               shown(factsAs<core::CellCounts>(error).target) +
               " holds a Tavro 1 level: are the two files swapped? (--force converts it anyway; --verbose tells why)";
    case core::Cause::Socket: return "it is a socket, not a file";
    case core::Cause::MountPoint:
        return "the system will not put another file in its place (" + error.reason +
               "): it is a mount point, such as a bind-mounted file; work on a copy instead";
        // What file access refuses to drop, follow or overwrite.
    case core::Cause::AttributeNotKept:
        return "its extended attribute " + factsAs<core::Attribute>(error).name +
               " cannot be carried to the new file (" + error.reason + "); nothing was written";
    case core::Cause::FlagsNotKept:
        return "its inode flags (" + core::inodeFlagLetters(factsAs<core::InodeFlags>(error).flags) +
               ", see lsattr) cannot be given to a new file or keep it from being replaced; nothing was written";
    case core::Cause::SharedFolderEntry:
        return "it belongs to user " + idName(factsAs<core::Owner>(error).user, files::OwnerKind::User) +
               " in a shared folder where only its owner may replace it; nothing was written";
    case core::Cause::SharedFolderLink:
        return "a link on the way belongs to user " + idName(factsAs<core::Owner>(error).user, files::OwnerKind::User) +
               " in a shared folder, and is not followed; nothing was written";
    case core::Cause::OpenElsewhere: return "another program has it open (close it there, then try again)";
    case core::Cause::WroteNothing: return "the system wrote nothing of it (is the disk full?)";
    case core::Cause::ModeNotKept:
        return "the new file would not keep its permission bits " + octal(factsAs<core::Modes>(error).given) +
               " (it shows " + octal(factsAs<core::Modes>(error).shown) + "); nothing was written";
    case core::Cause::Leftover:
        return "a replacement that was interrupted (a card pulled out?) left a copy of its previous state in " +
               shown(factsAs<core::LeftoverCopy>(error).path) +
               "; the file at its name is whole (the previous state or the converted one): delete " +
               shown(factsAs<core::LeftoverCopy>(error).path) +
               " (or keep it elsewhere) and try again; nothing was written";
    case core::Cause::LeftoverOnly:
        return "nothing is at its name: a replacement that was interrupted (a card pulled out?) left its previous "
               "state in " +
               shown(factsAs<core::LeftoverCopy>(error).path) +
               " (and the new one, if it was complete, in a hidden .NAME.tavro-XXXXXX beside it); rename " +
               shown(factsAs<core::LeftoverCopy>(error).path) + " back to its name and try again; nothing was written";
    }
    return error.reason;
}

// What was being done to which file, up to the reason.
std::string failedAction(const core::EngineError& error) {
    const std::string file = roleName(error.file) + " " + shown(error.path);
    switch (error.step) {
    case core::Step::Choose: return "the " + roleName(error.file) + "'s name is empty";
    case core::Step::Open: return "cannot open " + file;
    case core::Step::Read: return "cannot read " + file;
    case core::Step::Check: return file;  // "... is too short ..."
    case core::Step::Create:
        if (const std::string folder = factsAs<core::Folder>(error).path; !folder.empty())
            return "cannot create a temporary file in " + shown(folder) + ", the folder of " + file;
        return "cannot create a temporary file beside " + file;
    case core::Step::Write: return "cannot write " + file;
    case core::Step::Flush: return "cannot flush " + file + " to disk";
    case core::Step::Replace: return "cannot replace " + file;
    case core::Step::Verify:
        return file +
               (error.operation == core::Operation::Undo ? " holds its previous bytes again"
                                                         : " now holds the converted level") +
               ", but reading it back failed";
    case core::Step::Remove: return "cannot remove " + file;
    case core::Step::Draw: return "nothing to draw in " + file;
    case core::Step::Encode:
        return "cannot encode the picture" + (error.path.empty() ? "" : " of " + shown(error.path));
    case core::Step::Recheck: return error.operation == core::Operation::Undo ? "cannot undo " + file : "the " + file;
    }
    return "cannot use " + file;
}

}  // namespace

std::string grouped(std::uintmax_t number) {
    const std::string digits = std::to_string(number);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

std::string counted(std::uintmax_t number, std::string_view singular, std::string_view plural) {
    return grouped(number) + " " + std::string(number == 1 ? singular : plural);
}

std::string shown(std::string_view name) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < name.size();) {
        const auto byte = static_cast<unsigned char>(name[i]);
        // The length of a well-formed UTF-8 character here; 0 for a byte that starts none.
        const std::size_t length = byte < 0x80                   ? 1
                                   : byte >= 0xC2 && byte < 0xE0 ? 2
                                   : byte >= 0xE0 && byte < 0xF0 ? 3
                                   : byte >= 0xF0 && byte < 0xF5 ? 4
                                                                 : 0;
        char32_t code = length == 1 ? byte : length == 2 ? byte & 0x1Fu : length == 3 ? byte & 0x0Fu : byte & 0x07u;
        bool formed = length > 0 && i + length <= name.size();
        for (std::size_t k = 1; formed && k < length; ++k) {
            const auto next = static_cast<unsigned char>(name[i + k]);
            formed = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3Fu);
        }
        formed = formed && !(length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) &&
                 !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
        // Controls (C0, DEL, C1) and the marks that turn the direction of text.
        const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
        const bool direction = code == 0x61C || code == 0x200E || code == 0x200F ||
                               (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
        if (!formed) {
            text += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0xF];  // a byte of no character
            ++i;
            continue;
        }
        if (code == '\n') {
            text += "\\n";
        } else if (code == '\t') {
            text += "\\t";
        } else if (code < 0x20 || code == 0x7F) {
            text += std::string("\\x") + kHex[code >> 4] + kHex[code & 0xF];
        } else if (control || direction) {
            text += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) text += kHex[(code >> shift) & 0xF];
        } else {
            text.append(name.substr(i, length));
        }
        i += length;
    }
    return text;
}

namespace {

std::string numberList(const std::vector<int>& numbers) {
    std::string list;
    for (const int number : numbers) list += (list.empty() ? "" : ", ") + std::to_string(number);
    return list;
}

std::string outcomeLine(const run::ConversionReport& report, const std::string& name) {
    const std::string target = shown(name);
    switch (report.outcome) {
    case run::TargetOutcome::Unchanged: return target + " already holds the converted level; nothing written.";
    case run::TargetOutcome::Created:
        return report.dryRun ? "Would create " + target + "; nothing written (dry run)."
                             : "Created " + target + " (verified).";
    case run::TargetOutcome::Patched:
        return report.dryRun ? "Would patch " + target + "; nothing written (dry run)."
                             : "Patched " + target + " (verified).";
    }
    return {};
}

// A conversion that left cells empty is no plain success: what was lost
// comes first, with what happened to the target after it.
std::string lossLine(const run::ConversionReport& report, const std::string& name) {
    const core::LevelSummary& level = report.level;
    std::string what;
    switch (report.outcome) {
    case run::TargetOutcome::Unchanged: what = "already converted; nothing written"; break;
    case run::TargetOutcome::Created:
        what = report.dryRun ? "would be created; dry run, nothing written" : "created, verified";
        break;
    case run::TargetOutcome::Patched:
        what = report.dryRun ? "would be patched; dry run, nothing written" : "patched, verified";
        break;
    }
    const bool before = report.dryRun && report.outcome != run::TargetOutcome::Unchanged;
    return "Warning: " + counted(static_cast<std::uintmax_t>(level.cellsLost), "cell", "cells") +
           (before ? " would arrive empty in " : " arrived empty in ") + shown(name) + " (" + what + ")" +
           (level.numbering == core::ChunkNumbering::Fixed ? "; convert with --pack to carry the whole level.\n"
                                                           : ".\n");
}

}  // namespace

std::string conversionReport(const run::ConversionReport& report, const std::string& target) {
    std::ostringstream out;
    out << (report.level.cellsLost > 0 ? lossLine(report, target) : outcomeLine(report, target) + '\n');
    if (report.outcome == run::TargetOutcome::Created) {
        out << (report.dryRun ? "  It would hold" : "  It holds")
            << " only the level, not a whole save state an emulator can load: to play the level, convert into"
               " a Tavro 2 save state the emulator saved.\n";
    }
    if (report.backupPath) {
        out << (report.dryRun ? "  Previous bytes would be kept in " : "  Previous bytes kept in ")
            << shown(*report.backupPath) << (report.olderBackupsKept ? " (older backups stay as they are).\n" : ".\n");
    }
    const core::LevelSummary& level = report.level;
    const auto n = [](int count) { return grouped(static_cast<std::uintmax_t>(count)); };
    const auto lost = [&level] {
        return counted(static_cast<std::uintmax_t>(level.cellsLost), "cell names", "cells name");
    };
    if (level.numbering == core::ChunkNumbering::Packed) {
        out << "  Source chunks in use:    " << n(level.chunksNamed) << " (packed numbering)\n"
            << "  Target chunks used:      " << n(level.chunksUsed) << " of " << n(core::kPackedChunkSlots) << '\n'
            << "  Cells expanded:          " << n(level.cellsExpanded) << '\n';
        if (level.cellsLost == 0) {
            out << "  Every cell arrived whole.\n";
        } else {
            out << "  " << lost() << " chunks whose quarters did not fit in " << n(core::kPackedChunkSlots)
                << " target chunks (" << numberList(level.lostChunks) << "); each arrives as four empty cells.\n";
        }
        return out.str();
    }
    out << "  Source chunks with data: " << n(level.chunksWithData) << " of 63\n"
        << "  Cells expanded:          " << n(level.cellsExpanded) << '\n';
    if (level.cellsLost > 0) {
        out << "  " << lost()
            << " chunks 64 and above, which the target cannot hold;"
               " each arrives as four empty cells.\n"
            << "  Chunks left out: " << numberList(level.lostChunks) << ".\n";
    }
    return out.str();
}

std::string whatWasDone(const run::ConversionReport& report, const std::string& target) {
    const std::string name = shown(target);
    if (report.dryRun) return "nothing was written (dry run)";
    switch (report.outcome) {
    case run::TargetOutcome::Unchanged: return name + " already held the converted level; nothing was written";
    case run::TargetOutcome::Created: return "created " + name + " (it holds only the level)";
    case run::TargetOutcome::Patched:
        return "patched " + name +
               (report.backupPath ? ", its previous bytes kept in " + shown(*report.backupPath) : "");
    }
    return {};
}

std::string reportNotWritten(const std::string& done, const std::string& reason) {
    return done + "; the report could not be written" + (reason.empty() ? "" : ": " + reason);
}

std::string pictureReport(const std::string& picture, int width, int height) {
    return "Wrote " + shown(picture) + ": " + grouped(static_cast<std::uintmax_t>(width)) + " x " +
           grouped(static_cast<std::uintmax_t>(height)) + " pixels.";
}

std::string gameTold(const std::string& saveState, int game) {
    return "Read " + shown(saveState) + " as a Tavro " + std::to_string(game) +
           " save state (told from its level; --game says otherwise).";
}

std::string gameNotTold(const std::string& saveState) {
    return "cannot tell which game save state " + shown(saveState) +
           " holds: it holds no level of either game (--game 1 or --game 2 draws it all the same)";
}

std::string describe(const core::EngineError& error) {
    // "X is ...", "X changed ..."; "cannot undo X: ..."
    const bool predicate = error.step == core::Step::Check ||
                           (error.step == core::Step::Recheck && error.operation != core::Operation::Undo);
    std::string line = failedAction(error) + (predicate ? " " : ": ") + reasonText(error);
    if (error.file == core::FileRole::Backup && error.undo) {
        line += "; target file " + shown(error.undo->targetPath) +
                " now holds the converted level, and its previous bytes are in " + shown(error.keptIn);
    } else if (!error.keptIn.empty()) {
        line += "; its previous bytes are in " + shown(error.keptIn);
    }
    return line;
}

}  // namespace tavro::cli
