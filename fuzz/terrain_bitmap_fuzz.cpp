// Fuzzes the terrain's 8-bit height and light map reader: a damaged bitmap is refused before the
// terrain changes, and never read past its end.
#include "engine/terrain/terrain_test_support.h"
#include "fuzz_input_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TerrainManager* terrain = TerrainManager::GetExemplar();
    std::string path = fuzzing::WriteInputFile(data, size, "map.bmp");
    bool height = TerrainTestAccess::ReadHeightBitmap(terrain, path.c_str());
    bool light = TerrainTestAccess::ReadLightBitmap(terrain, path.c_str());
    if (height != light) {
        std::abort(); // one reader, one verdict for the same file
    }
    return 0;
}
