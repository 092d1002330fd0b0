#include <tavro/core/packed_conversion.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>

#include <tavro/core/chunk_conversion.h>
#include <tavro/core/layout_expansion.h>

namespace tavro::core {
namespace {

constexpr std::size_t kQuarterBytes = kTargetChunkBytes;  // a quarter is one target chunk
// A source chunk's side is twice a target chunk's: it holds 2 x 2 quarters.
constexpr auto kChunkSplit = static_cast<unsigned>(format::kFirstGame.chunkSide / format::kSecondGame.chunkSide);
constexpr unsigned kChunkQuarters = kChunkSplit * kChunkSplit;
static_assert(kChunkQuarters == 4, "packedLayout and cutQuarter place a chunk's quarters as 2 x 2 cells");
constexpr int kQuarters = kChunkNumbers * static_cast<int>(kChunkQuarters);  // quarter q of chunk k is k * 4 + q
constexpr int kNoQuarter = -1;                            // an all-zero quarter: chunk 0

// Distinct quarters found so far, looked up by their bytes.
class QuarterSet {
public:
    explicit QuarterSet(const std::uint8_t* quarters) : quarters_(quarters) { slots_.fill(kNoQuarter); }

    // The distinct number (0, 1, ...) of quarter `index`, which is new when
    // no earlier quarter holds the same bytes.
    int find(int index) {
        const std::uint8_t* bytes = quarters_ + static_cast<std::size_t>(index) * kQuarterBytes;
        std::size_t slot = hash(bytes) & (kSlots - 1);
        while (slots_[slot] != kNoQuarter) {
            const int known = slots_[slot];
            if (std::memcmp(bytes,
                            quarters_ +
                                static_cast<std::size_t>(first_[static_cast<std::size_t>(known)]) * kQuarterBytes,
                            kQuarterBytes) == 0)
                return known;
            slot = (slot + 1) & (kSlots - 1);
        }
        slots_[slot] = static_cast<std::int16_t>(count_);
        first_[static_cast<std::size_t>(count_)] = static_cast<std::int16_t>(index);
        return count_++;
    }

    int count() const { return count_; }
    // The quarter index where distinct quarter `id` was first found.
    int first(int id) const { return first_[static_cast<std::size_t>(id)]; }

private:
    static constexpr std::size_t kSlots = 1024;  // more than twice the quarters there can be

    static std::size_t hash(const std::uint8_t* bytes) {
        std::uint64_t h = 0;
        for (std::size_t i = 0; i < kQuarterBytes; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            h = (h ^ word) * 0x9E3779B97F4A7C15ull;
            h ^= h >> 29;
        }
        return static_cast<std::size_t>(h);
    }

    const std::uint8_t* quarters_;
    std::array<std::int16_t, kSlots> slots_;
    std::array<std::int16_t, kQuarters> first_{};
    int count_ = 0;
};

bool allZero(const std::uint8_t* bytes) {
    std::uint64_t any = 0;
    for (std::size_t i = 0; i < kQuarterBytes; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        any |= word;
    }
    return any == 0;
}

// Quarter q of source chunk k (k >= 1), entries converted, into `out`.
void cutQuarter(std::span<const std::uint8_t> sourceRam, unsigned chunk, unsigned quarter, std::uint8_t* out) {
    constexpr std::size_t kRowBytes = format::kFirstGame.chunkRowBytes();
    constexpr std::size_t kHalfRow = format::kSecondGame.chunkRowBytes();
    constexpr auto kRows = static_cast<std::size_t>(format::kSecondGame.chunkSide);  // of a quarter
    const std::size_t first = format::kFirstGame.chunkAddress(chunk) + (quarter >= 2 ? kRows * kRowBytes : 0) +
                              (quarter % 2 == 1 ? kHalfRow : 0);
    for (std::size_t row = 0; row < kRows; ++row)
        std::memcpy(out + row * kHalfRow, sourceRam.data() + first + row * kRowBytes, kHalfRow);
    convertEntries({out, kQuarterBytes}, {out, kQuarterBytes});
}

using Carried = std::array<bool, kChunkNumbers>;
using CellCounts = std::array<int, kChunkNumbers>;  // how many cells name each chunk

// Every quarter of every named chunk, converted, and its distinct number.
struct NamedQuarters {
    // On the heap, so that moving this keeps `distinct`'s view of the bytes valid.
    std::unique_ptr<std::uint8_t[]> bytes = std::make_unique_for_overwrite<std::uint8_t[]>(kQuarters * kQuarterBytes);
    QuarterSet distinct{bytes.get()};
    std::array<int, kQuarters> id;  // kNoQuarter for an all-zero quarter
    std::vector<unsigned> named;    // the chunks some cell names, in increasing order

