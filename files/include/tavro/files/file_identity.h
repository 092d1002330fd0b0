// Which file a path names, as plain data: what the file layer reads off a
// file and the undo record keeps, with no file access of its own.
#pragma once

#include <cstdint>

namespace tavro::files {

// Which file a path named when it was opened, and in what state: two
// identities compare equal only when nobody wrote, truncated or replaced the
// file in between (modification and change times to the nanosecond).
struct FileIdentity {
    std::uint64_t device = 0;  // the device, or the volume's serial number
    std::uint64_t inode = 0;   // the inode, or the file index
    std::uintmax_t size = 0;
    std::int64_t modifiedSeconds = 0, modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0, changedNanoseconds = 0;
    std::uint32_t permissions = 0;  // the mode's permission bits (the attributes on Windows)
    bool operator==(const FileIdentity&) const = default;
};

// Whether two identities name the same file, whatever its state.
constexpr bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode;
}

}  // namespace tavro::files
