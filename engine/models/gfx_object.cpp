// The scene object: its world matrix (yaw, pitch, roll and a translation) and its world-space box, which
// is the model-space box moved to the position and never rotated.
#include "models/gfx_object.h"

#include <new>

GFXObject::GFXObject() {
    world = new (std::nothrow) D3DXMATRIX();
    worldMin = new (std::nothrow) D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    worldMax = new (std::nothrow) D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    localMin = new (std::nothrow) D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    localMax = new (std::nothrow) D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    if (world != nullptr) {
        D3DXMatrixIdentity(world);
    }
}

GFXObject::~GFXObject() {
    delete world;
    delete worldMin;
    delete worldMax;
    delete localMin;
    delete localMax;
}

void GFXObject::UpdMove() {
    moved = true;
}

D3DXMATRIX* GFXObject::GetWorldMatrix() {
    CalculateAll();
    return world;
}

D3DXVECTOR3* GFXObject::GetBoundVecMin() {
    CalculateAll();
    return worldMin;
}

D3DXVECTOR3* GFXObject::GetBoundVecMax() {
    CalculateAll();
    return worldMax;
}

bool GFXObject::CopyBoundingBox(const D3DXVECTOR3* min, const D3DXVECTOR3* max) {
    if (min == nullptr || max == nullptr || localMin == nullptr || localMax == nullptr) {
        return false;
    }
    *localMin = *min;
    *localMax = *max;
    return true;
}

bool GFXObject::CalculateAll() {
    if (world != nullptr) {
        D3DXMatrixRotationYawPitchRoll(world, yaw, pitch, roll);
        world->_41 = position.x;
        world->_42 = position.y;
        world->_43 = position.z;
    }
    if (worldMin != nullptr && localMin != nullptr) {
        *worldMin = *localMin + position;
    }
    if (worldMax != nullptr && localMax != nullptr) {
        *worldMax = *localMax + position;
    }
    moved = false;
    return true;
}
