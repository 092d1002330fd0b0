// Conversion of arbitrary source and target bytes, in memory.
//
// Input: two bytes choosing where the rest is split, then the source state,
// then the target state.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "conversion.h"
#include "region_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t rest = size - 2;
    const std::size_t split = ((std::size_t{data[0]} << 8 | data[1]) * rest) / 0xFFFF;
    const std::span<const std::uint8_t> source(data + 2, split);
    const std::span<const std::uint8_t> target(data + 2 + split, rest - split);

    const tavro::SourceRegions regions = tavro::readSourceRegions(source);
    const tavro::LevelSummary summary = tavro::summarizeLevel(regions);
    const tavro::Bytes patched = tavro::patchTarget({target.begin(), target.end()}, tavro::convertRegions(regions));

    // What must hold whatever the bytes: the length, the bytes outside the
    // regions, and counts within their ranges.
    if (patched.size() != std::max(target.size(), tavro::kMinSaveStateSize)) std::abort();
    std::size_t next = 0;  // regions sorted by offset: 0x2478, 0xA478, 0xB478, 0x11F98, 0x12478
    std::array<tavro::SaveStateRegion, 5> sorted = tavro::kTargetRegions.regions;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.offset() < b.offset(); });
    for (std::size_t i = 0; i < patched.size(); ++i) {
        while (next < sorted.size() && i >= sorted[next].end()) ++next;
        if (next < sorted.size() && i >= sorted[next].offset()) continue;
        if (patched[i] != (i < target.size() ? target[i] : 0)) std::abort();
    }
    if (summary.chunksWithData < 0 || summary.chunksWithData > 63) std::abort();
    if (summary.cellsExpanded + summary.cellsLost > 1024) std::abort();
    return 0;
}
