// Tiles and drawing: the tile of one patch, the neighbour masks, the draws per patch with their
// transition layers, the states drawing sets, and the water animation.
#include "terrain_test_support.h"

#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "d3d9/d3d9_testing.h"
#include "terrain/terrain_textur_set.h"
#include "win32/mmsystem.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace terrain_test;
namespace d3d = platform::d3d9;

namespace {

class TerrainTiles : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.Setup()); }

    // A flat 32 x 32 terrain: 7 x 7 patches, every tile byte `tile`.
    void LoadFlat(unsigned char tile) {
        auto image = MakeMapImage(
            32, 32, [](int, int) { return 0; }, [](int, int) { return 255; }, tile);
        ASSERT_TRUE(LoadImage(engine.terrain, image));
    }
    int Patch(int px, int pz) const { return pz + px * (engine.terrain->gridWidth - 1); }
    void SetType(int px, int pz, int type) { engine.terrain->tileFeld[Patch(px, pz)] = uint8_t(type << 4); }

    Engine engine;
};

int CountCalls(const std::string& method) {
    return int(d3d::CallTraceLines(method).size());
}

} // namespace

TEST_F(TerrainTiles, SetATCursorPosSetsTypeAndRandomVariantInsideTheGridOnly) {
    LoadFlat(0);
    TerrainManager* t = engine.terrain;
    EXPECT_FALSE(t->SetATCursorPos(2, 49));
    EXPECT_FALSE(t->SetATCursorPos(2, -1));
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(t->SetATCursorPos(2, 0));
        EXPECT_GE(t->tileFeld[0], 0x20);
        EXPECT_LE(t->tileFeld[0], 0x27);
    }
    // Only the low four bits of the type are kept.
    ASSERT_TRUE(t->SetATCursorPos(0x13, 5));
    EXPECT_EQ(t->tileFeld[5] >> 4, 3);
}

TEST_F(TerrainTiles, SetTileChangesThePatchThirtyUnitsAheadOfTheCamera) {
    LoadFlat(0);
    TerrainManager* t = engine.terrain;
    KameraKlass* camera = KameraKlass::GetExemplar();
    camera->position = D3DXVECTOR3(9.0f, 40.0f, -10.0f);
    EXPECT_TRUE(t->SetTile(4));
    EXPECT_EQ(t->tileFeld[Patch(2, 5)] >> 4, 4);
    EXPECT_FLOAT_EQ(camera->position.z, -10.0f);

    // Ahead of the camera lies no patch: nothing changes, not even in the next column.
    std::vector<unsigned char> before(t->tileFeld, t->tileFeld + 64);
    camera->position = D3DXVECTOR3(9.0f, 40.0f, 0.5f);
    EXPECT_TRUE(t->SetTile(4));
    EXPECT_EQ(std::vector<unsigned char>(t->tileFeld, t->tileFeld + 64), before);
}

TEST_F(TerrainTiles, NeighbourMasksCountTheAskedTypeInsideTheGrid) {
    LoadFlat(0);
    TerrainManager* t = engine.terrain;
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dz = -1; dz <= 1; ++dz) {
            if (dx != 0 || dz != 0) {
                SetType(3 + dx, 3 + dz, 3);
            }
        }
    }
    EXPECT_EQ(TerrainTestAccess::Surround(t, 3, Patch(3, 3), true), 15);
    EXPECT_EQ(TerrainTestAccess::Surround(t, 3, Patch(3, 3), false), 15);
    EXPECT_EQ(TerrainTestAccess::Surround(t, 1, Patch(3, 3), true), 0);
    // Single bits: edge 1 = x-1, 2 = z-1, 4 = x+1, 8 = z+1; corner 1 = (x-1, z-1), 2 = (x+1, z-1),
    // 4 = (x+1, z+1), 8 = (x-1, z+1).
    LoadFlat(0);
    SetType(2, 3, 2);
    SetType(3, 2, 4);
    SetType(4, 4, 2);
    SetType(2, 4, 4);
    EXPECT_EQ(TerrainTestAccess::Surround(t, 2, Patch(3, 3), true), 1);
    EXPECT_EQ(TerrainTestAccess::Surround(t, 4, Patch(3, 3), true), 2);
    EXPECT_EQ(TerrainTestAccess::Surround(t, 2, Patch(3, 3), false), 4);
    EXPECT_EQ(TerrainTestAccess::Surround(t, 4, Patch(3, 3), false), 8);
}

