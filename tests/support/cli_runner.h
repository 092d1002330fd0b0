// Runs the `tavro` executable and captures what it printed.
#pragma once

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

namespace tavro::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline std::string shellQuoted(const std::string& text) {
    std::string quoted(1, '\'');
    for (const char c : text) {
        if (c == '\'') {
            quoted.append("'\\''");
        } else {
            quoted.push_back(c);
        }
    }
    quoted.push_back('\'');
    return quoted;
}

#ifdef _WIN32
// Made absolute, drive and all, before any test changes the current folder.
inline const std::string kCliPath = std::filesystem::absolute(TAVRO_CLI).make_preferred().string();

// Through cmd.exe, as wide characters so that any name arrives whole; the
// console's line ends (CRLF) are read back as plain line feeds.
inline CliResult runCli(const TempFolder& folder, const std::vector<std::string>& arguments) {
    const auto wide = [](const std::string& text) { return L'"' + std::filesystem::path(std::u8string(text.begin(), text.end())).wstring() + L'"'; };
    const std::string out = folder.file(".out"), err = folder.file(".err");
    std::wstring command = L"\"" + wide(kCliPath);
    for (const auto& argument : arguments) command.append(L" ").append(wide(argument));
    command.append(L" >").append(wide(out)).append(L" 2>").append(wide(err)).append(L" <NUL\"");
    CliResult result;
    result.status = ::_wsystem(command.c_str());
    const auto text = [](const Bytes& bytes) {
        std::string read;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) read.push_back(static_cast<char>(bytes[i]));
        return read;
    };
    result.out = text(readBytes(out));
    result.err = text(readBytes(err));
#else
inline CliResult runCli(const TempFolder& folder, const std::vector<std::string>& arguments) {
    std::string command = shellQuoted(TAVRO_CLI);
    for (const auto& argument : arguments) command.append(" ").append(shellQuoted(argument));
    const std::string out = folder.file(".out"), err = folder.file(".err");
    command.append(" >").append(shellQuoted(out)).append(" 2>").append(shellQuoted(err)).append(" </dev/null");
    const int raw = std::system(command.c_str());
    CliResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const auto outBytes = readBytes(out), errBytes = readBytes(err);
    result.out.assign(outBytes.begin(), outBytes.end());
    result.err.assign(errBytes.begin(), errBytes.end());
#endif
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

}  // namespace tavro::test
