// What a conversion would write, worked out in memory before anything is
// written: the target's leading bytes as the run would leave them, the
// summary of the level carried, and the converted level, ready to draw.
#pragma once

#include <expected>
#include <memory>
#include <string>

#include "conversion.h"
#include "engine_error.h"
#include "level_render.h"

namespace tavro::ui {

struct ConversionPreview {
    // The target's first kMinSaveStateSize bytes after the conversion (a
    // missing target's whole content): the run keeps every later byte.
    Bytes target;
    LevelSummary summary;
    std::shared_ptr<const render::LevelMemory> level;  // `target`, read as a save state
};

// Reads the source and the target (which may be missing) and converts them in
// memory with `numbering`. Call it once a dry run has accepted the pair; a
// file that cannot be read gives its EngineError.
std::expected<ConversionPreview, EngineError> previewConversion(const std::string& sourcePath,
                                                                const std::string& targetPath,
                                                                ChunkNumbering numbering);

}  // namespace tavro::ui
