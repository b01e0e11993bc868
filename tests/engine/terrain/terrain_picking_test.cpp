// Picking through the engine's picking ray at known screen points, the height queries, and the engine
// root's SetTile and TestFkt at a screen point, with and without terrain under it.
#include "terrain_test_support.h"

#include "core/gfx_main.h"
#include "core/kamera_klass.h"

#include <algorithm>
#include <cmath>

using namespace terrain_test;

namespace {

// A flat 64 x 64 terrain (15 x 15 patches) at height 6.0, seen from (30, 40, 10) at 55 degrees down.
class TerrainPicking : public TerrainFixture {
protected:
    void LoadFlat() {
        ASSERT_TRUE(engine.LoadFlat(64));
        engine.PlaceCamera(30.0f, 40.0f, 10.0f, PITCH_55);
    }
    // Both picks at a screen point: the patch, and the position (left as it was when nothing is hit).
    int PickedPatch(int x, int y) {
        int patch = 5;
        EXPECT_TRUE(t->GetTerrainPatch(x, y, &patch));
        return patch;
    }
    std::pair<float, float> PickedPosition(int x, int y) {
        std::pair<float, float> at{1.5f, 2.5f};
        EXPECT_TRUE(t->PickTerrainPosition(x, y, &at.first, &at.second));
        return at;
    }
};

// Where the centre ray, along (0, -sin 55, cos 55), meets the given height.
float GroundZ(float height) {
    return 10.0f + (40.0f - height) / std::sin(PITCH_55) * std::cos(PITCH_55);
}

const std::pair<float, float> NOTHING_HIT{1.5f, 2.5f};

} // namespace

TEST_F(TerrainPicking, CentreOfTheScreenPicksTheGroundAlongTheLookAxis) {
    LoadFlat();
    EXPECT_EQ(PickedPatch(400, 300), engine.Patch(7, 8));
    const auto centre = PickedPosition(400, 300);
    EXPECT_NEAR(centre.first, 30.0f, 1e-3f);
    EXPECT_NEAR(centre.second, GroundZ(6.0f), 1e-3f);
    // Right of the centre lies at larger x, below it nearer the camera.
    EXPECT_GT(PickedPosition(700, 300).first, 40.0f);
    EXPECT_LT(PickedPosition(400, 590).second, GroundZ(6.0f) - 5.0f);
}

TEST_F(TerrainPicking, RaisedPatchIsPickedAboveItsCreationBoxAndTheNearerHitWins) {
    LoadFlat();
    // The centre ray meets height 12 at z = 29.6, inside patch (7, 7), and height 6 only beyond it.
    ASSERT_TRUE(t->PatchIncrease(0, engine.Patch(7, 7), 6.0f));
    EXPECT_EQ(PickedPatch(400, 300), engine.Patch(7, 7));
    EXPECT_NEAR(PickedPosition(400, 300).second, GroundZ(12.0f), 1e-3f);

    // Looking toward -z from (30, 20, 50): the centre ray meets height 12 at z = 44.4 (patch row 11)
    // and the ground at z = 40.2 (row 10). Row 10 is scanned first, but the raised patch is nearer.
    ASSERT_TRUE(t->PatchIncrease(0, engine.Patch(7, 11), 6.0f));
    KameraKlass::GetExemplar()->yaw = 3.14159265f;
    engine.PlaceCamera(30.0f, 20.0f, 50.0f, PITCH_55);
    EXPECT_EQ(PickedPatch(400, 300), engine.Patch(7, 11));
    ASSERT_TRUE(t->PatchIncrease(0, engine.Patch(7, 11), 1.0f));
    EXPECT_EQ(PickedPatch(400, 300), engine.Patch(7, 10));
}

