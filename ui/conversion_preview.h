// What a conversion would write, as a picture can show it before anything is
// written: the target's leading bytes as the run would leave them, the
// summary of the level carried, and the converted level, ready to draw.
#pragma once

#include <expected>
#include <memory>

#include <tavro/run/conversion_run.h>
#include <tavro/core/engine_error.h>
#include <tavro/drawing/level_render.h>

namespace tavro::ui {

struct ConversionPreview {
    // The target's first kMinSaveStateSize bytes after the conversion (a
    // missing target's whole content): the run keeps every later byte.
    core::Bytes target;
    core::LevelSummary summary;
    std::shared_ptr<const drawing::LevelMemory> level;  // `target`, read as a save state
};

// The preview of what a run reported (a dry run's, typically): its bytes read
// as a save state. No file is read.
std::expected<ConversionPreview, core::EngineError> previewOf(const run::ConversionReport& report);

}  // namespace tavro::ui
