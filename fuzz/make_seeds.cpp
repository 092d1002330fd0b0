// Writes the seed inputs of the two harnesses that build save states from a
// description, into fuzz/corpus/render and fuzz/corpus/convert:
//   tavro_fuzz_seeds CORPUS_FOLDER
// Each seed is a small level: a palette, a few patterns and blocks, chunks
// naming them with every flip, and cells naming the chunks.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "level_description.h"

namespace {

using tavro::fuzz::DescriptionWriter;
using tavro::fuzz::Step;

// A level in the first game (chunk byte 0 is chunk 1) or the second (chunk 0
// is stored: byte 4 is chunk 4). `column` is a layout byte: past the first
// half of a row the cells are background cells.
void describeLevel(DescriptionWriter& w, bool secondGame, unsigned column) {
    w.step(Step::Palette).u8(1).u8(62).u16(0x0E4A);
    w.step(Step::Palette).u8(17).u8(14).u16(0x02E6);
    w.step(Step::Palette).u8(40).u8(23).u16(0x0EEE);
    for (unsigned pattern = 1; pattern <= 6; ++pattern) {
        std::uint8_t art[32];
        for (unsigned i = 0; i < 32; ++i) art[i] = static_cast<std::uint8_t>((i * 37 + pattern * 11) ^ (i / 4));
        w.step(Step::Pattern).u16(pattern).bytes(art);
    }
    for (unsigned block = 1; block <= 5; ++block)  // pattern flips and palette lines
        w.step(Step::Block)
            .u16(block)
            .u16(block)
            .u16(block + 1 | 1u << 11 | 1u << 13)
            .u16(1 | 1u << 12 | 2u << 13)
            .u16(6 | 3u << 11 | 3u << 13 | 1u << 15);
    const unsigned hflip = secondGame ? 1u << 10 : 1u << 11;
    const unsigned vflip = secondGame ? 1u << 11 : 1u << 12;
    const unsigned firstChunk = secondGame ? 4 : 0, secondChunk = secondGame ? 5 : 1;
    w.step(Step::ChunkFill).u8(firstChunk).u16(1).u8(1);
    w.step(Step::ChunkFill).u8(secondChunk).u16(2 | hflip).u8(0);
    w.step(Step::Entry).u8(secondChunk).u8(3).u16(3 | hflip | vflip);
    w.step(Step::Entry).u8(secondChunk).u8(9).u16(4 | vflip);
    w.step(Step::Entry).u8(secondChunk).u8(10).u16(800);  // past the block table
    w.step(Step::CellRun).u8(1).u8(static_cast<std::uint8_t>(column)).u8(2).u8(firstChunk + 1);
    w.step(Step::Cell).u8(2).u8(static_cast<std::uint8_t>(column + 1)).u8(secondChunk + 1);
    w.step(Step::Cell).u8(2).u8(static_cast<std::uint8_t>(column + 3)).u8(secondGame ? 0 : 0x80 | (secondChunk + 1));
}

void write(const std::filesystem::path& file, const DescriptionWriter& w) {
    const auto bytes = w.input();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::printf("%s: %zu bytes\n", file.string().c_str(), bytes.size());
}

// Render input: game, plane, length, box kind, box, factor, then the level.
void renderSeed(const std::filesystem::path& file, bool secondGame, bool background, unsigned length, unsigned boxKind,
                const std::int32_t (&box)[4], int factor) {
    DescriptionWriter w;
    w.u8(secondGame).u8(background).u8(length).u8(boxKind);
    for (const auto value : box) w.i32(value);
    w.i16(factor);
    describeLevel(w, secondGame, background ? (secondGame ? 128 : 64) : 0);
    write(file, w);
}

// Convert input: source length, target kind and length, fill, picture cell, then the level.
void convertSeed(const std::filesystem::path& file, bool shortSource, unsigned targetKind, unsigned targetLength,
                 unsigned pictureCell) {
    DescriptionWriter w;
    w.u8(shortSource ? 0 : 255);
    if (shortSource) w.u32(90000);
    w.u8(targetKind);
    if (targetKind == 1) w.u32(targetLength);
    if (targetKind == 3) w.u8(targetLength);
    w.u8(0x5A).u16(pictureCell);
    describeLevel(w, false, 0);
    w.step(Step::Cell).u8(3).u8(70).u8(70);  // a background cell naming chunk 70: not carried over
    write(file, w);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavro_fuzz_seeds CORPUS_FOLDER\n");
        return 2;
    }
    const std::filesystem::path corpus = argv[1];
    std::filesystem::create_directories(corpus / "render");
    std::filesystem::create_directories(corpus / "convert");
    renderSeed(corpus / "render" / "first-game", false, false, 255, 0, {0, 0, 0, 0}, 1);
    renderSeed(corpus / "render" / "second-game", true, false, 255, 0, {0, 0, 0, 0}, 3);
    renderSeed(corpus / "render" / "background", false, true, 255, 1, {63, 1, 3, 2}, 2);
    renderSeed(corpus / "render" / "far-edges", true, false, 255, 2, {2, 1, 0x7FFFFFFF, 0x7FFFFFFE}, 256);
    renderSeed(corpus / "render" / "short-state", false, false, 3, 0, {0, 0, 0, 0}, 1);
    convertSeed(corpus / "convert" / "level", false, 3, 0, 129);
    convertSeed(corpus / "convert" / "short-target", false, 1, 50000, 0);
    convertSeed(corpus / "convert" / "short-source", true, 2, 0, 450);
    return 0;
}
