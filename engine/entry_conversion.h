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

namespace tavro {

// The second-game high byte for a first-game one.
constexpr std::uint8_t convertedHighByte(std::uint8_t value) {
    const unsigned high = value >> 4;    // collision field in bits 2-1, vertical flip in bit 0
    const unsigned low = value & 0x0Fu;  // horizontal flip in bit 3, block bits 9-8 in bits 1-0
    const unsigned collision = (high >> 1) & 3u;
    const unsigned newHigh = 5u * collision;  // the same field in both halves: 0, 5, 10 or 15
    const unsigned newLow = ((high & 1u) << 3) | (((low >> 3) & 1u) << 2) | (low & 3u);
    return static_cast<std::uint8_t>((newHigh << 4) | newLow);
}

// Converts `value` in place and also returns the converted byte.
constexpr std::uint8_t convertT1ToT2(std::uint8_t& value) {
    value = convertedHighByte(value);
    return value;
}

}  // namespace tavro
