// Fuzzes the highscore file reader: a damaged ".roh" file never makes the table read or write out of
// bounds, every name it keeps is NUL-terminated, and the file is left as it was.
#include "fuzz_input_file.h"
#include "highscore_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzzing::WriteInputFile(data, size, "table.roh");
    HighscoreList table;
    int result = table.Load(path.c_str(), 10);
    if (result == HighscoreList::LOAD_READ) {
        for (int i = 0; i < table.GetCount(); ++i) {
            uint32_t score = 0;
            char name[HIGHSCORE_NAME_SIZE + 1];
            std::memset(name, 'x', sizeof name);
            if (!table.GetEntry(i, &score, name) || std::memchr(name, 0, HIGHSCORE_NAME_SIZE) == nullptr) {
                std::abort();
            }
        }
        // Reading alone must not change the file.
        FILE* file = std::fopen(path.c_str(), "rb");
        std::vector<uint8_t> after(size + 1);
        size_t got = file ? std::fread(after.data(), 1, after.size(), file) : 0;
        if (file) {
            std::fclose(file);
        }
        if (got != size || (size > 0 && std::memcmp(after.data(), data, size) != 0)) {
            std::abort();
        }
    }
    table.IsHighscore(1000);
    return 0;
}
