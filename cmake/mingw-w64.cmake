# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (POSIX threads
# flavour, for std::thread). Everything is linked statically, so the programs
# need only the DLLs every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVRO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVRO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVRO_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVRO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
