// The D3DX vector and matrix operations, the ray tests against boxes and triangles, and the bounding
// box of a vertex array. Products are built in a temporary so that output and input may be one object.
#include "d3dx9/d3dx9_math.h"

#include <cmath>
#include <cstring>

D3DXVECTOR2& D3DXVECTOR2::operator+=(const D3DXVECTOR2& v) {
    x += v.x;
    y += v.y;
    return *this;
}
D3DXVECTOR2& D3DXVECTOR2::operator-=(const D3DXVECTOR2& v) {
    x -= v.x;
    y -= v.y;
    return *this;
}
D3DXVECTOR2& D3DXVECTOR2::operator*=(float f) {
    x *= f;
    y *= f;
    return *this;
}
D3DXVECTOR2& D3DXVECTOR2::operator/=(float f) {
    x /= f;
    y /= f;
    return *this;
}

D3DXVECTOR3& D3DXVECTOR3::operator+=(const D3DXVECTOR3& v) {
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
}
D3DXVECTOR3& D3DXVECTOR3::operator-=(const D3DXVECTOR3& v) {
    x -= v.x;
    y -= v.y;
    z -= v.z;
    return *this;
}
D3DXVECTOR3& D3DXVECTOR3::operator*=(float f) {
    x *= f;
    y *= f;
    z *= f;
    return *this;
}
D3DXVECTOR3& D3DXVECTOR3::operator/=(float f) {
    x /= f;
    y /= f;
    z /= f;
    return *this;
}

D3DXVECTOR4& D3DXVECTOR4::operator+=(const D3DXVECTOR4& v) {
    x += v.x;
    y += v.y;
    z += v.z;
    w += v.w;
    return *this;
}
D3DXVECTOR4& D3DXVECTOR4::operator-=(const D3DXVECTOR4& v) {
    x -= v.x;
    y -= v.y;
    z -= v.z;
    w -= v.w;
    return *this;
}
D3DXVECTOR4& D3DXVECTOR4::operator*=(float f) {
    x *= f;
    y *= f;
    z *= f;
    w *= f;
    return *this;
}
D3DXVECTOR4& D3DXVECTOR4::operator/=(float f) {
    x /= f;
    y /= f;
    z /= f;
    w /= f;
    return *this;
}

D3DXMATRIX::D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24,
                       float m31, float m32, float m33, float m34, float m41, float m42, float m43,
                       float m44) {
    _11 = m11;
    _12 = m12;
    _13 = m13;
    _14 = m14;
    _21 = m21;
    _22 = m22;
    _23 = m23;
    _24 = m24;
    _31 = m31;
    _32 = m32;
    _33 = m33;
    _34 = m34;
    _41 = m41;
    _42 = m42;
    _43 = m43;
    _44 = m44;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& other) {
    D3DXMatrixMultiply(this, this, &other);
    return *this;
}
D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& other) const {
    D3DXMATRIX result;
    D3DXMatrixMultiply(&result, this, &other);
    return result;
}
bool D3DXMATRIX::operator==(const D3DXMATRIX& other) const {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (m[r][c] != other.m[r][c]) {
                return false;
            }
        }
    }
    return true;
}

float D3DXVec3Length(const D3DXVECTOR3* v) {
    return std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    float length = D3DXVec3Length(v);
    if (length == 0.0f) {
        *out = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    } else {
        *out = D3DXVECTOR3(v->x / length, v->y / length, v->z / length);
    }
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    float x = v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + m->_41;
    float y = v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + m->_42;
    float z = v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + m->_43;
    float w = v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + m->_44;
    if (w != 0.0f && w != 1.0f) {
        x /= w;
        y /= w;
        z /= w;
    }
    *out = D3DXVECTOR3(x, y, z);
    return out;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    D3DXVECTOR3 result(v->x * m->_11 + v->y * m->_21 + v->z * m->_31,
                       v->x * m->_12 + v->y * m->_22 + v->z * m->_32,
                       v->x * m->_13 + v->y * m->_23 + v->z * m->_33);
    *out = result;
    return out;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
    std::memset(out->m, 0, sizeof(out->m));
    out->_11 = out->_22 = out->_33 = out->_44 = 1.0f;
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
    D3DXMATRIX result;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            result.m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] + a->m[r][2] * b->m[2][c] +
                             a->m[r][3] * b->m[3][c];
        }
    }
    *out = result;
    return out;
}

