// The terrain singleton: lifetime, binding to the engine's managers, creation from the two bitmaps,
// release, and the patch index rules that every other terrain file uses.
#include "terrain/terrain_manager.h"

#include "core/buffer_manager.h"
#include "core/help_tools_3d.h"
#include "core/init_manager.h"
#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "terrain/terrain_textur_set.h"
#include "win32/mmsystem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

TerrainManager* TerrainManager::Exemplar = nullptr;

TerrainManager* TerrainManager::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) TerrainManager();
    }
    return Exemplar;
}

// Every id and pointer gets a defined value, so that a terrain that is never created can be deleted.
TerrainManager::TerrainManager()
    : trianglesPerPatch(0), verticesPerPatch(0), indicesPerPatch(0), gridWidth(0), gridHeight(0),
      initManager(nullptr), bufferManager(nullptr), kamera(nullptr), texturManager(nullptr),
      helpTools(nullptr), texturSets{}, byteHighMap(nullptr), byteLightMap(nullptr), wordHighMap(nullptr),
      ebeneFeld(nullptr), floatOwnHeightMap(nullptr), tileFeld(nullptr), patchSize(4), cellSize(1.0f),
      heightScale(0.025f), mapWidth(0), mapHeight(0), patchVertexBuffers(nullptr), patchIndexBuffers(nullptr),
      patchBoxes(nullptr), waterVertexBuffer(-1), waterIndexBuffer(-1), waterFrame(0), lastWaterTime(0),
      patchCopies(nullptr), created(false) {}

TerrainManager::~TerrainManager() {
    ReleaseTerrain();
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

bool TerrainManager::InitTerrainSystem() {
    // A second set-up gives back what the first one built instead of losing it.
    ReleaseTerrain();
    wordHighMap = nullptr;
    initManager = InitManager::GetExemplar();
    bufferManager = BufferManager::GetExemplar();
    kamera = KameraKlass::GetExemplar();
    texturManager = TexturManager::GetExemplar();
    helpTools = HelpTools3D::GetExemplar();
    lastWaterTime = timeGetTime();
    return true;
}

bool TerrainManager::CreateTerrain() {
    if (bufferManager == nullptr || texturManager == nullptr) {
        return false;
    }
    ReleaseTerrain();
    waterFrame = 0;
    // Each step needs the ones before it; the first that fails leaves no half-built terrain behind.
    const bool built = CreateByteHighMapFromBMP8("Grafik\\Diverses\\heightmap.bmp") &&
                       CreateByteLightMapFromBMP8("Grafik\\Diverses\\lightmap.bmp") &&
                       CreateFloatOwnHeightMapFromByteHeightMap() && CreateTerrainMeshes() &&
                       CreateWaterPatch() && CreateEbeneUndTileFelder() && LoadTerrainMap();
    if (!built) {
        ReleaseTerrain();
        return false;
    }
    created = true;
    return true;
}

bool TerrainManager::CreateTerrain(const char*) {
    return true;
}

bool TerrainManager::CreateFloatOwnHeightMapFromByteHeightMap() {
    if (mapWidth <= 0 || mapHeight <= 0) {
        return false;
    }
    std::free(floatOwnHeightMap);
    const size_t count = size_t(mapWidth) * size_t(mapHeight);
    floatOwnHeightMap = static_cast<float*>(std::malloc(count * sizeof(float)));
    if (floatOwnHeightMap == nullptr) {
        return false;
    }
    std::fill(floatOwnHeightMap, floatOwnHeightMap + count, 0.0f);
    return true;
}

bool TerrainManager::CreateEbeneUndTileFelder() {
    delete[] ebeneFeld;
    delete[] tileFeld;
    const size_t count = size_t(gridWidth) * size_t(gridHeight);
    ebeneFeld = new (std::nothrow) unsigned char[count]();
    tileFeld = new (std::nothrow) unsigned char[count]();
    return ebeneFeld != nullptr && tileFeld != nullptr;
}

bool TerrainManager::GetPosition(int* x, int* z, int patch) {
    if (gridHeight < 2) {
        *x = 0;
        *z = 0;
        return true;
    }
    *x = patch / PatchesPerColumn();
    *z = patch % PatchesPerColumn();
    return true;
}

bool TerrainManager::GetValuesfromBitfield(unsigned char* type, unsigned char* variant, unsigned char value) {
    *type = value >> 4;
    *variant = value & 15;
    return true;
}

int TerrainManager::GetEbeneIndex(int x, int z) {
    const int index = PatchIndex(x, z);
    return (index >= 0 && index <= PatchCount() - 1) ? index : -1;
}

int TerrainManager::GetEbene(int x, int z) {
    const int index = GetEbeneIndex(x, z);
    if (index < 0 || ebeneFeld == nullptr) {
        return -1;
    }
    return ebeneFeld[index];
}

bool TerrainManager::SetEbene(int x, int z, int level) {
    const int index = GetEbeneIndex(x, z);
    if (index < 0 || ebeneFeld == nullptr) {
        return false;
    }
    ebeneFeld[index] = static_cast<unsigned char>(level);
    return true;
}

int TerrainManager::PatchCount() const {
    if (gridWidth < 2 || gridHeight < 2) {
        return 0;
    }
    return (gridWidth - 1) * (gridHeight - 1);
}

int TerrainManager::PatchesPerColumn() const {
    return gridHeight - 1;
}

int TerrainManager::PatchIndex(int px, int pz) const {
    return pz + px * PatchesPerColumn();
}

bool TerrainManager::IsPatchInGrid(int px, int pz) const {
    return px >= 0 && px < gridWidth - 1 && pz >= 0 && pz < gridHeight - 1;
}

bool TerrainManager::PatchExists(int patch) const {
    return patch >= 0 && patch < PatchCount();
}

void TerrainManager::CameraPatch(int* px, int* pz) const {
    const float patchWidth = float(patchSize) * cellSize;
    *px = kamera != nullptr ? static_cast<int>(kamera->position.x / patchWidth) : -1;
    *pz = kamera != nullptr ? static_cast<int>(kamera->position.z / patchWidth) : -1;
}

void TerrainManager::ReleaseMapsAndFields() {
    delete[] ebeneFeld;
    delete[] tileFeld;
    ebeneFeld = nullptr;
    tileFeld = nullptr;
    std::free(byteLightMap);
    std::free(byteHighMap);
    std::free(floatOwnHeightMap);
    byteLightMap = nullptr;
    byteHighMap = nullptr;
    floatOwnHeightMap = nullptr;
}

// Gives back everything a creation built: texture sets, patches, the water quad, maps and fields.
void TerrainManager::ReleaseTerrain() {
    for (TerrainTexturSet*& set : texturSets) {
        delete set;
        set = nullptr;
    }
    ReleasePatches();
    if (bufferManager != nullptr) {
        if (waterIndexBuffer != -1) {
            bufferManager->ReleaseIndexBuffer(waterIndexBuffer);
        }
        if (waterVertexBuffer != -1) {
            bufferManager->ReleaseVertexBuffer(waterVertexBuffer);
        }
    }
    waterIndexBuffer = -1;
    waterVertexBuffer = -1;
    ReleaseMapsAndFields();
    created = false;
}
