// Random first-game levels, as the conversion tests and the game check use them.
#pragma once

#include <algorithm>
#include <random>

#include "save_state.h"

namespace tavro::test {

// Random bytes with block 0 and pattern 0 empty, as real levels have them,
// blocks naming only the patterns a conversion carries, and an empty layout.
inline SaveState randomLevel(unsigned seed) {
    const core::format::GameFormat& game = core::format::kFirstGame;
    SaveState state = SaveState::random(seed);
    for (std::size_t i = 0; i < core::format::kBlockTableBytes; i += 2) state.ram(game.blockTable + i) &= 0xFB;
    std::fill_n(&state.ram(game.blockTable), core::format::kBlockBytes, 0);
    std::fill_n(&state.video(0), core::format::kPatternBytes, 0);
    std::fill_n(&state.cell(game, 0), game.layoutBytes(), 0);
    return state;
}

// A random level whose cells, three in four, name a chunk from 0 to `lastChunk`
// (bit 7 a random flag).
inline SaveState randomLevelNaming(unsigned seed, unsigned lastChunk = 82) {
    SaveState state = randomLevel(seed);
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < core::format::kFirstGame.layoutBytes(); ++i)
        if (random() % 4 != 0) state.cell(core::format::kFirstGame, i) = static_cast<std::uint8_t>(random() % (lastChunk + 1) | (random() % 2) << 7);
    return state;
}

}  // namespace tavro::test