namespace {

// The cofactor matrix (transposed: the adjugate) of m, in double, and the determinant.
double Adjugate(const D3DXMATRIX& source, double adj[4][4]) {
    double a[4][4];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            a[r][c] = source.m[r][c];
        }
    }
    // 2 x 2 minors of the lower two rows and of the upper two rows.
    double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];

    adj[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
    adj[0][1] = -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3;
    adj[0][2] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
    adj[0][3] = -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3;
    adj[1][0] = -a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1;
    adj[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
    adj[1][2] = -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1;
    adj[1][3] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;
    adj[2][0] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
    adj[2][1] = -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0;
    adj[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
    adj[2][3] = -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0;
    adj[3][0] = -a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0;
    adj[3][1] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
    adj[3][2] = -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0;
    adj[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;

    return s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
}

} // namespace

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, float* determinant, const D3DXMATRIX* m) {
    double adj[4][4];
    double det = Adjugate(*m, adj);
    if (determinant != nullptr) {
        *determinant = static_cast<float>(det);
    }
    if (det == 0.0 || !std::isfinite(det)) {
        return nullptr;
    }
    double inverse = 1.0 / det;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out->m[r][c] = static_cast<float>(adj[r][c] * inverse);
        }
    }
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz) {
    D3DXMatrixIdentity(out);
    out->_11 = sx;
    out->_22 = sy;
    out->_33 = sz;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
    D3DXMatrixIdentity(out);
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle) {
    float c = std::cos(angle);
    float s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->_22 = c;
    out->_23 = s;
    out->_32 = -s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle) {
    float c = std::cos(angle);
    float s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->_11 = c;
    out->_13 = -s;
    out->_31 = s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle) {
    float c = std::cos(angle);
    float s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->_11 = c;
    out->_12 = s;
    out->_21 = -s;
    out->_22 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, float yaw, float pitch, float roll) {
    float cy = std::cos(yaw);
    float sy = std::sin(yaw);
    float cp = std::cos(pitch);
    float sp = std::sin(pitch);
    float cr = std::cos(roll);
    float sr = std::sin(roll);
    D3DXMatrixIdentity(out);
    out->_11 = cy * cr + sy * sp * sr;
    out->_12 = sr * cp;
    out->_13 = cy * sp * sr - sy * cr;
    out->_21 = sy * sp * cr - cy * sr;
    out->_22 = cr * cp;
    out->_23 = sr * sy + cr * cy * sp;
    out->_31 = cp * sy;
    out->_32 = -sp;
    out->_33 = cp * cy;
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf) {
    float yScale = 1.0f / std::tan(fovy / 2.0f);
    std::memset(out->m, 0, sizeof(out->m));
    out->_11 = yScale / aspect;
    out->_22 = yScale;
    out->_33 = zf / (zf - zn);
    out->_34 = 1.0f;
    out->_43 = -zn * zf / (zf - zn);
    return out;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
    D3DXVECTOR3 zAxis = *at - *eye;
    D3DXVec3Normalize(&zAxis, &zAxis);
    D3DXVECTOR3 xAxis;
    D3DXVec3Cross(&xAxis, up, &zAxis);
    D3DXVec3Normalize(&xAxis, &xAxis);
    D3DXVECTOR3 yAxis;
    D3DXVec3Cross(&yAxis, &zAxis, &xAxis);
    *out = D3DXMATRIX(xAxis.x, yAxis.x, zAxis.x, 0.0f, xAxis.y, yAxis.y, zAxis.y, 0.0f, xAxis.z, yAxis.z,
                      zAxis.z, 0.0f, -D3DXVec3Dot(&xAxis, eye), -D3DXVec3Dot(&yAxis, eye),
                      -D3DXVec3Dot(&zAxis, eye), 1.0f);
    return out;
}

