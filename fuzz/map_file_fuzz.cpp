// Fuzzes the terrain's map file ("Map\map1.cap"): a refused file keeps the current terrain, an accepted
// one builds a terrain that can be saved again to the same size.
#include "fuzz_input_file.h"
#include "terrain_engine.h"

#include "terrain/terrain_manager.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TerrainManager* terrain = fuzzing::TerrainOnOffscreenEngine(ZONKEL_FUZZ_RUN_DIR);
    if (terrain == nullptr) {
        std::abort();
    }
    FILE* file = std::fopen("Map/map1.cap", "wb");
    if (file == nullptr) {
        std::abort();
    }
    if (size > 0) {
        std::fwrite(data, 1, size, file);
    }
    std::fclose(file);
    if (terrain->LoadMapFromFilename(nullptr)) {
        std::vector<unsigned char> saved(size + 1);
        unsigned char* buffer = saved.data();
        unsigned long length = 0;
        // The map just read is at most as large as the file that held it.
        if (!terrain->GetSaveMap(&buffer, &length) || length > size) {
            std::abort();
        }
    }
    return 0;
}
