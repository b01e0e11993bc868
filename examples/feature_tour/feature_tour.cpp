// The tour's scene: the calls a library user makes to set up, draw and drive the engine's particle,
// model and terrain features, in the order the engine expects them.
#include "feature_tour.h"

#include "core/gfx_main.h"
#include "core/init_manager.h"
#include "core/kamera_klass.h"
#include "models/gfx_object.h"
#include "models/model_manager.h"
#include "models/object_manager.h"
#include "particles/point_manager.h"
#include "terrain/terrain_manager.h"
#include "win32/file_access.h"
#include "win32/mmsystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace tour {

namespace {

constexpr int MODEL_SLOTS = 8;
constexpr int OBJECT_SLOTS = 8;
constexpr const char* CRYSTAL_MODEL = "Grafik\\Models\\crystal.md2";
constexpr const char* CRYSTAL_SKIN = "Grafik\\Models\\crystal.dds";
constexpr const char* FLAME_STRIP = "Grafik\\Models\\flame.dds";
constexpr int FLAME_FRAMES = 4;
constexpr int CRYSTAL_FRAMES = 3;
constexpr float CRYSTAL_SCALE = 1.2f;
// The crystal hovers: its lower tip, 3 to 4.8 units below its origin over the three frames (the file's
// 3 to 4 times the scale), stays above the ground.
constexpr float CRYSTAL_LIFT = 6.0f;
constexpr float FLAME_HALF_WIDTH = 3.0f;
constexpr float FLAME_HEIGHT = 7.0f;
constexpr uint32_t FLAME_FRAME_MS = 120;
constexpr uint32_t CRYSTAL_FRAME_MS = 400;
constexpr float CRYSTAL_TURN_PER_MS = 0.0008f;
// Rings and bursts run once; the tour fires them again at this interval.
constexpr uint32_t BURST_INTERVAL_MS = 3000;
constexpr uint32_t RING_LIFETIME_MS = 2000;
constexpr float BAR_WIDTH = 12.0f;
constexpr uint32_t BAR_CYCLE_MS = 4000;

constexpr const char* MAP_FILE = "Map\\map1.cap";
constexpr const char* MAP_FOLDER = "Map";
constexpr unsigned long MAP_HEADER_BYTES = 680;

void Complain(const char* what) {
    std::fprintf(stderr, "velkora-feature-tour: %s\n", what);
}

// The device the features draw on. Its owner is reached only through GFXMain::getInitManager: the
// class is not exported by name, so its type information stays inside the library, and the vptr
// check of the undefined-behaviour sanitizer, which needs that information, is left out here.
__attribute__((no_sanitize("vptr"))) IDirect3DDevice9* SceneDevice(GFXMain* root) {
    InitManager* owner = root->getInitManager();
    return owner != nullptr ? owner->device : nullptr;
}

} // namespace

bool FeatureTour::Start(HWND window) {
    root = GFXMain::GetExemplar();
    if (root == nullptr || !root->SetupEngine(window, nullptr)) {
        Complain("the engine cannot be set up for the window");
        return false;
    }
    points = root->getPointManager();
    models = root->getModelManager();
    objects = root->getObjectManager();
    terrain = root->getTerrainManager();
    camera = KameraKlass::GetExemplar();
    if (points == nullptr || models == nullptr || objects == nullptr || terrain == nullptr ||
        camera == nullptr) {
        Complain("the engine has no feature managers");
        return false;
    }
    camera->position = D3DXVECTOR3(Layout::CAMERA_X, Layout::CAMERA_Y, Layout::CAMERA_Z);
    camera->pitch = Layout::CAMERA_PITCH;
    startTime = timeGetTime();
    lastBurst = startTime;
    // The terrain first: the objects and effects stand on its ground.
    return CreateTerrain() && CreateObjects() && CreateParticles();
}

bool FeatureTour::CreateTerrain() {
    if (!terrain->InitTerrainSystem() || !terrain->CreateTerrain()) {
        Complain("the terrain cannot be created");
        return false;
    }
    if (terrain->mapWidth <= 0 || terrain->mapHeight <= 0) {
        Complain("the terrain has no height map (Grafik\\Diverses\\heightmap.bmp)");
        return false;
    }
    return true;
}

