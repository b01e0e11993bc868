// The D3DX maths against the values the engine relies on and the definitions of the functions: the
// projection and the picking scales, the camera's rotation rows, known points under rotations, views
// and transforms, vector arithmetic, inverses, aliasing outputs, ray tests and bounding boxes.
#include "d3dx9/d3dx9.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr float EPS = 1e-6f;

void ExpectMatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tolerance) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance)
                << "row " << r + 1 << " column " << c + 1;
        }
    }
}

TEST(D3DXMath, ProjectionOfTheEngineGivesThePickingScales) {
    D3DXMATRIX p;
    float aspect = 800.0f / 600.0f;
    D3DXMatrixPerspectiveFovLH(&p, 0.7853982f, aspect, 10.0f, 200.0f);
    EXPECT_NEAR(1.0f / p._22, 0.4142136f, EPS);
    EXPECT_NEAR(1.0f / p._11, 0.5522847f, 2 * EPS);
    EXPECT_NEAR(p._33, 200.0f / 190.0f, EPS);
    EXPECT_EQ(p._34, 1.0f);
    EXPECT_NEAR(p._43, -2000.0f / 190.0f, 1e-5f);
    EXPECT_EQ(p._44, 0.0f);
    D3DXVECTOR3 farPoint(0, 0, 200), out;
    D3DXVec3TransformCoord(&out, &farPoint, &p);
    EXPECT_NEAR(out.z, 1.0f, EPS) << "the far plane maps to depth 1 after the divide by w";
}

TEST(D3DXMath, YawPitchRollRowsMatchTheCameraAxes) {
    float yaw = 0.3f, pitch = 0.9599311f, roll = -0.2f;
    float sy = std::sin(yaw), cy = std::cos(yaw), sp = std::sin(pitch), cp = std::cos(pitch);
    float sr = std::sin(roll), cr = std::cos(roll);
    D3DXMATRIX m;
    D3DXMatrixRotationYawPitchRoll(&m, yaw, pitch, roll);
    D3DXMATRIX expected(cy * cr + sy * sp * sr, sr * cp, cy * sp * sr - sy * cr, 0, sy * sp * cr - cy * sr,
                        cr * cp, sr * sy + cr * cy * sp, 0, cp * sy, -sp, cp * cy, 0, 0, 0, 0, 1);
    ExpectMatrixNear(m, expected, EPS);
}

// Known points under each matrix, with left-handed row-vector conventions: a quarter turn about x takes
// y to z, about y takes x to -z, about z takes x to y; a camera at (5, 0, 0) looking at the origin
// sees +z on its right, +y above and the origin 5 ahead. A mirrored or transposed matrix moves them.
TEST(D3DXMath, RotationsViewsAndTransformsTakeKnownPointsWhereTheirDefinitionsSay) {
    const float quarter = D3DX_PI / 2;
    D3DXMATRIX m;
    D3DXVECTOR3 out;
    const struct {
        D3DXMATRIX* (*rotation)(D3DXMATRIX*, float);
        D3DXVECTOR3 in, expected;
    } rotations[] = {
        {D3DXMatrixRotationX, {0, 1, 0}, {0, 0, 1}},  {D3DXMatrixRotationX, {0, 0, 1}, {0, -1, 0}},
        {D3DXMatrixRotationY, {1, 0, 0}, {0, 0, -1}}, {D3DXMatrixRotationY, {0, 0, 1}, {1, 0, 0}},
        {D3DXMatrixRotationZ, {1, 0, 0}, {0, 1, 0}},  {D3DXMatrixRotationZ, {0, 1, 0}, {-1, 0, 0}},
    };
    for (const auto& row : rotations) {
        D3DXVec3TransformCoord(&out, &row.in, row.rotation(&m, quarter));
        EXPECT_NEAR(out.x, row.expected.x, EPS);
        EXPECT_NEAR(out.y, row.expected.y, EPS);
        EXPECT_NEAR(out.z, row.expected.z, EPS);
    }

    D3DXVECTOR3 eye(5, 0, 0), at(0, 0, 0), up(0, 3, 0), point(0, 2, 3);
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    EXPECT_EQ(*D3DXVec3TransformCoord(&out, &point, &m), D3DXVECTOR3(3, 2, 5));
    EXPECT_EQ(*D3DXVec3TransformNormal(&out, &point, &m), D3DXVECTOR3(3, 2, 0)) << "directions ignore row 4";

    // The divide by w, and w = 0 left undivided.
    D3DXMATRIX projective(2, 0, 0, 0.5f, 0, 3, 0, 1, 0, 0, 1, 0.25f, 1, 1, 1, -1);
    D3DXVECTOR3 in(2, 1, 4);
    EXPECT_EQ(*D3DXVec3TransformCoord(&out, &in, &projective), D3DXVECTOR3(2.5f, 2, 2.5f));
    D3DXVECTOR3 vanishing(-2, 1, 4);
    EXPECT_EQ(*D3DXVec3TransformCoord(&out, &vanishing, &projective), D3DXVECTOR3(-3, 4, 5));
}