TEST_F(TerrainTiles, NeighbourMasksNeverLookPastTheGridsBorders) {
    LoadFlat(0x30);
    TerrainManager* t = engine.terrain;
    // At z = 0 nothing lies at z-1; at the last column nothing at x+1.
    EXPECT_EQ(TerrainTestAccess::Surround(t, 3, Patch(3, 0), true), 1 | 4 | 8);
    EXPECT_EQ(TerrainTestAccess::Surround(t, 3, Patch(6, 3), true), 1 | 2 | 8);
    EXPECT_EQ(TerrainTestAccess::Surround(t, 3, Patch(0, 0), false), 4);
    EXPECT_EQ(TerrainTestAccess::Surround(t, 3, Patch(6, 6), false), 1);
}

TEST_F(TerrainTiles, LowerPatchIsDrawnAgainWithEdgeAndCornerOfTheHigherType) {
    ASSERT_TRUE(engine.terrain->CreateTerrain());
    LoadFlat(0x50); // type 5: not drawn
    SetType(3, 3, 0);
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dz = -1; dz <= 1; ++dz) {
            if (dx != 0 || dz != 0) {
                SetType(3 + dx, 3 + dz, 3);
            }
        }
    }
    // Patch (3, 3): base, edge 15 and corner 15 of set 3; its eight type-3 neighbours once each.
    KameraKlass::GetExemplar()->position = D3DXVECTOR3(1.0f, 40.0f, 1.0f);
    TerrainManager* t = engine.terrain;
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    d3d::EnableCallTrace(true);
    EXPECT_TRUE(t->RenderAll());
    d3d::EnableCallTrace(false);
    engine.device->EndScene();
    EXPECT_EQ(CountCalls("DrawIndexedPrimitive"), 11);
    TexturManager* cache = TexturManager::GetExemplar();
    const auto textures = d3d::CallTraceLines("SetTexture");
    auto textureCall = [&](int id) {
        return d3d::FormatCall("SetTexture",
                               {0, uint64_t(reinterpret_cast<uintptr_t>(cache->GetTextur(id)))});
    };
    EXPECT_NE(std::find(textures.begin(), textures.end(), textureCall(t->texturSets[3]->GetEdge(15))),
              textures.end());
    EXPECT_NE(std::find(textures.begin(), textures.end(), textureCall(t->texturSets[3]->GetCorner(15))),
              textures.end());
    EXPECT_EQ(std::find(textures.begin(), textures.end(), textureCall(t->texturSets[1]->GetEdge(15))),
              textures.end());

    // A higher type next to a lower one gets no layer of the lower type.
    LoadFlat(0x50);
    SetType(3, 3, 3);
    SetType(2, 3, 1);
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    d3d::ClearCallTrace();
    d3d::EnableCallTrace(true);
    t->RenderAll();
    d3d::EnableCallTrace(false);
    engine.device->EndScene();
    // Patch (3, 3) once; patch (2, 3) of type 1 once plus the edge of type 3 at its x+1 side.
    EXPECT_EQ(CountCalls("DrawIndexedPrimitive"), 3);
}

