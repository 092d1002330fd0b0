// What it takes to put a target back as it was before a run: only its first
// bytes (the ones a run changes) and its size, whatever the target's size.
// A run's report carries one when the target changed on disk, and so does
// the error of a run that failed after replacing the target. Undo also
// removes the backups the run made, while they are as the run left them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <tavro/files/file_identity.h>

namespace tavro::run {

// A backup a run made: its name, and the file as written there.
struct MadeBackup {
    std::string path;
    files::FileIdentity file;
};

struct UndoRecord {
    std::string targetPath;
    std::optional<std::vector<std::uint8_t>>
        previous;  // the first kMinSaveStateSize bytes before; nullopt: the run created it
    std::uintmax_t previousSize = 0;
    std::vector<std::uint8_t> written;                  // the first bytes the run wrote
    std::uintmax_t writtenSize = 0;
    std::optional<files::FileIdentity> writtenFile;     // the file as read back, when that worked
    std::vector<MadeBackup> backups{};                  // made by the run (by both, after undoBoth)
};

}  // namespace tavro::run