TEST(D3DXMath, VectorOperatorsWorkPerComponent) {
    D3DXVECTOR2 a2(1, -2);
    a2 += D3DXVECTOR2(4, 8);
    a2 -= D3DXVECTOR2(1, 1);
    a2 *= 3;
    a2 /= 2;
    EXPECT_EQ(a2, D3DXVECTOR2(6, 7.5f));
    EXPECT_EQ(-(2 * a2 - D3DXVECTOR2(1, 1) / 4 + D3DXVECTOR2(0, 1)), D3DXVECTOR2(-11.75f, -15.75f));
    D3DXVECTOR3 a3(1, -2, 3);
    a3 += D3DXVECTOR3(4, 8, 16);
    a3 -= D3DXVECTOR3(1, 1, 1);
    a3 *= 3;
    a3 /= 2;
    EXPECT_EQ(a3, D3DXVECTOR3(6, 7.5f, 27));
    EXPECT_EQ(-(2 * a3 - D3DXVECTOR3(1, 1, 2) / 4 + D3DXVECTOR3(0, 1, 0)),
              D3DXVECTOR3(-11.75f, -15.75f, -53.5f));
    D3DXVECTOR4 a4(1, -2, 3, -4);
    a4 += D3DXVECTOR4(4, 8, 16, 32);
    a4 -= D3DXVECTOR4(1, 1, 1, 1);
    a4 *= 3;
    a4 /= 2;
    EXPECT_EQ(a4, D3DXVECTOR4(6, 7.5f, 27, 40.5f));
    EXPECT_EQ(-(2 * a4 - D3DXVECTOR4(1, 1, 2, 4) / 4 + D3DXVECTOR4(0, 0, 0, 1)),
              D3DXVECTOR4(-11.75f, -14.75f, -53.5f, -81.0f));
    EXPECT_TRUE(a4 != D3DXVECTOR4(6, 7.5f, 27, 40));
    EXPECT_FLOAT_EQ(D3DXVec3Length(&a3), std::sqrt(36.0f + 56.25f + 729.0f));
}

TEST(D3DXMath, OutputsMayAliasInputsAndZeroVectorsStayFinite) {
    D3DXMATRIX s, t, st;
    D3DXMatrixScaling(&s, 20.0f, 10.0f, 10.0f);
    D3DXMatrixTranslation(&t, 3.0f, 0.0f, -4.0f);
    D3DXMatrixMultiply(&st, &s, &t);
    D3DXVECTOR3 p(1, 2, 3), out;
    D3DXVec3TransformCoord(&out, &p, &st);
    EXPECT_EQ(out, D3DXVECTOR3(23.0f, 20.0f, 26.0f));
    D3DXMATRIX aliased = s;
    D3DXMatrixMultiply(&aliased, &aliased, &t);
    EXPECT_EQ(aliased, st);

    D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    D3DXVec3Cross(&x, &x, &y);
    EXPECT_EQ(x, D3DXVECTOR3(0, 0, 1));
    D3DXVECTOR3 n(3, 0, 4), zero(0, 0, 0);
    D3DXVec3Normalize(&n, &n);
    EXPECT_NEAR(n.x, 0.6f, EPS);
    EXPECT_NEAR(n.z, 0.8f, EPS);
    D3DXVec3Normalize(&n, &zero);
    EXPECT_EQ(n, zero) << "normalising a zero vector must not produce NaN";
}