TEST_F(TerrainTiles, WindowAroundTheCameraSkipsTheRowUnderItAndColumnsOutsideTheGrid) {
    ASSERT_TRUE(engine.terrain->CreateTerrain());
    LoadFlat(0x10);
    // Camera over patch 0: columns 0 to 6, rows 1 to 6 of the 7 x 7 grid.
    KameraKlass::GetExemplar()->position = D3DXVECTOR3(1.0f, 40.0f, 1.0f);
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    d3d::EnableCallTrace(true);
    engine.terrain->RenderAll();
    d3d::EnableCallTrace(false);
    engine.device->EndScene();
    EXPECT_EQ(CountCalls("DrawIndexedPrimitive"), 7 * 6);
}

TEST_F(TerrainTiles, TransitionLayersBlendEvenWhenBlendingWasLeftOff) {
    ASSERT_TRUE(engine.terrain->CreateTerrain());
    engine.device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    engine.device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    EXPECT_TRUE(engine.terrain->RenderTerrain());
    engine.device->EndScene();
    DWORD value = 0;
    engine.device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, DWORD(TRUE));
    engine.device->GetRenderState(D3DRS_ZFUNC, &value);
    EXPECT_EQ(value, DWORD(D3DCMP_LESSEQUAL));
    engine.device->GetRenderState(D3DRS_SRCBLEND, &value);
    EXPECT_EQ(value, DWORD(D3DBLEND_SRCALPHA));
}

TEST_F(TerrainTiles, FailedDrawEndsTheTerrainWithFalse) {
    ASSERT_TRUE(engine.terrain->CreateTerrain());
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    d3d::InjectFault(d3d::Fault::DrawIndexedPrimitive, 2, 1);
    d3d::EnableCallTrace(true);
    EXPECT_FALSE(engine.terrain->RenderTerrain());
    d3d::EnableCallTrace(false);
    d3d::ClearFaults();
    engine.device->EndScene();
    EXPECT_EQ(CountCalls("DrawIndexedPrimitive"), 3);
}

TEST_F(TerrainTiles, PatchWhoseRebuildFailedIsSkippedNotTheRest) {
    ASSERT_TRUE(engine.terrain->CreateTerrain());
    LoadFlat(0x10);
    d3d::InjectFault(d3d::Fault::CreateVertexBuffer, 0, 1);
    EXPECT_TRUE(engine.terrain->PatchIncrease(1, Patch(2, 3), 6.0f));
    d3d::ClearFaults();
    EXPECT_EQ(engine.terrain->patchVertexBuffers[Patch(2, 3)], -1);
    KameraKlass::GetExemplar()->position = D3DXVECTOR3(1.0f, 40.0f, 1.0f);
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    d3d::EnableCallTrace(true);
    EXPECT_TRUE(engine.terrain->RenderAll());
    d3d::EnableCallTrace(false);
    engine.device->EndScene();
    EXPECT_EQ(CountCalls("DrawIndexedPrimitive"), 7 * 6 - 1);
}

TEST_F(TerrainTiles, WaterFramesStepEvery25Milliseconds) {
    platform::SetClockForTesting(10000);
    ASSERT_TRUE(engine.terrain->InitTerrainSystem());
    ASSERT_TRUE(engine.terrain->CreateTerrain());
    TerrainManager* t = engine.terrain;
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    std::vector<int> frames;
    EXPECT_TRUE(TerrainTestAccess::RenderWater(t));
    frames.push_back(t->waterFrame);
    for (int step = 0; step < 9; ++step) {
        platform::AdvanceClockForTesting(30);
        d3d::ClearCallTrace();
        d3d::EnableCallTrace(true);
        EXPECT_TRUE(TerrainTestAccess::RenderWater(t));
        d3d::EnableCallTrace(false);
        frames.push_back(t->waterFrame);
    }
    // 25 ms exactly is not enough.
    platform::AdvanceClockForTesting(25);
    TerrainTestAccess::RenderWater(t);
    frames.push_back(t->waterFrame);
    engine.device->EndScene();
    EXPECT_EQ(frames, (std::vector<int>{0, 2, 3, 4, 5, 6, 7, 1, 2, 3, 3}));
    EXPECT_EQ(CountCalls("DrawIndexedPrimitive"), 20 * 28);
}
