// The scene object: defaults, the world matrix from angles and position, and the world box that moves
// with the position but never turns.
#include "models/gfx_object.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(GFXObject, NewObjectDefaults) {
    GFXObject object;
    EXPECT_EQ(object.frame, 0);
    EXPECT_TRUE(object.enabled);
    EXPECT_EQ(object.modelId, -1);
    EXPECT_EQ(object.objectIndex, -1);
    EXPECT_FALSE(object.inView);
    EXPECT_TRUE(object.moved);
    EXPECT_EQ(object.alpha, 255) << "a billboard drawn without setting alpha must not read garbage";
    ASSERT_NE(object.world, nullptr);
    ASSERT_NE(object.localMin, nullptr);
    // A box that was never copied in is empty, so the world box is the position.
    object.position = D3DXVECTOR3(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(*object.GetBoundVecMin(), D3DXVECTOR3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(*object.GetBoundVecMax(), D3DXVECTOR3(1.0f, 2.0f, 3.0f));
}

TEST(GFXObject, WorldMatrixIsTheRotationWithThePositionInRowFour) {
    GFXObject object;
    object.yaw = float(M_PI / 2.0);
    object.position = D3DXVECTOR3(1.0f, 2.0f, 3.0f);
    const D3DXMATRIX* world = object.GetWorldMatrix();
    D3DXMATRIX expected;
    D3DXMatrixRotationY(&expected, float(M_PI / 2.0));
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(world->m[r][c], expected.m[r][c], 1e-6f) << r << "," << c;
        }
    }
    EXPECT_FLOAT_EQ(world->_41, 1.0f);
    EXPECT_FLOAT_EQ(world->_42, 2.0f);
    EXPECT_FLOAT_EQ(world->_43, 3.0f);
    EXPECT_FLOAT_EQ(world->_44, 1.0f);
    EXPECT_EQ(world, object.world) << "the getter hands out the object's own storage";
}

TEST(GFXObject, WorldBoxIsMovedButNotTurned) {
    GFXObject object;
    const D3DXVECTOR3 min(-1.0f, -1.0f, -1.0f), max(1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(object.CopyBoundingBox(&min, &max));
    object.position = D3DXVECTOR3(10.0f, 0.0f, 5.0f);
    object.yaw = float(M_PI / 4.0);
    object.pitch = 0.3f;
    EXPECT_EQ(*object.GetBoundVecMin(), D3DXVECTOR3(9.0f, -1.0f, 4.0f));
    EXPECT_EQ(*object.GetBoundVecMax(), D3DXVECTOR3(11.0f, 1.0f, 6.0f));
}

TEST(GFXObject, GettersRecomputeWithoutUpdMoveAndClearMoved) {
    GFXObject object;
    const D3DXVECTOR3 min(-1.0f, 0.0f, -2.0f), max(1.0f, 3.0f, 2.0f);
    object.CopyBoundingBox(&min, &max);
    object.GetBoundVecMin();
    EXPECT_FALSE(object.moved);
    object.position.x = 7.0f; // no UpdMove
    EXPECT_FLOAT_EQ(object.GetBoundVecMin()->x, 6.0f);
    EXPECT_FLOAT_EQ(object.GetWorldMatrix()->_41, 7.0f);
    object.UpdMove();
    EXPECT_TRUE(object.moved);
    object.GetWorldMatrix();
    EXPECT_FALSE(object.moved);
}

TEST(GFXObject, CopyBoundingBoxRefusesNullPointers) {
    GFXObject object;
    const D3DXVECTOR3 box(1.0f, 1.0f, 1.0f);
    EXPECT_FALSE(object.CopyBoundingBox(nullptr, &box));
    EXPECT_FALSE(object.CopyBoundingBox(&box, nullptr));
    EXPECT_EQ(*object.localMax, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
}

} // namespace
