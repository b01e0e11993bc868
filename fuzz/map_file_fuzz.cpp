// Fuzzes the terrain's map file "Map\map1.cap": a file is either refused with the terrain left as it
// was, or loaded into maps, fields and patches that fit the size its header gives.
#include "core/buffer_manager.h"
#include "core/init_manager.h"
#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "terrain/terrain_manager.h"
#include "win32/window_surface.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// The device, the buffer pool and the terrain, set up once in a private working folder.
TerrainManager* Terrain() {
    static TerrainManager* terrain = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "zonkel-map-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::abort();
        }
        std::filesystem::current_path(pattern);
        std::filesystem::create_directories("Map");
        HWND window = platform::CreateOffscreenWindow(64, 64);
        if (!InitManager::GetExemplar()->InitDirect3D(window, 64, 64, true)) {
            std::abort();
        }
        BufferManager::GetExemplar()->Init(5000);
        TexturManager::GetExemplar()->Init(500);
        KameraKlass::GetExemplar()->Init(0.0f, 0.0f, 2.0f);
        TerrainManager* t = TerrainManager::GetExemplar();
        t->InitTerrainSystem();
        return t;
    }();
    return terrain;
}

} // namespace

// The terrain's exported class comes from the engine's static archive here and is also defined in
// libvelkora.so, which the game library brings along; the program's copy interposes the library's, so
// the duplicate definition is harmless and its check is turned off.
extern "C" const char* __asan_default_options() {
    return "detect_odr_violation=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TerrainManager* terrain = Terrain();
    FILE* file = std::fopen("Map/map1.cap", "wb");
    if (file == nullptr) {
        std::abort();
    }
    if (size > 0) {
        std::fwrite(data, 1, size, file);
    }
    std::fclose(file);

    const unsigned char* heights = terrain->byteHighMap;
    const int width = terrain->mapWidth;
    if (terrain->LoadMapFromFilename(nullptr)) {
        const size_t samples = size_t(terrain->mapWidth) * size_t(terrain->mapHeight);
        if (680 + 6 * samples + 2 * size_t(terrain->gridWidth * terrain->gridHeight) > size) {
            std::abort();
        }
        volatile float sum = 0.0f;
        for (size_t i = 0; i < samples; ++i) {
            sum = sum + terrain->floatOwnHeightMap[i] + terrain->byteLightMap[i];
        }
        for (int i = 0; i < terrain->gridWidth * terrain->gridHeight; ++i) {
            sum = sum + terrain->tileFeld[i] + terrain->ebeneFeld[i];
        }
    } else if (terrain->byteHighMap != heights || terrain->mapWidth != width) {
        std::abort();
    }
    return 0;
}
