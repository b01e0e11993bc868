// One placed thing of the 3D scene: position, angles, animation frame, flags, the id of the model that
// draws it and its bounding box. The world matrix and the world-space box are derived on demand.
#pragma once

#include "core/velkora_api.h"
#include "d3dx9/d3dx9.h"

class VELKORA_API GFXObject {
public:
    GFXObject();
    ~GFXObject();

    // The five allocations belong to this object; a copy would free them twice.
    GFXObject(const GFXObject&) = delete;
    GFXObject& operator=(const GFXObject&) = delete;

    void UpdMove();
    // Each getter recomputes the matrix and the box from the current members before it answers.
    D3DXMATRIX* GetWorldMatrix();
    D3DXVECTOR3* GetBoundVecMin();
    D3DXVECTOR3* GetBoundVecMax();
    // Takes over a model-space box; false for a null pointer.
    bool CopyBoundingBox(const D3DXVECTOR3* min, const D3DXVECTOR3* max);

    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};
    float yaw = 0.0f;
    float pitch = 0.0f;
    float roll = 0.0f;
    int frame = 0;
    bool enabled = true;
    // Billboard opacity (low 8 bits); opaque until the client says otherwise.
    int alpha = 255;
    int objectIndex = -1;
    int modelId = -1;
    bool inView = false;
    bool moved = true;
    D3DXMATRIX* world = nullptr;
    D3DXVECTOR3* worldMin = nullptr;
    D3DXVECTOR3* worldMax = nullptr;
    D3DXVECTOR3* localMin = nullptr;
    D3DXVECTOR3* localMax = nullptr;

private:
    bool CalculateAll();
};
