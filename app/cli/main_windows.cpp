// tavro.exe: the arguments arrive as UTF-16 whatever the code page and go on
// as UTF-8; the console shows UTF-8 output as such while tavro runs. Standard output stays in
// text mode, so lines end the Windows way.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>
#include <vector>

#include "command_line.h"

namespace {

std::string utf8(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const UINT codePage = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(utf8(argv[i]));
    std::vector<const char*> pointers;
    for (const auto& argument : arguments) pointers.push_back(argument.c_str());
    const int status = tavro::cli::runMain(argc, pointers.data());
    if (codePage != 0) SetConsoleOutputCP(codePage);  // the console is the user's again
    return status;
}
