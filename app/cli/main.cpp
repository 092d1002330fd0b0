// tavro: the command-line front end of tavro-conversor.
#include <exception>
#include <iostream>

#include "command_line.h"

// Nothing escapes: whatever goes wrong unexpectedly is one line and exit 1.
int main(int argc, char** argv) {
    try {
        const auto invocation = tavro::cli::parseCommandLine(argc, argv, std::cout, std::cerr);
        return invocation.run ? invocation.run() : invocation.status;
    } catch (const std::bad_alloc&) {
        std::cerr << "tavro: out of memory\n";
    } catch (const std::exception& failure) {
        std::cerr << "tavro: unexpected failure: " << failure.what() << '\n';
    } catch (...) {
        std::cerr << "tavro: unexpected failure\n";
    }
    return 1;
}
