# The build's outside pieces on Windows, where the Linux packages' CMake files
# cannot serve: CLI11 is header-only and GoogleTest is built from its sources.
set(TAVRO_CLI11_INCLUDE /usr/include CACHE PATH "Folder holding CLI11's CLI/ headers")
set(TAVRO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources, built for the target")

# Only CLI/ itself: the rest of that folder belongs to the build machine.
set(cli11_include ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${cli11_include})
file(CREATE_LINK ${TAVRO_CLI11_INCLUDE}/CLI ${cli11_include}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${cli11_include})