TEST_F(TerrainPicking, OfTwoHitsAtTheSameDistanceTheFirstScannedIsKept) {
    LoadFlat();
    // The scan runs around the camera's patch (7, 7), through rows (z) outside and columns (x) inside,
    // each upwards. A ray straight down from height 40 meets the ground at distance 34 exactly; on the
    // border of two patches it hits both there.
    engine.PlaceCamera(30.0f, 40.0f, 30.0f, PITCH_55);
    const struct {
        float x, z;
        int px, pz; // the patch scanned first
    } rows[] = {{36.0f, 26.5f, 8, 6}, {22.5f, 32.0f, 5, 7}};
    for (const auto& row : rows) {
        D3DXVECTOR3 eye(row.x, 40.0f, row.z), at(row.x, 0.0f, row.z), up(0.0f, 0.0f, 1.0f);
        D3DXMATRIX view;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        engine.device->SetTransform(D3DTS_VIEW, &view);
        EXPECT_EQ(PickedPatch(400, 300), engine.Patch(row.px, row.pz)) << row.x << ", " << row.z;
    }
}

TEST_F(TerrainPicking, PickingAndQueriesBeforeTheTerrainExistsFindNothing) {
    EXPECT_EQ(PickedPatch(400, 300), -1);
    EXPECT_EQ(PickedPosition(400, 300), NOTHING_HIT);
    EXPECT_FLOAT_EQ(t->GetHeightFromTerrainVertex(10.3f, 20.7f), 0.0f);
    EXPECT_EQ(t->iGetHeighmapValue(2, 3), 0);
    std::vector<unsigned char> buffer(1000);
    unsigned char* data = buffer.data();
    unsigned long size = 5;
    EXPECT_FALSE(t->GetSaveMap(&data, &size));
    EXPECT_EQ(size, 5u);
    EXPECT_TRUE(engine.root->SetTile(4, 400, 300));
    EXPECT_TRUE(engine.root->TestFkt(400, 300));
    EXPECT_EQ(t->tileFeld, nullptr);
}

TEST_F(TerrainPicking, RootSetTileAndTestFktChangeThePatchUnderThePointAndNothingOverTheSky) {
    LoadFlat();
    engine.PlaceCamera(30.0f, 40.0f, 10.0f, -0.4f);
    EXPECT_EQ(PickedPatch(400, 300), -1);
    EXPECT_EQ(PickedPosition(400, 300), NOTHING_HIT);
    const std::vector<unsigned char> tiles(t->tileFeld, t->tileFeld + 256);
    EXPECT_TRUE(engine.root->SetTile(4, 400, 300));
    EXPECT_TRUE(engine.root->TestFkt(400, 300));
    EXPECT_EQ(std::vector<unsigned char>(t->tileFeld, t->tileFeld + 256), tiles);
    EXPECT_EQ(std::count(t->ebeneFeld, t->ebeneFeld + 225, 0), 225);

    engine.PlaceCamera(30.0f, 40.0f, 10.0f, PITCH_55);
    const int centre = engine.Patch(7, 8);
    EXPECT_TRUE(engine.root->SetTile(4, 400, 300));
    EXPECT_EQ(t->tileFeld[centre] >> 4, 4);
    EXPECT_EQ(t->tileFeld[centre + 1], 0);
    EXPECT_TRUE(engine.root->TestFkt(400, 300));
    EXPECT_EQ(t->ebeneFeld[centre], 2);
    EXPECT_FLOAT_EQ(engine.VertexY(7, 8, 2, 2), 12.0f);
}

TEST_F(TerrainPicking, HeightQueriesOnFlatAndSlopedMaps) {
    LoadFlat();
    EXPECT_FLOAT_EQ(t->GetHeightFromTerrainVertex(10.3f, 20.7f), 6.0f);
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
    // Sample column and row 1 are the first with a neighbour before them, column 63 the last of the map.
    const struct {
        float x, z, height;
    } edges[] = {{30.0f, 1.0f, 8.95f}, {30.0f, 0.9f, 0.0f},   {1.2f, 10.0f, 6.07f},
                 {0.9f, 10.0f, 0.0f},  {63.5f, 63.2f, 12.3f}, {64.0f, 10.0f, 0.0f}};
    for (const auto& e : edges) {
        EXPECT_NEAR(t->GetHeightFromTerrainVertex(e.x, e.z), e.height, 1e-4f) << e.x << ", " << e.z;
    }
    // The height map value is the byte at row a, column b divided by twenty.
    EXPECT_EQ(t->iGetHeighmapValue(1, 4), 0); // 16
    EXPECT_EQ(t->iGetHeighmapValue(0, 5), 1); // 20
    EXPECT_EQ(t->iGetHeighmapValue(0, 64), 0);
}
