// The particle manager singleton: slot table, shared vertex buffer, drawing and presets.
#include "particles/point_manager.h"

#include <new>

PointManager* PointManager::Exemplar = nullptr;

PointManager* PointManager::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) PointManager();
    }
    return Exemplar;
}

PointManager::PointManager() : starTextureId(-1), sharedVertexBufferId(-1) {}

PointManager::~PointManager() {
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}
