// tavro: the command-line front end of tavro-conversor (main_windows.cpp on Windows).
#include "command_line.h"

int main(int argc, char** argv) { return tavro::cli::runMain(argc, argv); }
