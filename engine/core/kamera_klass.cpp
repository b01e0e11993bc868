// The camera: angles, axes and position, the view matrix, moves and turns, timed moves and the fixed
// visibility window.
#include "core/kamera_klass.h"

#include "win32/mmsystem.h"

#include <cmath>
#include <new>

KameraKlass* KameraKlass::Exemplar = nullptr;

namespace {

constexpr float VIEW_HALF_WIDTH = 55.0f;
constexpr float VIEW_DEPTH = 70.0f;
constexpr float VIEW_NEAR_EDGE = 10.0f;
constexpr float DEGREE = 0.0174532924f;

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

} // namespace

KameraKlass::KameraKlass() = default;

KameraKlass::~KameraKlass() {
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

KameraKlass* KameraKlass::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) KameraKlass;
    }
    return Exemplar;
}

bool KameraKlass::Init(float x, float y, float z) {
    yaw = 0.0f;
    pitch = 0.0f;
    roll = 0.0f;
    right = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    look = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    position = D3DXVECTOR3(x, y, z);
    moving = false;
    return true;
}

bool KameraKlass::SetupViewMatrix(D3DXMATRIX* view) {
    const float sy = static_cast<float>(std::sin(static_cast<double>(yaw)));
    const float cy = static_cast<float>(std::cos(static_cast<double>(yaw)));
    const float sp = static_cast<float>(std::sin(static_cast<double>(pitch)));
    const float cp = static_cast<float>(std::cos(static_cast<double>(pitch)));
    const float sr = static_cast<float>(std::sin(static_cast<double>(roll)));
    const float cr = static_cast<float>(std::cos(static_cast<double>(roll)));

    right = D3DXVECTOR3(cy * cr + sy * sp * sr, sr * cp, cy * sp * sr - sy * cr);
    up = D3DXVECTOR3(sy * sp * cr - cy * sr, cr * cp, sr * sy + cr * cy * sp);
    look = D3DXVECTOR3(cp * sy, -sp, cp * cy);

    D3DXMATRIX& m = *view;
    m._11 = right.x;
    m._12 = up.x;
    m._13 = look.x;
    m._14 = 0.0f;
    m._21 = right.y;
    m._22 = up.y;
    m._23 = look.y;
    m._24 = 0.0f;
    m._31 = right.z;
    m._32 = up.z;
    m._33 = look.z;
    m._34 = 0.0f;
    m._41 = -Dot(position, right);
    m._42 = -Dot(position, up);
    m._43 = -Dot(position, look);
    m._44 = 1.0f;

    viewHalfWidth = VIEW_HALF_WIDTH;
    viewDepth = VIEW_DEPTH;
    return true;
}

void KameraKlass::Move(float r, float u, float l) {
    position += right * r;
    position += up * u;
    position += look * l;
}

void KameraKlass::Rotate(float x, float y, float z) {
    pitch += x;
    yaw += y;
    roll += z;
}

// A duration of 0 places the camera on the target at once (the velocities would be infinite).
bool KameraKlass::MoveSlightlytoPos(const D3DVECTOR* pos, const D3DVECTOR* rot, DWORD ms) {
    if (moving) {
        return true;
    }
    if (ms == 0) {
        position = D3DXVECTOR3(pos->x, pos->y, pos->z);
        pitch = rot->x;
        yaw = rot->y;
        roll = rot->z;
        return true;
    }
    moveStart = timeGetTime();
    lastUpdate = timeGetTime();
    moveDuration = ms;
    const float duration = static_cast<float>(ms);
    moveVelocity = D3DXVECTOR3((pos->x - position.x) / duration, (pos->y - position.y) / duration,
                               (pos->z - position.z) / duration);
    rotationVelocity =
        D3DXVECTOR3((rot->x - pitch) / duration, (rot->y - yaw) / duration, (rot->z - roll) / duration);
    moveTarget = D3DXVECTOR3(pos->x, pos->y, pos->z);
    rotationTarget = D3DXVECTOR3(rot->x, rot->y, rot->z);
    moving = true;
    return true;
}

// Advances by the milliseconds since the last step. A timed move also turns the camera, and ends on its
// target (position and angles exactly) once its duration has passed; its velocities then return to 0.
bool KameraKlass::UpdateMoveCam() {
    const uint32_t now = timeGetTime();
    if (moving && now - moveStart >= moveDuration) {
        position = moveTarget;
        pitch = rotationTarget.x;
        yaw = rotationTarget.y;
        roll = rotationTarget.z;
        moveVelocity = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        rotationVelocity = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        moving = false;
    } else {
        const float elapsed = static_cast<float>(now - lastUpdate);
        position += moveVelocity * elapsed;
        if (moving) {
            pitch += rotationVelocity.x * elapsed;
            yaw += rotationVelocity.y * elapsed;
            roll += rotationVelocity.z * elapsed;
        }
    }
    lastUpdate = now;
    return false;
}

bool KameraKlass::SetMoveVector(const D3DVECTOR* velocity) {
    lastUpdate = timeGetTime();
    moveVelocity = D3DXVECTOR3(velocity->x, velocity->y, velocity->z);
    return false;
}

bool KameraKlass::SetCoConflictHeight(float h) {
    if (h > 50.0f) {
        h = 50.0f;
    }
    if (h < 25.0f) {
        h = 25.0f;
    }
    position.y = h;
    pitch = static_cast<float>((static_cast<double>(h) + 7.0) * static_cast<double>(DEGREE));
    return true;
}

bool KameraKlass::CheckIfObjectInsightViewport(const D3DVECTOR* min, const D3DVECTOR* max) {
    if (!(position.x + viewHalfWidth > max->x)) {
        return false;
    }
    if (!(position.z + viewDepth > max->z)) {
        return false;
    }
    if (!(viewHalfWidth * -1.0f + position.x < min->x)) {
        return false;
    }
    return position.z + VIEW_NEAR_EDGE < min->z;
}
