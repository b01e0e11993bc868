// Picking: turns a point of the window's client area into a world-space ray through the device's
// projection and view transforms, and tests such a ray against an axis-aligned box.
#pragma once

#include "core/velkora_api.h"
#include "d3dx9/d3dx9_math.h"

class InitManager;

// A picking ray: origin, then the (unnormalised) direction, both in world space.
struct VELKORA_API DXRAY {
    D3DXVECTOR3 origin;
    D3DXVECTOR3 direction;
};

class VELKORA_API HelpTools3D {
public:
    static HelpTools3D* GetExemplar();
    virtual ~HelpTools3D();

    bool InitTools();
    DXRAY CalcPickingRay(int x, int y);
    // On a hit writes the distance from the ray's origin to the point where it enters the box.
    bool bCheckIntersectBBox(int x, int y, D3DXVECTOR3* min, D3DXVECTOR3* max, float* dist);

    InitManager* initManager = nullptr;

protected:
    HelpTools3D();

private:
    static HelpTools3D* Exemplar;
};
