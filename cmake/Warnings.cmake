# The compiler warnings every target of the project's own code builds with
# (tavro::warnings), as errors with TAVRO_WERROR. Included by the top
# CMakeLists and by the page's project (web/), which builds the libraries
# through their own CMakeLists.
option(TAVRO_WERROR "Treat compiler warnings as errors" OFF)
add_library(tavro_warnings INTERFACE)
target_compile_options(tavro_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
  $<$<BOOL:${TAVRO_WERROR}>:-Werror>)
add_library(tavro::warnings ALIAS tavro_warnings)
