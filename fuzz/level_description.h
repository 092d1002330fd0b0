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

#include <tavro/core/save_state_format.h>

namespace tavro::fuzz {

using Bytes = std::vector<std::uint8_t>;
namespace format = core::format;

using format::GameFormat;
using format::kMainRamOffset;
using format::kVideoRamOffset;

// A save state holding all of main RAM and video RAM.
inline constexpr std::size_t kWholeStateSize = kVideoRamOffset + format::kVideoRamBytes;

enum class Step : std::uint8_t { Cell, CellRun, Entry, ChunkFill, Block, Pattern, Palette, Raw, Count };

// Applies description steps to `state` (a save state of any length: writes past
// its end are dropped) until the input runs out or `maxSteps` were taken.
inline void applySteps(FuzzedDataProvider& input, const GameFormat& places, Bytes& state, int maxSteps = 2048) {
    const auto put = [&state](std::size_t offset, unsigned value) {
        if (offset < state.size()) state[offset] = static_cast<std::uint8_t>(value);
    };
    const auto ram = [&put](std::size_t address, unsigned value) {
        put(kMainRamOffset + address % format::kMainRamBytes, value);
    };
    const auto ramWord = [&ram](std::size_t address, unsigned value) {
        ram(address, value >> 8);
        ram(address + 1, value);
    };
    const auto u8 = [&input] { return unsigned{input.ConsumeIntegral<std::uint8_t>()}; };
    const auto u16 = [&input] { return unsigned{input.ConsumeIntegral<std::uint16_t>()}; };
    const unsigned storedChunks = places.chunkNumbers() - places.firstStoredChunk;
    const auto chunk = [&](unsigned value) { return places.firstStoredChunk + value % storedChunks; };
    const unsigned entries = static_cast<unsigned>(places.chunkBytes() / 2);
    const auto rows = static_cast<unsigned>(places.layoutRows);
    const auto rowBytes = static_cast<unsigned>(places.layoutRowBytes());

    for (int step = 0; step < maxSteps && input.remaining_bytes() > 0; ++step) {
        switch (static_cast<Step>(u8() % static_cast<unsigned>(Step::Count))) {
        case Step::Cell: {
            const unsigned row = u8() % rows, column = u8() % rowBytes;
            ram(places.layout + row * rowBytes + column, u8());
            break;
        }
        case Step::CellRun: {
            const unsigned row = u8() % rows, column = u8() % rowBytes;
            const unsigned end = std::min<unsigned>(column + 1 + u8() % 32, rowBytes);
            const unsigned value = u8();
            for (unsigned c = column; c < end; ++c) ram(places.layout + row * rowBytes + c, value);
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
            // Any block an entry can name, past the table's end as well.
            const std::size_t address =
                places.blockTable + (u16() % (format::kEntryBlockMask + 1)) * format::kBlockBytes;
            for (unsigned quarter = 0; quarter < format::kBlockBytes / 2; ++quarter)
                ramWord(address + quarter * 2, u16());
            break;
        }
        case Step::Pattern: {
            const std::size_t offset =
                kVideoRamOffset + (u16() % (format::kPatternIndexMask + 1)) * format::kPatternBytes;
            const Bytes art = input.ConsumeBytes<std::uint8_t>(format::kPatternBytes);
            for (std::size_t i = 0; i < art.size(); ++i) put(offset + i, art[i]);
            break;
        }
        case Step::Palette: {
            constexpr auto kEntries = static_cast<unsigned>(format::kPaletteEntries);
            const unsigned first = u8() % kEntries, count = 1 + u8() % kEntries, colour = u16();
            for (unsigned i = first; i < std::min(first + count, kEntries); ++i)
                ramWord(format::kPaletteAddress + i * 2, colour);
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
