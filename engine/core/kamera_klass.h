// The engine's one camera: yaw, pitch and roll, the axes derived from them and a position, turned into
// the view matrix once per frame; moves, turns, timed moves and a fixed visibility window in x and z.
#pragma once

#include "core/velkora_api.h"
#include "d3dx9/d3dx9_math.h"

#include <cstdint>

class VELKORA_API KameraKlass {
public:
    static KameraKlass* GetExemplar();
    virtual ~KameraKlass();

    bool Init(float x, float y, float z);
    bool SetupViewMatrix(D3DXMATRIX* view);
    void Move(float r, float u, float l);
    void Rotate(float x, float y, float z);
    bool MoveSlightlytoPos(const D3DVECTOR* pos, const D3DVECTOR* rot, DWORD ms);
    bool UpdateMoveCam();
    bool SetMoveVector(const D3DVECTOR* velocity);
    bool SetCoConflictHeight(float h);
    bool CheckIfObjectInsightViewport(const D3DVECTOR* min, const D3DVECTOR* max);

    float yaw = 0.0f;
    float pitch = 0.0f;
    float roll = 0.0f;
    D3DXVECTOR3 up{0.0f, 1.0f, 0.0f};
    D3DXVECTOR3 look{0.0f, 0.0f, 1.0f};
    D3DXVECTOR3 right{1.0f, 0.0f, 0.0f};
    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 moveVelocity{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 rotationVelocity{0.0f, 0.0f, 0.0f};
    uint32_t moveStart = 0;
    uint32_t moveDuration = 0;
    uint32_t lastUpdate = 0;
    float viewHalfWidth = 55.0f;
    float viewDepth = 70.0f;
    bool moving = false;
    // Where a timed move ends: position and angles (pitch, yaw, roll).
    D3DXVECTOR3 moveTarget{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 rotationTarget{0.0f, 0.0f, 0.0f};

protected:
    KameraKlass();

private:
    static KameraKlass* Exemplar;
};