TEST(D3DXMath, InverseOfTheCameraViewGivesPositionAndAxesAndRefusesSingularMatrices) {
    // The view the camera builds: axes in columns, negative dot products in row 4.
    D3DXMATRIX r;
    D3DXMatrixRotationYawPitchRoll(&r, 0.4f, 0.9599311f, 0.0f);
    D3DXVECTOR3 right(r._11, r._12, r._13), up(r._21, r._22, r._23), look(r._31, r._32, r._33);
    D3DXVECTOR3 position(50, 40, 50);
    D3DXMATRIX view(right.x, up.x, look.x, 0, right.y, up.y, look.y, 0, right.z, up.z, look.z, 0,
                    -D3DXVec3Dot(&position, &right), -D3DXVec3Dot(&position, &up),
                    -D3DXVec3Dot(&position, &look), 1);
    D3DXMATRIX inverse, identity;
    ASSERT_EQ(D3DXMatrixInverse(&inverse, nullptr, &view), &inverse);
    ExpectMatrixNear(inverse,
                     D3DXMATRIX(right.x, right.y, right.z, 0, up.x, up.y, up.z, 0, look.x, look.y, look.z, 0,
                                50, 40, 50, 1),
                     1e-4f);
    D3DXMatrixIdentity(&identity);
    ExpectMatrixNear(view * inverse, identity, 1e-5f);

    // A matrix without a zero among its entries, its 2 x 2 minors and its cofactors, with its
    // determinant and inverse worked out by hand.
    D3DXMATRIX general(2, -2, -2, 3, 4, -3, 3, 4, -2, -1, 4, -1, 3, -2, 1, 3);
    float det = 0.0f;
    ASSERT_NE(D3DXMatrixInverse(&inverse, &det, &general), nullptr);
    EXPECT_FLOAT_EQ(det, -1.0f);
    ExpectMatrixNear(inverse, D3DXMATRIX(-4, -15, 3, 25, 5, 22, -5, -36, 1, 5, -1, -8, 7, 28, -6, -46),
                     1e-4f);
    D3DXMATRIX singular = {}, before = inverse;
    EXPECT_EQ(D3DXMatrixInverse(&inverse, &det, &singular), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_EQ(inverse, before) << "the output stays untouched";
}

TEST(D3DXMath, BoxBoundProbe) {
    D3DXVECTOR3 lo(-1, -1, 10), hi(1, 1, 12);
    struct Row {
        D3DXVECTOR3 pos, dir;
        BOOL hit;
        const char* what;
    } rows[] = {
        {{0, 0, 0}, {0, 0, 1}, TRUE, "straight ahead"},
        {{0, 0, 0}, {0, 0, -1}, FALSE, "box behind the origin"},
        {{0, 0, 11}, {0, 0, -1}, TRUE, "origin inside the box"},
        {{0, 0, 11}, {0, 1, 0}, TRUE, "origin inside, pointing sideways"},
        {{5, 0, 0}, {0, 0, 1}, FALSE, "parallel, outside the slab"},
        {{0, 0, 0}, {0.05f, 0.05f, 1}, TRUE, "slanted, unnormalised"},
        {{0, 0, 0}, {0.2f, 0, 1}, FALSE, "slanted, passes beside"},
        {{0, 0, 0}, {1, 0, 10}, TRUE, "touches the corner edge"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(D3DXBoxBoundProbe(&lo, &hi, &row.pos, &row.dir), row.hit) << row.what;
    }
}

TEST(D3DXMath, IntersectTriHitsBothFacesWithBarycentrics) {
    D3DXVECTOR3 p0(0, 0, 5), p1(4, 0, 5), p2(0, 4, 5);
    D3DXVECTOR3 pos(1, 2, 0), dir(0, 0, 2);
    float u = -1, v = -1, dist = -1;
    ASSERT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, &u, &v, &dist));
    EXPECT_NEAR(u, 0.25f, EPS);
    EXPECT_NEAR(v, 0.5f, EPS);
    EXPECT_NEAR(dist, 2.5f, EPS) << "distance in multiples of the direction's length";

    // Same triangle seen from behind, with the other winding.
    D3DXVECTOR3 back(1, 2, 10), backDir(0, 0, -1);
    EXPECT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &back, &backDir, &u, &v, &dist));
    EXPECT_TRUE(D3DXIntersectTri(&p0, &p2, &p1, &pos, &dir, &u, &v, &dist));
    EXPECT_NEAR(u, 0.5f, EPS);

    // Behind the origin, outside the edges, parallel; null outputs are allowed.
    D3DXVECTOR3 away(0, 0, -1), outside(3, 3, 0), parallel(1, 0, 0);
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &away, &u, &v, &dist));
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &outside, &dir, &u, &v, &dist));
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &parallel, &u, &v, &dist));
    EXPECT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, nullptr, nullptr, nullptr));
}

TEST(D3DXMath, ComputeBoundingBoxReadsPositionsAtAStride) {
    struct Vertex {
        float x, y, z, tu, tv;
    };
    std::vector<Vertex> vertices = {{1, 5, -2, 99, 99}, {-3, 2, 7, -99, -99}, {0, -1, 0, 0, 0}};
    auto first = reinterpret_cast<const D3DXVECTOR3*>(vertices.data());
    D3DXVECTOR3 lo, hi;
    ASSERT_EQ(D3DXComputeBoundingBox(first, 3, sizeof(Vertex), &lo, &hi), S_OK);
    EXPECT_EQ(lo, D3DXVECTOR3(-3, -1, -2));
    EXPECT_EQ(hi, D3DXVECTOR3(1, 5, 7));
    EXPECT_TRUE(FAILED(D3DXComputeBoundingBox(first, 0, sizeof(Vertex), &lo, &hi))) << "no vertices";
    EXPECT_TRUE(FAILED(D3DXComputeBoundingBox(nullptr, 3, sizeof(Vertex), &lo, &hi)));
    EXPECT_TRUE(FAILED(D3DXComputeBoundingBox(first, 3, sizeof(Vertex), nullptr, &hi)));
    EXPECT_TRUE(FAILED(D3DXComputeBoundingBox(first, 3, 4, &lo, &hi))) << "stride shorter than a position";
}

} // namespace
