// The engine's root object: fetches every manager singleton, sets the engine up for a window, runs the
// engine's part of each frame (view matrix, clear, frame-rate text), presents, measures frames per
// second, hands out the managers and deletes them at the end.
#pragma once

#include "core/velkora_api.h"
#include "win32/windows_base.h"

#include <cstdint>

class BufferManager;
class CD3DFont;
class D2DManager;
class HelpTools3D;
class InitManager;
class KameraKlass;
class ModelManager;
class ObjectManager;
class PointManager;
class TerrainManager;
class TexturManager;

class VELKORA_API GFXMain {
public:
    static GFXMain* GetExemplar();
    virtual ~GFXMain();

    bool SetupEngine(HWND window, const char* configuration);
    bool UpdateEngine();
    bool FlipPage();
    int GetFramesPerSecond();

    D2DManager* getD2dManager();
    InitManager* getInitManager();
    ModelManager* getModelManager();
    ObjectManager* getObjectManager();
    PointManager* getPointManager();
    TerrainManager* getTerrainManager();

    // Forward a point of the window's client area to the terrain.
    bool SetTile(int value, int x, int y);
    bool TestFkt(int x, int y);

protected:
    GFXMain();

    KameraKlass* camera = nullptr;
    InitManager* initManager = nullptr;
    ModelManager* modelManager = nullptr;
    ObjectManager* objectManager = nullptr;
    TexturManager* texturManager = nullptr;
    BufferManager* bufferManager = nullptr;
    TerrainManager* terrainManager = nullptr;
    HelpTools3D* helpTools = nullptr;
    D2DManager* d2dManager = nullptr;
    PointManager* pointManager = nullptr;
    HWND window = nullptr;
    CD3DFont* engineFont = nullptr;
    uint32_t frameCounter = 0;
    int32_t lastRate = 0;
    uint32_t lastMeasureTime = 0;

private:
    static GFXMain* Exemplar;
};
