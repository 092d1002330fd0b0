#include <tavro/core/engine_error.h>

#include <utility>

namespace tavro::core {

std::string inodeFlagLetters(std::uintmax_t flags) {
    // Linux's FS_*_FL values, in lsattr's order.
    static constexpr std::pair<std::uintmax_t, char> kLetters[] = {
        {0x1, 's'}, {0x2, 'u'},  {0x8, 'S'},    {0x20, 'a'},   {0x40, 'd'},     {0x80, 'A'},
        {0x4, 'c'}, {0x10, 'i'}, {0x4000, 'j'}, {0x8000, 't'}, {0x800000, 'C'}, {0x2000000, 'x'}};
    std::string letters;
    for (const auto& [bit, letter] : kLetters)
        if (flags & bit) letters.push_back(letter);
    return letters;
}

}  // namespace tavro::core
