// Files for tests: a fresh folder per test, and whole-file reads and writes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "random_bytes.h"

namespace tavro::test {

// Paths are UTF-8 everywhere, as the engine takes them (Windows included).
inline std::filesystem::path utf8Path(const std::string& path) { return std::u8string(path.begin(), path.end()); }
inline std::string utf8(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return {text.begin(), text.end()};
}

class TempFolder {
public:
    // A new folder of its own (created, not found) under the system's temporary folder.
    TempFolder() {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            auto candidate = std::filesystem::temp_directory_path() / ("tavro-test-" + std::to_string(random()));
            if (!std::filesystem::create_directory(candidate)) continue;
            std::filesystem::permissions(candidate, std::filesystem::perms::owner_all);
            path_ = candidate;
        }
        if (path_.empty()) std::abort();
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return utf8(path_ / utf8Path(name)); }

    // Names in the folder, for checking that nothing was left behind.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) found.push_back(utf8(entry.path().filename()));
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    std::filesystem::path path_;
};

inline Bytes readBytes(const std::string& path) {
    std::ifstream in(utf8Path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(utf8Path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tavro::test
