# Optimised Linux builds get the protections Debian gives its own packages:
# stack protector, fortified libc calls, position-independent executables and
# a read-only relocation table bound at start-up. The sanitizer and fuzzing
# builds bring their own instrumentation and go without.
option(TAVRO_HARDEN "Build with stack protector, _FORTIFY_SOURCE, PIE and full RELRO" ON)

if(TAVRO_HARDEN AND NOT TAVRO_SANITIZE AND NOT TAVRO_FUZZ AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_compile_options(-fstack-protector-strong -fstack-clash-protection
    # Fortification needs the optimiser; a debug build would only warn.
    "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
