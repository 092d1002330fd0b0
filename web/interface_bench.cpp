// Times the C interface's calls on a pair of save states; built natively and
// for wasm32-wasi (run under Node's WASI), so that the two are measured side
// by side on the same calls. Prints the median of each call in microseconds.
//   tavro_web_bench SOURCE TARGET [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tavro_web.h"

namespace {

std::vector<uint8_t> readFile(const char* path) {
    std::vector<uint8_t> bytes;
    if (std::FILE* file = std::fopen(path, "rb")) {
        uint8_t buffer[65536];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(file);
    }
    return bytes;
}

template <typename Call> void time(const char* name, int runs, Call call) {
    std::vector<double> micros;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        tw_release(call());
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(micros.begin(), micros.begin() + runs / 2, micros.end());
    std::printf("%-28s %10.1f\n", name, micros[static_cast<std::size_t>(runs / 2)]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tavro_web_bench SOURCE TARGET [RUNS]\n");
        return 2;
    }
    const auto source = readFile(argv[1]), target = readFile(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 51;
    const std::size_t head = std::min(target.size(), tw_target_head_bytes());
    time("convert", runs, [&] { return tw_convert(source.data(), source.size(), target.data(), head, 0); });
    time("convert packed", runs, [&] { return tw_convert(source.data(), source.size(), target.data(), head, 1); });
    time("preview 640x360", runs, [&] { return tw_preview(source.data(), source.size(), 1, 0, 640, 360, 0, 0, 0, 0); });
    time("render 1:8 (cells in use)", runs,
         [&] { return tw_render(source.data(), source.size(), 1, 0, 8, 0, 0, 0, 0); });
    time("render 1:1 one cell row", runs,
         [&] { return tw_render(source.data(), source.size(), 1, 0, 1, 0, 7, 64, 1); });
    return 0;
}
