// Picking through the engine's picking ray at known screen points, and the height queries.
#include "terrain_test_support.h"

#include "core/kamera_klass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace terrain_test;

namespace {

constexpr float PITCH_55 = 0.9599311f;

// A flat 64 x 64 terrain (15 x 15 patches) at height 6.0, seen from (30, 40, 10) at 55 degrees down.
// The centre of the screen looks along (0, -sin 55, cos 55) and meets the ground at z = 33.807.
class TerrainPicking : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Setup());
        t = engine.terrain;
    }
    void LoadFlat() {
        auto image = MakeMapImage(
            64, 64, [](int, int) { return 0; }, [](int, int) { return 255; });
        ASSERT_TRUE(LoadImage(t, image));
        engine.PlaceCamera(30.0f, 40.0f, 10.0f, PITCH_55);
    }
    int Patch(int px, int pz) const { return pz + px * (t->gridWidth - 1); }

    Engine engine;
    TerrainManager* t = nullptr;
};

float GroundZ(float height) {
    return 10.0f + (40.0f - height) / std::sin(PITCH_55) * std::cos(PITCH_55);
}

} // namespace

TEST_F(TerrainPicking, CentreOfTheScreenPicksTheGroundAlongTheLookAxis) {
    LoadFlat();
    int patch = 0;
    EXPECT_TRUE(t->GetTerrainPatch(400, 300, &patch));
    EXPECT_EQ(patch, Patch(7, 8));
    float x = 0.0f;
    float z = 0.0f;
    EXPECT_TRUE(t->PickTerrainPosition(400, 300, &x, &z));
    EXPECT_NEAR(x, 30.0f, 1e-3f);
    EXPECT_NEAR(z, GroundZ(6.0f), 1e-3f);
    // Right of the centre lies at larger x, below it nearer the camera.
    EXPECT_TRUE(t->PickTerrainPosition(700, 300, &x, &z));
    EXPECT_GT(x, 40.0f);
    EXPECT_TRUE(t->PickTerrainPosition(400, 590, &x, &z));
    EXPECT_LT(z, GroundZ(6.0f) - 5.0f);
}

TEST_F(TerrainPicking, NothingHitLeavesTheOutputsAndReportsMinusOne) {
    LoadFlat();
    engine.PlaceCamera(30.0f, 40.0f, 10.0f, -0.3f);
    int patch = 5;
    EXPECT_TRUE(t->GetTerrainPatch(400, 300, &patch));
    EXPECT_EQ(patch, -1);
    float x = 1.5f;
    float z = 2.5f;
    EXPECT_TRUE(t->PickTerrainPosition(400, 300, &x, &z));
    EXPECT_FLOAT_EQ(x, 1.5f);
    EXPECT_FLOAT_EQ(z, 2.5f);
}

TEST_F(TerrainPicking, PickingBeforeTheTerrainExistsFindsNothing) {
    int patch = 5;
    EXPECT_TRUE(t->GetTerrainPatch(400, 300, &patch));
    EXPECT_EQ(patch, -1);
    float x = 1.5f;
    float z = 2.5f;
    EXPECT_TRUE(t->PickTerrainPosition(400, 300, &x, &z));
    EXPECT_FLOAT_EQ(x, 1.5f);
    EXPECT_FLOAT_EQ(z, 2.5f);
    EXPECT_FLOAT_EQ(t->GetHeightFromTerrainVertex(10.3f, 20.7f), 0.0f);
    EXPECT_EQ(t->iGetHeighmapValue(2, 3), 0);
}

TEST_F(TerrainPicking, RaisedPatchIsPickedAboveItsCreationBox) {
    LoadFlat();
    // The centre ray meets height 12 at z = 29.6, inside patch (7, 7), and height 6 only beyond it.
    ASSERT_TRUE(t->PatchIncrease(0, Patch(7, 7), 6.0f));
    int patch = 0;
    t->GetTerrainPatch(400, 300, &patch);
    EXPECT_EQ(patch, Patch(7, 7));
    float x = 0.0f;
    float z = 0.0f;
    t->PickTerrainPosition(400, 300, &x, &z);
    EXPECT_NEAR(z, GroundZ(12.0f), 1e-3f);
}

TEST_F(TerrainPicking, NearerOfTwoHitPatchesWinsOverScanOrder) {
    LoadFlat();
    // Looking toward -z from (30, 20, 50): the centre ray meets height 12 at z = 44.4 (patch row 11)
    // and the ground at z = 40.2 (row 10). Row 10 is scanned first, but the raised patch is nearer.
    ASSERT_TRUE(t->PatchIncrease(0, Patch(7, 11), 6.0f));
    KameraKlass::GetExemplar()->yaw = 3.14159265f;
    engine.PlaceCamera(30.0f, 20.0f, 50.0f, PITCH_55);
    int patch = 0;
    t->GetTerrainPatch(400, 300, &patch);
    EXPECT_EQ(patch, Patch(7, 11));
    // With that patch sunk to height 1 the ground in front of it is found.
    ASSERT_TRUE(t->PatchIncrease(0, Patch(7, 11), 1.0f));
    t->GetTerrainPatch(400, 300, &patch);
    EXPECT_EQ(patch, Patch(7, 10));
}

