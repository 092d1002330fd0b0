// File access's failures as the engine's errors: what the file layer says
// (files::IoFailure) put in the terms of engine_error.h.
#pragma once

#include <string>

#include <tavro/engine_error.h>
#include <tavro/file_access.h>

namespace tavro {

// `failure` from file access, met while doing `operation` to `file` at `path`.
EngineError fileError(Operation operation, FileRole file, const std::string& path, const files::IoFailure& failure);

}  // namespace tavro
