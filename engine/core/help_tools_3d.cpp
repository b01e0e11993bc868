// Picking: a world-space ray through a point of the window's client area, and a ray-box test.
#include "core/help_tools_3d.h"

#include "core/init_manager.h"
#include "win32/winuser.h"

#include <algorithm>
#include <cmath>
#include <new>

HelpTools3D* HelpTools3D::Exemplar = nullptr;

namespace {

// Ray parameter at which the ray enters the box (0 when it starts inside); the ray is known to hit it.
float EntryParameter(const D3DXVECTOR3& min, const D3DXVECTOR3& max, const D3DXVECTOR3& origin,
                     const D3DXVECTOR3& direction) {
    const float lows[3] = {min.x, min.y, min.z};
    const float highs[3] = {max.x, max.y, max.z};
    const float starts[3] = {origin.x, origin.y, origin.z};
    const float steps[3] = {direction.x, direction.y, direction.z};
    float entry = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        if (steps[axis] == 0.0f) {
            continue;
        }
        const float t1 = (lows[axis] - starts[axis]) / steps[axis];
        const float t2 = (highs[axis] - starts[axis]) / steps[axis];
        entry = std::max(entry, std::min(t1, t2));
    }
    return entry;
}

} // namespace

HelpTools3D::HelpTools3D() = default;

HelpTools3D::~HelpTools3D() {
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

HelpTools3D* HelpTools3D::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) HelpTools3D;
    }
    return Exemplar;
}

bool HelpTools3D::InitTools() {
    initManager = InitManager::GetExemplar();
    return true;
}

// Without a device (set-up not done or failed) the ray is all zero.
DXRAY HelpTools3D::CalcPickingRay(int x, int y) {
    DXRAY ray{D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f)};
    if (initManager == nullptr || initManager->device == nullptr) {
        return ray;
    }
    RECT client{0, 0, 0, 0};
    GetClientRect(initManager->window, &client);
    // An empty client area would divide by zero; it is taken as one pixel.
    const float width = static_cast<float>(std::max<LONG>(client.right, 1));
    const float height = static_cast<float>(std::max<LONG>(client.bottom, 1));

    D3DXMATRIX projection;
    initManager->device->GetTransform(D3DTS_PROJECTION, &projection);
    D3DXVECTOR3 v;
    v.x = (2.0f * static_cast<float>(x) / width - 1.0f) / projection._11;
    v.y = -(2.0f * static_cast<float>(y) / height - 1.0f) / projection._22;
    v.z = 1.0f;

    D3DXMATRIX view;
    D3DXMATRIX m;
    initManager->device->GetTransform(D3DTS_VIEW, &view);
    D3DXMatrixInverse(&m, nullptr, &view);

    ray.direction.x = v.x * m._11 + v.y * m._21 + v.z * m._31;
    ray.direction.y = v.x * m._12 + v.y * m._22 + v.z * m._32;
    ray.direction.z = v.x * m._13 + v.y * m._23 + v.z * m._33;
    ray.origin = D3DXVECTOR3(m._41, m._42, m._43);
    return ray;
}

bool HelpTools3D::bCheckIntersectBBox(int x, int y, D3DXVECTOR3* min, D3DXVECTOR3* max, float* dist) {
    const DXRAY ray = CalcPickingRay(x, y);
    if (!D3DXBoxBoundProbe(min, max, &ray.origin, &ray.direction)) {
        return false;
    }
    const float entry = EntryParameter(*min, *max, ray.origin, ray.direction);
    const float length = std::sqrt(ray.direction.x * ray.direction.x + ray.direction.y * ray.direction.y +
                                   ray.direction.z * ray.direction.z);
    *dist = entry * length;
    return true;
}
