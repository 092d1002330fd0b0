// A save state built from a short description, for the harnesses that take
// whole states: a few bytes say which layout cells, chunk entries, blocks,
// patterns and palette entries are set, instead of spelling out 140 KB.
//
// The description is read with FuzzedDataProvider: numbers from the end of
// the input (one or two bytes each, high byte first), pattern bytes from the
// front. DescriptionWriter lays out the same format, for seed inputs.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "region_map.h"

namespace tavro::fuzz {

using Bytes = std::vector<std::uint8_t>;

// A save state holding all of main RAM and video RAM.
inline constexpr std::size_t kWholeStateSize = kVideoRamOffset + 65536;

// Where one game keeps the parts of a level in main RAM.
struct LevelPlaces {
    std::size_t layout;       // cells, rows of foreground then background
    std::size_t rowBytes;     // both planes of one row
    unsigned rows;
    std::size_t blockTable;   // 8 bytes a block
    std::size_t firstChunk;   // address of chunk `lowestChunk`
    std::size_t chunkBytes;
    unsigned lowestChunk;     // the first chunk that is stored
    unsigned chunks;          // how many are stored
    unsigned cellMask;        // the bits of a cell that name a chunk
    unsigned hflipBit, vflipBit;  // of a chunk entry

    std::size_t chunkAddress(unsigned chunk) const { return firstChunk + (chunk - lowestChunk) * chunkBytes; }
    unsigned cellPixels() const { return chunkBytes == 512 ? 256 : 128; }
    unsigned columns() const { return static_cast<unsigned>(rowBytes / 2); }
};

inline constexpr LevelPlaces kFirstGame{0xA400, 128, 8, 0xB000, 0, 512, 1, 127, 0x7F, 11, 12};
inline constexpr LevelPlaces kSecondGame{0x8000, 256, 16, 0x9000, 0, 128, 0, 256, 0xFF, 10, 11};
inline constexpr std::size_t kPaletteAddress = 0xFB00;

enum class Step : std::uint8_t { Cell, CellRun, Entry, ChunkFill, Block, Pattern, Palette, Raw, Count };

// Applies description steps to `state` (a save state of any length: writes past
// its end are dropped) until the input runs out or `maxSteps` were taken.
inline void applySteps(FuzzedDataProvider& input, const LevelPlaces& places, Bytes& state, int maxSteps = 2048) {
    const auto put = [&state](std::size_t offset, unsigned value) {
        if (offset < state.size()) state[offset] = static_cast<std::uint8_t>(value);
    };
    const auto ram = [&put](std::size_t address, unsigned value) { put(kMainRamOffset + (address & 0xFFFF), value); };
    const auto ramWord = [&ram](std::size_t address, unsigned value) {
        ram(address, value >> 8);
        ram(address + 1, value);
    };
    const auto u8 = [&input] { return unsigned{input.ConsumeIntegral<std::uint8_t>()}; };
    const auto u16 = [&input] { return unsigned{input.ConsumeIntegral<std::uint16_t>()}; };
    const auto chunk = [&](unsigned value) { return places.lowestChunk + value % places.chunks; };
    const unsigned entries = static_cast<unsigned>(places.chunkBytes / 2);

    for (int step = 0; step < maxSteps && input.remaining_bytes() > 0; ++step) {
        switch (static_cast<Step>(u8() % static_cast<unsigned>(Step::Count))) {
        case Step::Cell: {
            const unsigned row = u8() % places.rows, column = u8() % places.rowBytes;
            ram(places.layout + row * places.rowBytes + column, u8());
            break;
        }
        case Step::CellRun: {
            const unsigned row = u8() % places.rows, column = u8() % places.rowBytes;
            const unsigned end = std::min<unsigned>(column + 1 + u8() % 32, static_cast<unsigned>(places.rowBytes));
            const unsigned value = u8();
            for (unsigned c = column; c < end; ++c) ram(places.layout + row * places.rowBytes + c, value);
            break;
        }
        case Step::Entry: {
            const std::size_t address = places.chunkAddress(chunk(u8()));
            const unsigned entry = u8() % entries;
            ramWord(address + entry * 2, u16());
            break;
        }
        case Step::ChunkFill: {  // every entry: first, first + step, first + 2 * step, ...
            const std::size_t address = places.chunkAddress(chunk(u8()));
            const unsigned first = u16(), stride = u8();
            for (unsigned e = 0; e < entries; ++e) ramWord(address + e * 2, first + e * stride);
            break;
        }
        case Step::Block: {
            const std::size_t address = places.blockTable + (u16() % 1024) * 8;
            for (unsigned quarter = 0; quarter < 4; ++quarter) ramWord(address + quarter * 2, u16());
            break;
        }
        case Step::Pattern: {
            const std::size_t offset = kVideoRamOffset + (u16() % 2048) * 32;
            const Bytes art = input.ConsumeBytes<std::uint8_t>(32);
            for (std::size_t i = 0; i < art.size(); ++i) put(offset + i, art[i]);
            break;
        }
        case Step::Palette: {
            const unsigned first = u8() % 64, count = 1 + u8() % 64, colour = u16();
            for (unsigned i = first; i < std::min(first + count, 64u); ++i) ramWord(kPaletteAddress + i * 2, colour);
            break;
        }
        case Step::Raw:
        case Step::Count: {
            const std::size_t offset = (std::size_t{u16()} << 8 | u8()) % std::max<std::size_t>(state.size(), 1);
            put(offset, u8());
            break;
        }
        }
    }
}

// Lays out a description: numbers in the order a harness reads them, pattern
// bytes in the order they are taken.
class DescriptionWriter {
public:
    DescriptionWriter& u8(unsigned value) {
        numbers_.push_back(static_cast<std::uint8_t>(value));
        return *this;
    }
    DescriptionWriter& u16(unsigned value) { return u8(value >> 8).u8(value); }
    DescriptionWriter& u32(std::uint32_t value) { return u16(value >> 16).u16(value & 0xFFFF); }
    // Signed numbers are read as an offset from the type's minimum.
    DescriptionWriter& i16(int value) { return u16(static_cast<unsigned>(value + 32768)); }
    DescriptionWriter& i32(std::int32_t value) { return u32(static_cast<std::uint32_t>(value) ^ 0x80000000u); }
    DescriptionWriter& step(Step s) { return u8(static_cast<unsigned>(s)); }
    DescriptionWriter& bytes(std::span<const std::uint8_t> data) {
        front_.insert(front_.end(), data.begin(), data.end());
        return *this;
    }

    Bytes input() const {
        Bytes out = front_;
        out.insert(out.end(), numbers_.rbegin(), numbers_.rend());
        return out;
    }

private:
    Bytes front_;
    Bytes numbers_;  // in reading order; the input holds them back to front
};

}  // namespace tavro::fuzz