    const std::uint8_t* quarter(int index) const {
        return bytes.get() + static_cast<std::size_t>(index) * kQuarterBytes;
    }
};

NamedQuarters cutNamedQuarters(std::span<const std::uint8_t> sourceRam, const CellCounts& cells) {
    NamedQuarters quarters;
    quarters.id.fill(kNoQuarter);
    quarters.named.reserve(kChunkNumbers);
    for (unsigned chunk = 1; chunk < kChunkNumbers; ++chunk) {
        if (cells[chunk] == 0) continue;
        quarters.named.push_back(chunk);
        for (unsigned q = 0; q < kChunkQuarters; ++q) {
            const int index = static_cast<int>(chunk * kChunkQuarters + q);
            cutQuarter(sourceRam, chunk, q, quarters.bytes.get() + static_cast<std::size_t>(index) * kQuarterBytes);
            if (!allZero(quarters.quarter(index)))
                quarters.id[static_cast<std::size_t>(index)] = quarters.distinct.find(index);
        }
    }
    return quarters;
}

// Which chunks arrive whole: all of them when their distinct quarters fit the
// slots; else the chunks named by the most cells first, each whole or not at all.
Carried chooseCarried(const NamedQuarters& quarters, const CellCounts& cells) {
    Carried carried;
    carried.fill(true);
    if (quarters.distinct.count() <= kPackedChunkSlots) return carried;
    std::vector<unsigned> byUse = quarters.named;
    std::stable_sort(byUse.begin(), byUse.end(), [&cells](unsigned a, unsigned b) { return cells[a] > cells[b]; });
    std::vector<bool> taken(static_cast<std::size_t>(quarters.distinct.count()), false);
    int used = 0;
    for (const unsigned chunk : byUse) {
        std::array<int, kChunkQuarters> fresh{};
        std::size_t adds = 0;
        for (unsigned q = 0; q < kChunkQuarters; ++q) {
            const int id = quarters.id[chunk * kChunkQuarters + q];
            if (id == kNoQuarter || taken[static_cast<std::size_t>(id)]) continue;
            const auto end = fresh.begin() + static_cast<std::ptrdiff_t>(adds);
            if (std::find(fresh.begin(), end, id) == end) fresh[adds++] = id;
        }
        if (used + static_cast<int>(adds) > kPackedChunkSlots) {
            carried[chunk] = false;
            continue;
        }
        for (std::size_t i = 0; i < adds; ++i) taken[static_cast<std::size_t>(fresh[i])] = true;
        used += static_cast<int>(adds);
    }
    return carried;
}

// The target chunk table: numbers given in the documented order (by chunk,
// then quarter), each distinct quarter's bytes under its number.
struct NumberedQuarters {
    std::vector<std::uint8_t> chunkArea = std::vector<std::uint8_t>(kTargetChunkTableBytes, 0);
    std::array<std::uint8_t, kQuarters> number{};  // by quarter index; 0 for empty quarters
    int used = 0;
};

NumberedQuarters numberQuarters(const NamedQuarters& quarters, const Carried& carried) {
    NumberedQuarters numbered;
    std::vector<std::uint8_t> given(static_cast<std::size_t>(quarters.distinct.count()), 0);  // by distinct id
    for (const unsigned chunk : quarters.named) {
        if (!carried[chunk]) continue;
        for (unsigned q = 0; q < kChunkQuarters; ++q) {
            const int id = quarters.id[chunk * kChunkQuarters + q];
            if (id == kNoQuarter) continue;
            std::uint8_t& number = given[static_cast<std::size_t>(id)];
            if (number == 0) {
                number = static_cast<std::uint8_t>(++numbered.used);
                std::memcpy(&numbered.chunkArea[number * kQuarterBytes], quarters.quarter(quarters.distinct.first(id)),
                            kQuarterBytes);
            }
            numbered.number[chunk * kChunkQuarters + q] = number;
        }
    }
    return numbered;
}

// Each source cell becomes 2 x 2 target cells naming its chunk's quarters.
std::vector<std::uint8_t> packedLayout(std::span<const std::uint8_t> sourceLayout, const Carried& carried,
                                       const std::array<std::uint8_t, kQuarters>& number) {
    std::vector<std::uint8_t> layout(kTargetLayoutBytes, 0);
    for (std::size_t index = 0; index < kSourceLayoutBytes; ++index) {
        const unsigned chunk = cellChunk(sourceLayout[index]);
        if (chunk == 0 || !carried[chunk]) continue;
        const std::size_t t = expandedCellOffset(index);
        const std::uint8_t* quarter = &number[chunk * kChunkQuarters];
        layout[t] = quarter[0];
        layout[t + 1] = quarter[1];
        layout[t + kTargetLayoutRowBytes] = quarter[2];
        layout[t + kTargetLayoutRowBytes + 1] = quarter[3];
    }
    return layout;
}

}  // namespace

PackedLevel packLevel(std::span<const std::uint8_t> sourceRam, std::span<const std::uint8_t> sourceLayout) {
    assert(sourceRam.size() == format::kMainRamBytes && sourceLayout.size() == kSourceLayoutBytes);
    CellCounts cells{};
    for (const std::uint8_t cell : sourceLayout) ++cells[cellChunk(cell)];

    const NamedQuarters quarters = cutNamedQuarters(sourceRam, cells);
    PackedLevel packed;
    packed.carried = chooseCarried(quarters, cells);
    NumberedQuarters numbered = numberQuarters(quarters, packed.carried);
    packed.chunkArea = std::move(numbered.chunkArea);
    packed.chunksUsed = numbered.used;
    packed.layoutArea = packedLayout(sourceLayout, packed.carried, numbered.number);
    return packed;
}

}  // namespace tavro::core
