// Fuzzes the terrain's 8-bit height-map reader: a file is either refused with the terrain's maps left
// as they were, or read into a map of a size within the limits.
#include "fuzz_input_file.h"
#include "terrain/terrain_manager.h"

#include <cstdlib>

// The reader is private to the terrain; this reaches it.
struct TerrainTestAccess {
    static bool ReadHeightMap(TerrainManager* terrain, const char* path) {
        return terrain->CreateByteHighMapFromBMP8(path);
    }
};

// The terrain's exported class comes from the engine's static archive here and is also defined in
// libvelkora.so, which the game library brings along; the program's copy interposes the library's, so
// the duplicate definition is harmless and its check is turned off.
extern "C" const char* __asan_default_options() {
    return "detect_odr_violation=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzzing::WriteInputFile(data, size, "heightmap.bmp");
    TerrainManager* terrain = TerrainManager::GetExemplar();
    const unsigned char* before = terrain->byteHighMap;
    const int width = terrain->mapWidth;
    const int height = terrain->mapHeight;
    if (TerrainTestAccess::ReadHeightMap(terrain, path.c_str())) {
        if (terrain->byteHighMap == nullptr || terrain->mapWidth < 8 || terrain->mapWidth > 4096 ||
            terrain->mapHeight < 8 || terrain->mapHeight > 4096) {
            std::abort();
        }
        // Every sample can be read.
        volatile unsigned sum = 0;
        for (int i = 0; i < terrain->mapWidth * terrain->mapHeight; ++i) {
            sum = sum + terrain->byteHighMap[i];
        }
    } else if (terrain->byteHighMap != before || terrain->mapWidth != width || terrain->mapHeight != height) {
        std::abort();
    }
    return 0;
}