bool FeatureTour::CreateObjects() {
    if (!models->Init(MODEL_SLOTS) || !objects->Init(OBJECT_SLOTS)) {
        Complain("the model and object tables cannot be made");
        return false;
    }
    const int crystalModel = models->PrepareModelMD2(CRYSTAL_MODEL, CRYSTAL_SKIN, CRYSTAL_SCALE, -1);
    const int flameModel =
        models->PrepareBillbordSprite(FLAME_STRIP, FLAME_FRAMES, FLAME_HALF_WIDTH, FLAME_HEIGHT, -1);
    if (crystalModel < 0 || flameModel < 0) {
        Complain("the crystal model or the flame billboard cannot be loaded");
        return false;
    }

    // The object table owns what it holds once added; until then the tour does.
    crystal = new GFXObject;
    crystal->position =
        D3DXVECTOR3(Layout::CRYSTAL_X, GroundHeight(Layout::CRYSTAL_X, Layout::CRYSTAL_Z) + CRYSTAL_LIFT,
                    Layout::CRYSTAL_Z);
    if (!objects->AddObject(crystal, crystalModel)) {
        delete crystal;
        crystal = nullptr;
        Complain("the crystal cannot be placed");
        return false;
    }
    flame = new GFXObject;
    flame->position =
        D3DXVECTOR3(Layout::FLAME_X, GroundHeight(Layout::FLAME_X, Layout::FLAME_Z), Layout::FLAME_Z);
    if (!objects->AddObject(flame, flameModel)) {
        delete flame;
        flame = nullptr;
        Complain("the flame cannot be placed");
        return false;
    }
    return true;
}

bool FeatureTour::CreateParticles() {
    if (!points->InitPointManager()) {
        Complain("the particle manager cannot be set up");
        return false;
    }
    // 0 sparks, 1 spiral, 2 status bar, 3 ring, 4 and 5 bursts.
    // Each effect's place on the ground, its height above it, and where the bursts fly to from there.
    const struct {
        float x, z, lift;
        float dx, dy, dz;
    } places[6] = {
        {Layout::SPARKS_X, Layout::SPARKS_Z, 6.0f, 0.0f, 0.0f, 0.0f},
        {Layout::SPIRAL_X, Layout::SPIRAL_Z, 0.5f, 0.0f, 0.0f, 0.0f},
        {Layout::BAR_X, Layout::BAR_Z, 2.0f, 0.0f, 0.0f, 0.0f},
        {Layout::RING_X, Layout::RING_Z, 1.0f, 0.0f, 0.0f, 0.0f},
        {Layout::SPARKS_X - 6.0f, Layout::SPARKS_Z + 8.0f, 2.0f, -3.0f, 8.0f, 0.0f},
        {Layout::SPARKS_X + 6.0f, Layout::SPARKS_Z + 8.0f, 2.0f, 3.0f, 8.0f, 0.0f},
    };
    for (int type = 0; type < 6; ++type) {
        Effect& effect = effects[size_t(type)];
        const float ground = GroundHeight(places[type].x, places[type].z);
        effect.position = {places[type].x, ground + places[type].lift, places[type].z};
        effect.target = {places[type].x + places[type].dx, ground + places[type].lift + places[type].dy,
                         places[type].z + places[type].dz};
        if (!CreateEffect(type, &effect)) {
            Complain("a particle preset cannot be created");
            return false;
        }
    }
    return true;
}

bool FeatureTour::CreateEffect(int type, Effect* effect) {
    CREATE_PARTSYSTEMSTRUCT record{};
    record.type = type;
    record.externX = &effect->position[0];
    record.externY = &effect->position[1];
    record.externZ = &effect->position[2];
    record.extern1X = &effect->target[0];
    record.extern1Y = &effect->target[1];
    record.extern1Z = &effect->target[2];
    record.systemId = &effect->systemId;
    record.barWidth = BAR_WIDTH;
    record.barYOffset = 0.0f;
    record.maximumValue = &barMaximum;
    record.currentValue = &barCurrent;
    // The ring takes its place, colours and lifetime from the record: gold fading to red.
    record.internX = effect->position[0];
    record.internY = effect->position[1];
    record.internZ = effect->position[2];
    record.startColorA = 255;
    record.startColorR = 255;
    record.startColorG = 220;
    record.startColorB = 60;
    record.endColorA = 40;
    record.endColorR = 255;
    record.endColorG = 40;
    record.endColorB = 0;
    record.systemLifeTime = RING_LIFETIME_MS;
    effect->systemId = -1;
    return points->CreatePartikelSystemEx(&record) && effect->systemId >= 0;
}

// The ring and the two bursts show once; the tour fires them anew so that they keep being seen.
void FeatureTour::RestartFinishedEffects() {
    const uint32_t now = timeGetTime();
    if (now - lastBurst < BURST_INTERVAL_MS) {
        return;
    }
    lastBurst = now;
    for (int type : {3, 4, 5}) {
        Effect& effect = effects[size_t(type)];
        points->ReleaseSystem(effect.systemId);
        CreateEffect(type, &effect);
    }
}

