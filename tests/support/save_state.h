// A save state for tests, written by RAM address at the places that
// save_state_format.h gives; words big-endian, as both games store them.
#pragma once

#include <tavro/core/save_state_format.h>
#include "test_files.h"

namespace tavro::test {

struct SaveState {
    Bytes bytes = Bytes(core::format::kRecordedStateBytes, 0);

    static SaveState random(unsigned seed) { return {randomBytes(core::format::kRecordedStateBytes, seed)}; }

    std::uint8_t& ram(std::size_t address) { return bytes.at(core::format::kMainRamOffset + address); }
    std::uint8_t& video(std::size_t address) { return bytes.at(core::format::kVideoRamOffset + address); }
    void ramWord(std::size_t address, unsigned word) { ram(address) = std::uint8_t(word >> 8), ram(address + 1) = std::uint8_t(word); }
    // Layout byte `index` of `game`: rows of foreground, then background cells.
    std::uint8_t& cell(const core::format::GameFormat& game, std::size_t index) { return ram(game.layout + index); }
};

}  // namespace tavro::test
