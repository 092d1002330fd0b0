// The game check's identification table (level_check.h): for N seeds
// (default 500) of each kind of file, how many the check judges as it should,
// as a Markdown table. The samples are read from the folder given second.
//
//   tavro_game_check_table [SEEDS [SAMPLE_FOLDER]]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "plausible_states.h"

int main(int argc, char** argv) {
    const unsigned seeds = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 500;
    std::vector<std::pair<std::string, tavro::plausible::Bytes>> samples;
    std::vector<bool> first;
    if (argc > 2) {
        for (const char* name : {"tavro1.state", "tavro1-big.state", "tavro2.state"}) {
            std::ifstream file(std::filesystem::path(argv[2]) / name, std::ios::binary);
            if (!file) {
                std::fprintf(stderr, "tavro_game_check_table: cannot read %s in %s\n", name, argv[2]);
                return 1;
            }
            samples.emplace_back(name, tavro::plausible::Bytes(std::istreambuf_iterator<char>(file), {}));
            first.push_back(std::string(name).starts_with("tavro1"));
        }
    }
    std::printf("| Files (%u seeds each) | Judged right | Least margin (nats) |\n|---|---|---|\n", seeds);
    bool allRight = true;
    for (const auto& row : tavro::plausible::identificationTable(seeds, samples, first)) {
        std::printf("| %s | %d of %d | %s |\n", row.what.c_str(), row.right, row.tried,
                    row.leastMargin > 0 ? std::to_string(static_cast<long>(row.leastMargin)).c_str() : "");
        allRight = allRight && row.right == row.tried;
    }
    return allRight ? 0 : 1;
}