BOOL D3DXBoxBoundProbe(const D3DXVECTOR3* min, const D3DXVECTOR3* max, const D3DXVECTOR3* rayPos,
                       const D3DXVECTOR3* rayDir) {
    // Slab test: intersect the parameter interval [0, inf) with each axis's entry and exit.
    const float* lo = *min;
    const float* hi = *max;
    const float* origin = *rayPos;
    const float* dir = *rayDir;
    float tNear = 0.0f;
    float tFar = INFINITY;
    for (int axis = 0; axis < 3; ++axis) {
        if (dir[axis] == 0.0f) {
            if (origin[axis] < lo[axis] || origin[axis] > hi[axis]) {
                return FALSE;
            }
            continue;
        }
        float t0 = (lo[axis] - origin[axis]) / dir[axis];
        float t1 = (hi[axis] - origin[axis]) / dir[axis];
        if (t0 > t1) {
            float swap = t0;
            t0 = t1;
            t1 = swap;
        }
        if (t0 > tNear) {
            tNear = t0;
        }
        if (t1 < tFar) {
            tFar = t1;
        }
        if (tNear > tFar) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL D3DXIntersectTri(const D3DXVECTOR3* p0, const D3DXVECTOR3* p1, const D3DXVECTOR3* p2,
                      const D3DXVECTOR3* rayPos, const D3DXVECTOR3* rayDir, float* u, float* v, float* dist) {
    // Solve pos + t * dir = p0 + u * (p1 - p0) + v * (p2 - p0) by Cramer's rule; the sign of the
    // determinant is not checked, so both faces are hit.
    D3DXVECTOR3 edge1 = *p1 - *p0;
    D3DXVECTOR3 edge2 = *p2 - *p0;
    D3DXVECTOR3 pvec;
    D3DXVec3Cross(&pvec, rayDir, &edge2);
    double det = static_cast<double>(D3DXVec3Dot(&edge1, &pvec));
    if (std::fabs(det) < 1e-12) {
        return FALSE;
    }
    double inverse = 1.0 / det;
    D3DXVECTOR3 tvec = *rayPos - *p0;
    double hitU = D3DXVec3Dot(&tvec, &pvec) * inverse;
    if (hitU < 0.0 || hitU > 1.0) {
        return FALSE;
    }
    D3DXVECTOR3 qvec;
    D3DXVec3Cross(&qvec, &tvec, &edge1);
    double hitV = D3DXVec3Dot(rayDir, &qvec) * inverse;
    if (hitV < 0.0 || hitU + hitV > 1.0) {
        return FALSE;
    }
    double t = D3DXVec3Dot(&edge2, &qvec) * inverse;
    if (t < 0.0) {
        return FALSE;
    }
    if (u != nullptr) {
        *u = static_cast<float>(hitU);
    }
    if (v != nullptr) {
        *v = static_cast<float>(hitV);
    }
    if (dist != nullptr) {
        *dist = static_cast<float>(t);
    }
    return TRUE;
}

HRESULT D3DXComputeBoundingBox(const D3DXVECTOR3* firstPosition, DWORD count, DWORD stride, D3DXVECTOR3* min,
                               D3DXVECTOR3* max) {
    if (firstPosition == nullptr || min == nullptr || max == nullptr || count == 0 ||
        stride < sizeof(D3DVECTOR)) {
        return E_INVALIDARG;
    }
    // Positions may sit at any byte offset inside the caller's vertices: copy rather than dereference.
    const BYTE* bytes = reinterpret_cast<const BYTE*>(firstPosition);
    D3DVECTOR position;
    std::memcpy(&position, bytes, sizeof(position));
    D3DXVECTOR3 lo(position);
    D3DXVECTOR3 hi(position);
    for (DWORD i = 1; i < count; ++i) {
        std::memcpy(&position, bytes + static_cast<size_t>(i) * stride, sizeof(position));
        lo.x = position.x < lo.x ? position.x : lo.x;
        lo.y = position.y < lo.y ? position.y : lo.y;
        lo.z = position.z < lo.z ? position.z : lo.z;
        hi.x = position.x > hi.x ? position.x : hi.x;
        hi.y = position.y > hi.y ? position.y : hi.y;
        hi.z = position.z > hi.z ? position.z : hi.z;
    }
    *min = lo;
    *max = hi;
    return S_OK;
}
