// Chunk entry high bytes, first game to second game.
//
// A chunk entry is a big-endian 16-bit word; its high byte holds the flags and
// bits 9-8 of the block number, its low byte bits 7-0 (the same in both games).
//
//   first game:  bit 7 unused | 6-5 collision | 4 v-flip | 3 h-flip | 2 unused | 1-0 block 9-8
//   second game: 7-6 collision A | 5-4 collision B | 3 v-flip | 2 h-flip | 1-0 block 9-8
//
// The single first-game collision field is written into both second-game fields.
#pragma once

#include <cstdint>

namespace tavro::core {

// The second-game high byte for a first-game one. Shifting left by one puts
// the collision field in collision field A; shifting right by one puts it in
// collision field B and each flip bit in its new place.
constexpr std::uint8_t secondGameEntryHighByte(std::uint8_t value) {
    const unsigned v = value;
    return static_cast<std::uint8_t>(((v << 1) & 0xC0u) | ((v >> 1) & 0x3Cu) | (v & 0x03u));
}

}  // namespace tavro::core
