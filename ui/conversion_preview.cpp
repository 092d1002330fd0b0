#include "conversion_preview.h"

#include <utility>

#include "file_access.h"
#include "region_map.h"

namespace tavro::ui {

std::expected<ConversionPreview, EngineError> previewConversion(const std::string& sourcePath,
                                                                const std::string& targetPath,
                                                                ChunkNumbering numbering) {
    auto source = files::readPrefix(sourcePath, kMinSaveStateSize);
    if (!source) return std::unexpected(fileError(Operation::Convert, FileRole::Source, sourcePath, source.error()));
    Bytes target;
    if (auto existing = files::openIfExists(targetPath); existing && *existing) {
        auto prefix = files::readPrefix(targetPath, kMinSaveStateSize);
        if (!prefix)
            return std::unexpected(fileError(Operation::Convert, FileRole::Target, targetPath, prefix.error()));
        target = std::move(prefix->bytes);
    } else if (!existing) {
        return std::unexpected(fileError(Operation::Convert, FileRole::Target, targetPath, existing.error()));
    }

    ConvertedLevel converted = convertLevel(readSourceRegions(source->bytes), numbering);
    ConversionPreview preview{patchTarget(std::move(target), converted.regions), std::move(converted.summary), nullptr};
    auto level = render::LevelMemory::fromSaveState(preview.target);
    if (!level) return std::unexpected(std::move(level.error()));
    preview.level = std::make_shared<const render::LevelMemory>(std::move(*level));
    return preview;
}

}  // namespace tavro::ui
