// Engine set-up for the terrain's fuzz targets and seeds.
#include "terrain_engine.h"

#include "core/gfx_main.h"
#include "terrain/terrain_manager.h"
#include "win32/window_surface.h"

#include <filesystem>
#include <unistd.h>

namespace fuzzing {

TerrainManager* TerrainOnOffscreenEngine(const char* runFolder) {
    std::string pattern = (std::filesystem::temp_directory_path() / "zonkel-terrain-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        return nullptr;
    }
    std::error_code error;
    std::filesystem::create_directory_symlink(std::filesystem::absolute(runFolder) / "Grafik",
                                              std::filesystem::path(pattern) / "Grafik", error);
    std::filesystem::create_directories(std::filesystem::path(pattern) / "Map", error);
    std::filesystem::current_path(pattern, error);
    if (error) {
        return nullptr;
    }
    HWND window = platform::CreateOffscreenWindow(800, 600);
    GFXMain* root = GFXMain::GetExemplar();
    if (!root->SetupEngine(window, nullptr)) {
        return nullptr;
    }
    TerrainManager* terrain = root->getTerrainManager();
    return terrain && terrain->InitTerrainSystem() ? terrain : nullptr;
}

} // namespace fuzzing
