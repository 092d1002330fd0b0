// What tests/support/test_files.h gives the engine tests built for
// wasm32-wasi (whose libc++ has no <filesystem>): found first on their
// include path.
#pragma once

#include "random_bytes.h"