void FeatureTour::Animate() {
    const uint32_t elapsed = timeGetTime() - startTime;
    if (crystal != nullptr) {
        crystal->yaw = float(elapsed) * CRYSTAL_TURN_PER_MS;
        crystal->frame = int(elapsed / CRYSTAL_FRAME_MS % CRYSTAL_FRAMES);
    }
    if (flame != nullptr) {
        flame->frame = int(elapsed / FLAME_FRAME_MS % FLAME_FRAMES);
    }
    // The status bar runs from empty to full, through red and yellow to green.
    barCurrent = barMaximum * float(elapsed % BAR_CYCLE_MS) / float(BAR_CYCLE_MS);
}

void FeatureTour::DrawFrame() {
    if (root == nullptr) {
        return;
    }
    Animate();
    RestartFinishedEffects();
    // The engine's share: view matrix, clear, frame-rate line. Then the features, which open no scene
    // of their own: terrain first, the objects over it, and the particles last, since they are drawn
    // without depth and would be hidden by anything drawn after them.
    root->UpdateEngine();
    IDirect3DDevice9* device = SceneDevice(root);
    if (device != nullptr && device->BeginScene() == D3D_OK) {
        terrain->RenderAll();
        objects->RenderAll();
        points->Update();
        device->EndScene();
    }
    root->FlipPage();
}

void FeatureTour::Stop() {
    if (points != nullptr) {
        for (Effect& effect : effects) {
            if (effect.systemId >= 0) {
                points->ReleaseSystem(effect.systemId);
                effect.systemId = -1;
            }
        }
    }
    // The object table deletes the crystal and the flame with the root.
    delete root;
    root = nullptr;
    crystal = nullptr;
    flame = nullptr;
}

bool FeatureTour::SetTileAt(int x, int y) {
    return root != nullptr && root->SetTile(Layout::CLICK_TILE, x, y);
}

bool FeatureTour::RaiseGroundAt(int x, int y) {
    return root != nullptr && root->TestFkt(x, y);
}

void FeatureTour::MoveCamera(CameraStep step) {
    if (camera == nullptr) {
        return;
    }
    // Steps along the world axes, so that the camera keeps its height and the ground stays in view.
    switch (step) {
    case CameraStep::Forward:
        camera->position.z += Layout::CAMERA_STEP;
        break;
    case CameraStep::Back:
        camera->position.z -= Layout::CAMERA_STEP;
        break;
    case CameraStep::Left:
        camera->position.x -= Layout::CAMERA_STEP;
        break;
    case CameraStep::Right:
        camera->position.x += Layout::CAMERA_STEP;
        break;
    case CameraStep::Up:
        camera->position.y += Layout::CAMERA_STEP;
        break;
    case CameraStep::Down:
        camera->position.y -= Layout::CAMERA_STEP;
        break;
    }
}

bool FeatureTour::SaveMap() {
    if (terrain == nullptr || !terrain->created) {
        return false;
    }
    // The image's size follows from the terrain's dimensions; the terrain writes it into our buffer.
    const auto samples = static_cast<unsigned long>(terrain->mapWidth) * terrain->mapHeight;
    const auto patches = static_cast<unsigned long>(terrain->gridWidth) * terrain->gridHeight;
    std::vector<unsigned char> image(MAP_HEADER_BYTES + 6 * samples + 2 * patches);
    unsigned char* buffer = image.data();
    unsigned long size = 0;
    if (!terrain->GetSaveMap(&buffer, &size) || size != image.size()) {
        Complain("the terrain gave a map image of an unexpected size");
        return false;
    }
    // The new image goes into a temporary file that replaces the old map only once it is complete, so
    // a full disk or a kill during the write keeps the map saved before.
    std::error_code error;
    std::filesystem::create_directories(MAP_FOLDER, error);
    if (!platform::ReplaceDataFile(MAP_FILE, image.data(), image.size())) {
        const std::string reason = std::strerror(errno);
        Complain(("Map\\map1.cap cannot be saved (" + reason + "); any map saved before is kept").c_str());
        return false;
    }
    return true;
}

bool FeatureTour::LoadMap() {
    if (terrain == nullptr || !terrain->LoadMapFromFilename(MAP_FILE)) {
        Complain("Map\\map1.cap cannot be loaded");
        return false;
    }
    return true;
}

float FeatureTour::GroundHeight(float x, float z) const {
    return terrain != nullptr ? terrain->GetHeightFromTerrainVertex(x, z) : 0.0f;
}

} // namespace tour
