// File access's failures as the engine's errors: what the file layer says
// (files::IoFailure) put in the terms of engine_error.h.
#pragma once

#include <cstdint>
#include <string>

#include <tavro/core/engine_error.h>
#include <tavro/files/file_access.h>

namespace tavro::files {

// `failure` from file access, met while doing `operation` to `file` at `path`.
core::EngineError fileError(core::Operation operation, core::FileRole file, const std::string& path,
                            const files::IoFailure& failure);

// A user or a group of an Owner fact, as both front ends name it: "alice
// (1000)", or the number alone where the system has no name for it (always
// on Windows). The name is the system's, as it is: show it as a file's name.
enum class OwnerKind { User, Group };
std::string ownerName(std::uint64_t id, OwnerKind kind);

// Whether `user` is the user the program runs as (never on Windows). A user
// may give a file of theirs only a group they belong to: when the file is
// theirs, the group is what OwnerNotKept could not keep.
bool isOwnUser(std::uint64_t user);

// An OwnerNotKept failure because the file system keeps no owners at all
// (fusefat answers ENOSYS even to root).
bool keepsNoOwners(const core::EngineError& error);

}  // namespace tavro::files