TEST_F(TerrainPicking, FirstHitTriangleInIndexOrderAnswersForItsPatch) {
    LoadFlat();
    // Two ridges across patch 0 at rows b = 1 and b = 3; a level ray from far +z at height 8 crosses the
    // b = 3 ridge first, but the cells are tested from b = 0 upward.
    TerrainVertex* v = t->patchCopies[0].vertices;
    for (int a = 0; a <= 4; ++a) {
        v[a * 5 + 1].y = 10.0f;
        v[a * 5 + 3].y = 10.0f;
    }
    float dist = 0.0f;
    float x = 0.0f;
    float z = 0.0f;
    ASSERT_TRUE(TerrainTestAccess::CheckHit(t, 0, D3DXVECTOR3(2.3f, 8.0f, 50.0f),
                                            D3DXVECTOR3(0.0f, 0.0f, -1.0f), &dist, &x, &z));
    EXPECT_NEAR(z, 0.5f, 1e-4f);
    EXPECT_NEAR(dist, 49.5f, 1e-3f);
    EXPECT_NEAR(x, 2.3f, 1e-4f);
    EXPECT_FALSE(TerrainTestAccess::CheckHit(t, 0, D3DXVECTOR3(2.3f, 20.0f, 50.0f),
                                             D3DXVECTOR3(0.0f, 0.0f, -1.0f), &dist, &x, &z));
}

TEST_F(TerrainPicking, HeightQueriesOnFlatAndSlopedMaps) {
    LoadFlat();
    EXPECT_FLOAT_EQ(TerrainTestAccess::HeightMapPos(t, 10, 20), 6.0f);
    EXPECT_FLOAT_EQ(t->GetHeightFromTerrainVertex(10.3f, 20.7f), 6.0f);
    EXPECT_FLOAT_EQ(t->GetHeightFromTerrainVertex(0.5f, 5.0f), 0.0f);
    EXPECT_FLOAT_EQ(t->GetHeightFromTerrainVertex(64.2f, 5.0f), 0.0f);
    EXPECT_FLOAT_EQ(t->GetHeightFromTerrainVertex(-3.0f, 5.0f), 0.0f);
    // The offset counts half and without the mesh's lower limit.
    t->floatOwnHeightMap[4 + 4 * 64] = -8.0f;
    EXPECT_FLOAT_EQ(TerrainTestAccess::HeightMapPos(t, 4, 4), 2.0f);

    // Height rising by 0.1 per sample along x: the plane through (10, 20), (9, 20) and (10, 19).
    auto image = MakeMapImage(
        64, 64, [](int sx, int) { return uint8_t(sx * 4); }, [](int, int) { return 255; });
    ASSERT_TRUE(LoadImage(t, image));
    EXPECT_NEAR(t->GetHeightFromTerrainVertex(10.3f, 20.7f), 6.98f, 1e-4f);
    EXPECT_NEAR(t->GetHeightFromTerrainVertex(30.0f, 3.0f), 6.0f + 3.0f - 0.05f, 1e-4f);
}

TEST_F(TerrainPicking, HeightMapValueIsTheByteDividedByTwenty) {
    auto image = MakeMapImage(
        16, 16, [](int sx, int sz) { return uint8_t(sx == 5 && sz == 2 ? 255 : sx + sz * 16); },
        [](int, int) { return 255; });
    ASSERT_TRUE(LoadImage(t, image));
    EXPECT_EQ(t->iGetHeighmapValue(2, 5), 12); // row 2, column 5: 255
    EXPECT_EQ(t->iGetHeighmapValue(1, 3), 0);  // 19
    EXPECT_EQ(t->iGetHeighmapValue(1, 4), 1);  // 20
    EXPECT_EQ(t->iGetHeighmapValue(3, 12), 3); // 60
    EXPECT_EQ(t->iGetHeighmapValue(-1, 0), 0);
    EXPECT_EQ(t->iGetHeighmapValue(0, 16), 0);
    EXPECT_EQ(t->iGetHeighmapValue(16, 0), 0);
    EXPECT_FLOAT_EQ(TerrainTestAccess::LightOnHeightMap(t), 1.0f);
    EXPECT_FLOAT_EQ(TerrainTestAccess::LightValue(t, 3, 4), 0.0f);
}
