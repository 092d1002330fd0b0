// tavro: the command-line front end of tavro-conversor.
#include <iostream>

#include "command_line.h"

int main(int argc, char** argv) {
    const auto invocation = tavro::cli::parseCommandLine(argc, argv, std::cout, std::cerr);
    return invocation.run ? invocation.run() : invocation.status;
}
