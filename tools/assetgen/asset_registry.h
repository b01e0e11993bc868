// Each family of generated data files registers a generator here; the program runs them all into the
// run folder given on its command line.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace assetgen {

using GeneratorFunction = std::function<void(const std::filesystem::path& runFolder)>;

struct Generator {
    std::string name;
    GeneratorFunction run;
};

std::vector<Generator>& Generators();

struct GeneratorRegistration {
    GeneratorRegistration(std::string name, GeneratorFunction run) {
        Generators().push_back({std::move(name), std::move(run)});
    }
};

} // namespace assetgen

// Registers a generator at start-up: ASSETGEN_REGISTER(stones, [](const auto& runFolder) { ... });
#define ASSETGEN_REGISTER(name, function)                                                                    \
    static ::assetgen::GeneratorRegistration assetgenRegistration_##name(#name, function)
