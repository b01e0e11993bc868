// The temporary file through which file readers see the fuzzer's input.
#include "fuzz_input_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fuzzing {

namespace {
const std::filesystem::path& Folder() {
    static std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "zonkel-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::abort();
        }
        return std::filesystem::path(pattern);
    }();
    return folder;
}
} // namespace

std::string WriteInputFile(const uint8_t* data, size_t size, const char* name) {
    std::filesystem::path path = Folder() / name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::abort();
    }
    if (size > 0) {
        std::fwrite(data, 1, size, file);
    }
    std::fclose(file);
    return path.string();
}

} // namespace fuzzing
