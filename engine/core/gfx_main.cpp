// The engine root: fetches and deletes the managers, sets the engine up for a window, runs the
// engine's share of each frame, presents it and measures frames per second.
#include "core/gfx_main.h"

#include "core/buffer_manager.h"
#include "core/help_tools_3d.h"
#include "core/init_manager.h"
#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "d2d/d2d_manager.h"
#include "d2d/d3d_font.h"
#include "models/model_manager.h"
#include "models/object_manager.h"
#include "particles/point_manager.h"
#include "terrain/terrain_manager.h"
#include "win32/mmsystem.h"

#include <cstdio>
#include <new>

GFXMain* GFXMain::Exemplar = nullptr;

namespace {

constexpr int BUFFER_SLOTS = 5000;
constexpr int TEXTURE_SLOTS = 500;
constexpr int FRAME_RATE_LINE_LENGTH = 100;
constexpr DWORD FRAME_RATE_COLOUR = 0x64FFFFFF;
constexpr DWORD CLEAR_COLOUR = 0xFF000000;

} // namespace

GFXMain::GFXMain() {
    frameCounter = 0;
    lastRate = 0;
    lastMeasureTime = 0;
    initManager = InitManager::GetExemplar();
    texturManager = TexturManager::GetExemplar();
    camera = KameraKlass::GetExemplar();
    bufferManager = BufferManager::GetExemplar();
    terrainManager = TerrainManager::GetExemplar();
    helpTools = HelpTools3D::GetExemplar();
    modelManager = ModelManager::GetExemplar();
    objectManager = ObjectManager::GetExemplar();
    pointManager = PointManager::GetExemplar();
}

// The models give their textures and buffers back first, while the caches that own them still exist.
GFXMain::~GFXMain() {
    if (modelManager != nullptr) {
        modelManager->ReleaseAll();
    }
    delete terrainManager;
    delete camera;
    delete texturManager;
    delete bufferManager;
    delete helpTools;
    delete initManager;
    delete modelManager;
    delete objectManager;
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

GFXMain* GFXMain::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) GFXMain;
    }
    return Exemplar;
}

bool GFXMain::SetupEngine(HWND newWindow, const char* configuration) {
    window = newWindow;
    if (initManager == nullptr) {
        return false;
    }
    if (configuration != nullptr) {
        if (!initManager->InitDirect3D(window, configuration)) {
            return false;
        }
    } else if (!initManager->InitDirect3D(window, 800, 600, true)) {
        return false;
    }
    if (helpTools != nullptr) {
        helpTools->InitTools();
    }
    if (bufferManager != nullptr) {
        bufferManager->Init(BUFFER_SLOTS);
    }
    if (texturManager != nullptr) {
        texturManager->Init(TEXTURE_SLOTS);
    }
    if (camera != nullptr) {
        camera->Init(0.0f, 0.0f, 2.0f);
        camera->position = D3DXVECTOR3(50.0f, 40.0f, 50.0f);
        camera->pitch = 0.9599311f;
    }
    engineFont = new (std::nothrow) CD3DFont("Arial", 10, 0);
    d2dManager = D2DManager::GetExemplar();
    if (d2dManager != nullptr) {
        d2dManager->InitD2dManager();
    }
    return true;
}

// The engine's scene holds the clear; the frame-rate text then opens and closes a scene of its own, so
// that no scene is nested and the result reports whether the frame was drawn.
bool GFXMain::UpdateEngine() {
    IDirect3DDevice9* device = initManager != nullptr ? initManager->device : nullptr;
    if (device == nullptr) {
        return false;
    }
    D3DXMATRIX view = {};
    if (camera != nullptr) {
        camera->SetupViewMatrix(&view);
    }
    device->SetTransform(D3DTS_VIEW, &view);

    if (device->BeginScene() != D3D_OK) {
        return false;
    }
    if (device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, CLEAR_COLOUR, 1.0f, 0) != D3D_OK) {
        device->EndScene();
        return false;
    }
    char line[FRAME_RATE_LINE_LENGTH];
    const D3DXVECTOR3 position = camera != nullptr ? camera->position : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    std::snprintf(line, sizeof(line), "fps:%d - %03.0f  %03.0f", GetFramesPerSecond(),
                  static_cast<double>(position.x), static_cast<double>(position.z));
    if (device->EndScene() != D3D_OK) {
        return false;
    }
    if (engineFont != nullptr) {
        engineFont->DrawTextA(10.0f, 10.0f, FRAME_RATE_COLOUR, line, 0);
    }
    return true;
}

bool GFXMain::FlipPage() {
    IDirect3DDevice9* device = initManager != nullptr ? initManager->device : nullptr;
    if (device != nullptr) {
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

int GFXMain::GetFramesPerSecond() {
    frameCounter += 1;
    const uint32_t elapsed = timeGetTime() - lastMeasureTime;
    if (elapsed > 1000) {
        lastRate = static_cast<int32_t>(frameCounter * 1000u / elapsed);
        lastMeasureTime = timeGetTime();
        frameCounter = 0;
    }
    return lastRate;
}

D2DManager* GFXMain::getD2dManager() {
    return d2dManager;
}

InitManager* GFXMain::getInitManager() {
    return initManager;
}

ModelManager* GFXMain::getModelManager() {
    return modelManager;
}

ObjectManager* GFXMain::getObjectManager() {
    return objectManager;
}

PointManager* GFXMain::getPointManager() {
    return pointManager;
}

TerrainManager* GFXMain::getTerrainManager() {
    return terrainManager;
}

bool GFXMain::SetTile(int value, int x, int y) {
    if (terrainManager == nullptr) {
        return false;
    }
    int patch = 0;
    if (!terrainManager->GetTerrainPatch(x, y, &patch)) {
        return false;
    }
    if (patch == -1) {
        return true;
    }
    terrainManager->SetATCursorPos(value, patch);
    return true;
}

bool GFXMain::TestFkt(int x, int y) {
    if (terrainManager == nullptr) {
        return false;
    }
    int patch = -1;
    if (!terrainManager->GetTerrainPatch(x, y, &patch)) {
        return false;
    }
    if (patch != -1) {
        terrainManager->IncreaseTerrainPosition(patch, 2);
    }
    return true;
}
