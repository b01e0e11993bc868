// The terrain singleton: creation, lifetime and the calls the engine root forwards to it.
#include "terrain/terrain_manager.h"

#include <new>

TerrainManager* TerrainManager::Exemplar = nullptr;

TerrainManager* TerrainManager::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) TerrainManager();
    }
    return Exemplar;
}

TerrainManager::TerrainManager() : waterVertexBuffer(-1), waterIndexBuffer(-1), created(false) {}

TerrainManager::~TerrainManager() {
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

bool TerrainManager::GetTerrainPatch(int, int, int* patch) {
    if (patch != nullptr) {
        *patch = -1;
    }
    return true;
}

bool TerrainManager::SetATCursorPos(int, int) {
    return false;
}

bool TerrainManager::IncreaseTerrainPosition(int, int) {
    return false;
}
