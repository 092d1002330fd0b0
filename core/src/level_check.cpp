#include <tavro/level_check.h>

#include <algorithm>
#include <array>
#include <iterator>

namespace tavro {

bool isPng(std::span<const std::uint8_t> bytes) {
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() >= std::size(kSignature) &&
           std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
}

std::optional<EngineError> notFirstGameLevel(std::span<const std::uint8_t> source,
                                             std::span<const std::uint8_t> target) {
    const LevelEvidence evidence = firstGameEvidence(source);
    if (evidence.holdsLevel()) return std::nullopt;
    const bool swapped = !target.empty() && firstGameEvidence(target).holdsLevel();
    return EngineError{.file = FileRole::Source,
                       .step = Step::Check,
                       .cause = swapped ? Cause::LooksSwapped : Cause::NotFirstGameLevel,
                       .facts = CellCounts{.impossible = static_cast<std::uintmax_t>(
                                               evidence.foregroundHasData ? evidence.cellsNamingImpossible : 0),
                                           .naming = static_cast<std::uintmax_t>(evidence.cellsNamingChunks)}};
}

LevelEvidence firstGameEvidence(std::span<const std::uint8_t> state) {
    const auto& g = format::kFirstGame;
    const auto ram = [&state](std::size_t address) -> std::uint8_t {
        const std::size_t offset = format::kMainRamOffset + address;
        return offset < state.size() ? state[offset] : 0;
    };
    std::array<int, format::kFirstGame.cellChunkMask + 1> hasData{};  // 0 unknown, 1 yes, 2 no
    const auto withData = [&](unsigned chunk) {
        if (hasData[chunk] == 0) {
            bool any = false;
            for (std::size_t i = 0; i < g.chunkBytes() && !any; ++i) any = ram(g.chunkAddress(chunk) + i) != 0;
            hasData[chunk] = any ? 1 : 2;
        }
        return hasData[chunk] == 1;
    };
    LevelEvidence evidence;
    for (int row = 0; row < g.layoutRows; ++row) {
        for (int column = 0; column < 2 * g.planeColumns; ++column) {
            const auto index = static_cast<std::size_t>(row) * g.layoutRowBytes() + static_cast<std::size_t>(column);
            const unsigned chunk = ram(g.layout + index) & g.cellChunkMask;
            if (chunk == 0) continue;
            ++evidence.cellsNamingChunks;
            if (!chunkCanBeStored(chunk)) {
                ++evidence.cellsNamingImpossible;
            } else if (column < g.planeColumns && !evidence.foregroundHasData) {
                evidence.foregroundHasData = withData(chunk);
            }
        }
    }
    return evidence;
}

}  // namespace tavro
