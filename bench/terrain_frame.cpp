// The terrain on the software device: creation from the run folder's maps and textures, one frame of
// the terrain drawn from the engine's start camera, and one pick at the centre of the screen.
#include "core/gfx_main.h"
#include "core/init_manager.h"
#include "terrain/terrain_manager.h"
#include "win32/window_surface.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

// One engine for the whole program (its managers are singletons), working in the run folder that
// lies beside the bench folder.
struct TerrainEngine {
    TerrainEngine() {
        const auto exe = std::filesystem::read_symlink("/proc/self/exe");
        std::filesystem::current_path(exe.parent_path().parent_path() / "run");
        window = platform::CreateOffscreenWindow(800, 600);
        root = GFXMain::GetExemplar();
        ready = root->SetupEngine(window, nullptr);
        terrain = root->getTerrainManager();
        ready = ready && terrain->InitTerrainSystem() && terrain->CreateTerrain();
        device = root->getInitManager()->device;
    }

    HWND window = nullptr;
    GFXMain* root = nullptr;
    TerrainManager* terrain = nullptr;
    IDirect3DDevice9* device = nullptr;
    bool ready = false;
};

TerrainEngine& Engine() {
    static TerrainEngine engine;
    return engine;
}

void BM_CreateTerrain(benchmark::State& state) {
    TerrainEngine& engine = Engine();
    if (!engine.ready) {
        state.SkipWithError("engine or terrain could not be set up");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(engine.terrain->CreateTerrain());
    }
}
BENCHMARK(BM_CreateTerrain)->Unit(benchmark::kMillisecond);

void BM_TerrainFrame(benchmark::State& state) {
    TerrainEngine& engine = Engine();
    if (!engine.ready) {
        state.SkipWithError("engine or terrain could not be set up");
        return;
    }
    for (auto _ : state) {
        engine.root->UpdateEngine();
        engine.device->BeginScene();
        engine.terrain->RenderAll();
        engine.device->EndScene();
        engine.root->FlipPage();
    }
}
BENCHMARK(BM_TerrainFrame)->Unit(benchmark::kMillisecond);

void BM_PickTerrainPatch(benchmark::State& state) {
    TerrainEngine& engine = Engine();
    if (!engine.ready) {
        state.SkipWithError("engine or terrain could not be set up");
        return;
    }
    engine.root->UpdateEngine();
    int patch = -1;
    for (auto _ : state) {
        engine.terrain->GetTerrainPatch(400, 300, &patch);
        benchmark::DoNotOptimize(patch);
    }
}
BENCHMARK(BM_PickTerrainPatch)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
