#include "conversion_preview.h"

#include <utility>

namespace tavro::ui {

std::expected<ConversionPreview, EngineError> previewOf(const ConversionReport& report) {
    auto level = render::LevelMemory::fromSaveState(report.written);
    if (!level) return std::unexpected(std::move(level.error()));
    return ConversionPreview{report.written, report.level,
                             std::make_shared<const render::LevelMemory>(std::move(*level))};
}

}  // namespace tavro::ui
