// The tour's scene: sets the engine up for a window, fills the four feature managers (particle
// presets, an MD2 model and a billboard as scene objects, the terrain) and draws them once a frame,
// and carries out what the user asks for: tiles, raised ground, camera steps, saving and loading.
#pragma once

#include "win32/windows_base.h"

#include <array>
#include <cstdint>

class GFXMain;
class GFXObject;
class ModelManager;
class ObjectManager;
class PointManager;
class TerrainManager;
class KameraKlass;
struct CREATE_PARTSYSTEMSTRUCT;

namespace tour {

enum class CameraStep { Forward, Back, Left, Right, Up, Down };

// Where the tour puts things. The camera stands over the middle of the ground looking down towards
// +z, lower and flatter than the engine's starting camera so that the scene fills the picture; each
// thing has its own part of the picture: the crystal left of the centre, the flame right of it, the
// particle effects behind them.
struct Layout {
    static constexpr float CAMERA_X = 50.0f;
    static constexpr float CAMERA_Y = 30.0f;
    static constexpr float CAMERA_Z = 50.0f;
    static constexpr float CAMERA_PITCH = 0.6981317f; // 40 degrees down
    static constexpr float CRYSTAL_X = 43.0f;
    static constexpr float CRYSTAL_Z = 68.0f;
    static constexpr float FLAME_X = 57.0f;
    static constexpr float FLAME_Z = 68.0f;
    static constexpr float SPARKS_X = 50.0f;
    static constexpr float SPARKS_Z = 80.0f;
    static constexpr float SPIRAL_X = 38.0f;
    static constexpr float SPIRAL_Z = 86.0f;
    static constexpr float BAR_X = 62.0f;
    static constexpr float BAR_Z = 86.0f;
    static constexpr float RING_X = 50.0f;
    static constexpr float RING_Z = 94.0f;
    static constexpr float CAMERA_STEP = 2.0f;
    // The tile type a left click lays (sand: it stands out against the starting gravel).
    static constexpr int CLICK_TILE = 4;
};

class FeatureTour {
public:
    FeatureTour() = default;
    FeatureTour(const FeatureTour&) = delete;
    FeatureTour& operator=(const FeatureTour&) = delete;

    // Sets the engine up for `window` and builds the scene; false (with a line on standard error)
    // when the engine or one of the features cannot be set up.
    bool Start(HWND window);
    // One frame: the engine's share, then the scene inside a scene of its own, then the page flip.
    void DrawFrame();
    // Gives the particle systems back and deletes the engine root, which deletes the objects.
    void Stop();

    bool SetTileAt(int x, int y);
    bool RaiseGroundAt(int x, int y);
    void MoveCamera(CameraStep step);
    // "Map\map1.cap": the terrain's map image.
    bool SaveMap();
    bool LoadMap();

private:
    // A preset's record and the positions it follows; the systems keep pointers into it, so it lives
    // as long as the tour.
    struct Effect {
        std::array<float, 3> position{};
        std::array<float, 3> target{};
        int32_t systemId = -1;
    };

    bool CreateObjects();
    bool CreateTerrain();
    bool CreateParticles();
    bool CreateEffect(int type, Effect* effect);
    void RestartFinishedEffects();
    void Animate();
    float GroundHeight(float x, float z) const;

    GFXMain* root = nullptr;
    PointManager* points = nullptr;
    ModelManager* models = nullptr;
    ObjectManager* objects = nullptr;
    TerrainManager* terrain = nullptr;
    KameraKlass* camera = nullptr;

    GFXObject* crystal = nullptr;
    GFXObject* flame = nullptr;

    std::array<Effect, 6> effects{};
    float barMaximum = 100.0f;
    float barCurrent = 0.0f;
    uint32_t startTime = 0;
    uint32_t lastBurst = 0;
};

} // namespace tour
