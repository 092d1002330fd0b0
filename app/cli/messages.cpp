#include "messages.h"

namespace tavro::cli {
namespace {

std::string roleName(FileRole role) {
    switch (role) {
        case FileRole::Source: return "source file";
        case FileRole::Target: return "target file";
        case FileRole::Backup: return "backup";
        case FileRole::SaveState: return "save state";
        case FileRole::Picture: return "picture";
    }
    return "file";
}

std::string bytes(std::uintmax_t count) { return counted(count, "byte", "bytes"); }

std::string why(const EngineError& error) {
    const bool undoing = error.operation == Operation::Undo;
    switch (error.cause) {
        case Cause::System: return error.reason.empty() ? "the system gave no reason" : error.reason;
        case Cause::NotChosen: return "no name given";
        case Cause::NotRegularFile: return "not a regular file";
        case Cause::TooShort:
            return "too short to hold a level: " + bytes(error.count) + ", a save state has at least " +
                   grouped(error.limit);
        case Cause::EndedEarly:
            return "it ended after " + grouped(error.count) + " of its " + bytes(error.limit) + " (is it being changed?)";
        case Cause::HardLinks:
            return "it has " + counted(error.count, "name", "names") +
                   " (hard links); replacing it would separate them: work on a copy instead";
        case Cause::OwnerNotKept:
            return "cannot keep its owner (user " + std::to_string(error.count) + ", group " +
                   std::to_string(error.limit) + "): " + error.reason;
        case Cause::ChangedMeanwhile:
            return undoing ? "it changed while undoing (another program wrote it); nothing was written"
                           : "it changed while converting (another program wrote it); nothing was written";
        case Cause::Gone: return undoing && error.step == Step::Changed ? "it no longer exists" : "it is gone";
        case Cause::OtherSize: return "it has another size than was written";
        case Cause::OtherBytes: return "it holds other bytes than were written";
        case Cause::ChangedSince: return "it was changed after the conversion";
        case Cause::EmptyForeground: return "every foreground cell is empty (--full draws the whole plane)";
        case Cause::EmptyBackground: return "every background cell is empty (--full draws the whole plane)";
        case Cause::EmptyPicture: return "the picture is empty";
        case Cause::Encoder: return "the PNG encoder failed: " + error.reason;
        case Cause::IsTheSaveState: return "it is the save state being drawn";
        // What file access refuses to drop, follow or overwrite.
        case Cause::AttributeNotKept:
            return "its extended attribute " + error.detail + " cannot be carried to the new file (" + error.reason +
                   "); nothing was written";
        case Cause::FlagsNotKept:
            return "its inode flags (" + inodeFlagLetters(error.count) +
                   ", see lsattr) cannot be given to a new file or keep it from being replaced; nothing was written";
        case Cause::SharedFolderEntry:
            return "it belongs to user " + std::to_string(error.count) +
                   " in a shared folder where only its owner may replace it; nothing was written";
        case Cause::SharedFolderLink:
            return "a link on the way belongs to user " + std::to_string(error.count) +
                   " in a shared folder, and is not followed; nothing was written";
        case Cause::OpenElsewhere: return "another program has it open (close it there, then try again)";
        case Cause::WroteNothing: return "the system wrote nothing of it (is the disk full?)";
    }
    return error.reason;
}

// What was being done to which file, up to the reason.
std::string what(const EngineError& error) {
    const std::string file = roleName(error.file) + " " + error.path;
    switch (error.step) {
        case Step::Choose: return "the " + roleName(error.file) + "'s name is empty";
        case Step::Open: return "cannot open " + file;
        case Step::Read: return "cannot read " + file;
        case Step::Check: return file;  // "... is too short ..."
        case Step::Create: return "cannot create a temporary file beside " + file;
        case Step::Write: return "cannot write " + file;
        case Step::Flush: return "cannot flush " + file + " to disk";
        case Step::Replace: return "cannot replace " + file;
        case Step::Verify:
            return file + (error.operation == Operation::Undo ? " holds its previous bytes again"
                                                              : " now holds the converted level") +
                   ", but reading it back failed";
        case Step::Remove: return "cannot remove " + file;
        case Step::Changed: return "cannot undo " + file;
        case Step::Draw: return "nothing to draw in " + file;
        case Step::Encode: return "cannot encode the picture" + (error.path.empty() ? "" : " of " + error.path);
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

std::string describe(const EngineError& error) {
    std::string line = what(error) + (error.step == Step::Check ? " is " : ": ") + why(error);
    if (error.file == FileRole::Backup && error.undo) {
        line += "; target file " + error.undo->targetPath + " now holds the converted level, and its previous bytes are in " +
                error.keptIn;
    } else if (!error.keptIn.empty()) {
        line += "; its previous bytes are in " + error.keptIn;
    }
    return line;
}

}  // namespace tavro::cli
