#include "conversion_preview.h"

#include <utility>

namespace tavro::ui {

std::expected<ConversionPreview, core::EngineError> previewOf(const run::ConversionReport& report) {
    auto level = drawing::LevelMemory::fromSaveState(report.written);
    if (!level) return std::unexpected(std::move(level.error()));
    return ConversionPreview{report.written, report.level,
                             std::make_shared<const drawing::LevelMemory>(std::move(*level))};
}

}  // namespace tavro::ui
