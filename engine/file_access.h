// The engine's only access to files (POSIX).
//
// Failures carry the step that failed and the system's reason (strerror text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavro::files {

enum class IoStep { Open, Read, Create, Write, Flush, Replace, Remove };

struct IoFailure {
    IoStep step;
    std::string reason;
    int code = 0;  // errno, where the system gave one
};

struct FilePrefix {
    std::vector<std::uint8_t> bytes;  // at most the requested number
    std::uintmax_t fileSize = 0;      // the whole file's size
};

// Reads up to `limit` bytes from the start of an existing regular file.
std::expected<FilePrefix, IoFailure> readPrefix(const std::string& path, std::size_t limit);

// Reads a whole regular file; nullopt when no file (or only a dangling link) is there.
std::expected<std::optional<std::vector<std::uint8_t>>, IoFailure> readIfExists(
    const std::string& path);

// Replaces the file at `path` with `bytes` through a temporary file in the same
// folder that is flushed and then renamed over it. Symbolic links are followed,
// so the link stays and the file it names receives the bytes. An existing
// file's permission bits (and owner, where allowed) are kept; a new file gets
// 0666 less the umask. On failure nothing at `path` has changed and the
// temporary file is gone.
std::expected<void, IoFailure> replace(const std::string& path, std::span<const std::uint8_t> bytes);

// Removes the file at `path` (following symbolic links to the file they name).
std::expected<void, IoFailure> remove(const std::string& path);

}  // namespace tavro::files
