// File access's failures as the engine's errors: what the file layer says
// (files::IoFailure) put in the terms of engine_error.h.
#pragma once

#include <string>

#include <tavro/core/engine_error.h>
#include <tavro/files/file_access.h>

namespace tavro::files {

// `failure` from file access, met while doing `operation` to `file` at `path`.
core::EngineError fileError(core::Operation operation, core::FileRole file, const std::string& path,
                            const files::IoFailure& failure);

}  // namespace tavro::files
