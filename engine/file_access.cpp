// What file access builds on its own contract, the same on every system.
#include "file_access.h"

#include <utility>

namespace tavro::files {

PreparedFile::PreparedFile(PreparedFile&& other) noexcept
    : calls_(other.calls_), temporary_(std::exchange(other.temporary_, {})),
      destination_(std::move(other.destination_)), expected_(other.expected_),
      replacesFile_(other.replacesFile_) {}

std::expected<void, IoFailure> replace(const std::string& path, std::span<const std::uint8_t> bytes,
                                       SystemCalls& calls) {
    auto prepared = prepare(path, NewContent{bytes, nullptr, bytes.size(), std::nullopt}, {}, Links::Follow, calls);
    if (!prepared) return std::unexpected(prepared.error());
    return prepared->commit();
}

}  // namespace tavro::files
