// assetgen RUN_FOLDER: writes every generated data file below RUN_FOLDER.
#include "asset_registry.h"

#include <cstdio>
#include <exception>

namespace assetgen {
std::vector<Generator>& Generators() {
    static std::vector<Generator> generators;
    return generators;
}
} // namespace assetgen

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: assetgen RUN_FOLDER\n");
        return 2;
    }
    std::filesystem::path runFolder = argv[1];
    try {
        std::filesystem::create_directories(runFolder);
        for (const auto& generator : assetgen::Generators()) {
            generator.run(runFolder);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "assetgen: %s\n", error.what());
        return 1;
    }
    return 0;
}
