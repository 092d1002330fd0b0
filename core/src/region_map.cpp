#include <tavro/region_map.h>

namespace tavro {

std::string_view regionLabel(RegionName name) {
    switch (name) {
        case RegionName::PatternArea: return "PatternArea";
        case RegionName::PaletteArea: return "PaletteArea";
        case RegionName::BlockTable: return "BlockTable";
        case RegionName::ChunkArea: return "ChunkArea";
        case RegionName::LayoutArea: return "LayoutArea";
    }
    return "?";
}

}  // namespace tavro
