// Tiles and drawing: the tile of one patch, the neighbour masks, the draws per patch with their
// transition layers, the states drawing sets, and a picture of the run folder's terrain drawn on the
// software device, probed and written as a PNG beside the build for a look.
#include "terrain_test_support.h"

#include "core/gfx_main.h"
#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "d3d9/d3d9_testing.h"
#include "terrain/terrain_textur_set.h"

#include <algorithm>
#include <array>

using namespace terrain_test;
namespace d3d = platform::d3d9;

namespace {

// A flat 32 x 32 terrain (7 x 7 patches), the camera over patch 0: drawn are columns 0 to 6 and rows
// 1 to 6. The textures are the run folder's, loaded by a CreateTerrain before.
class TerrainTiles : public TerrainFixture {
protected:
    void LoadFlat(unsigned char tile) {
        ASSERT_TRUE(engine.LoadFlat(32, 0, tile));
        KameraKlass::GetExemplar()->position = D3DXVECTOR3(1.0f, 40.0f, 1.0f);
    }
    void SetType(int px, int pz, int type) { t->tileFeld[engine.Patch(px, pz)] = uint8_t(type << 4); }
};

} // namespace

TEST_F(TerrainTiles, TilesAreSetInsideTheGridOnlyAndSetTileLooksThirtyUnitsAhead) {
    LoadFlat(0);
    EXPECT_FALSE(t->SetATCursorPos(2, 49));
    EXPECT_FALSE(t->SetATCursorPos(2, -1));
    ASSERT_TRUE(t->SetATCursorPos(0x13, 5)); // only the low four bits of the type count
    EXPECT_EQ(t->tileFeld[5] >> 4, 3);
    KameraKlass* camera = KameraKlass::GetExemplar();
    camera->position = D3DXVECTOR3(9.0f, 40.0f, -10.0f);
    EXPECT_TRUE(t->SetTile(4));
    EXPECT_EQ(t->tileFeld[engine.Patch(2, 5)] >> 4, 4);
    EXPECT_FLOAT_EQ(camera->position.z, -10.0f);

    // Ahead of the camera lies no patch: nothing changes, not even in the next column.
    const std::vector<unsigned char> before(t->tileFeld, t->tileFeld + 64);
    camera->position = D3DXVECTOR3(9.0f, 40.0f, 0.5f);
    EXPECT_TRUE(t->SetTile(4));
    EXPECT_EQ(std::vector<unsigned char>(t->tileFeld, t->tileFeld + 64), before);
}

TEST_F(TerrainTiles, NeighbourMasksTellEachDirectionApartAndCountInsideTheGridOnly) {
    // Edge bits: 1 = x-1, 2 = z-1, 4 = x+1, 8 = z+1. Corner bits: 1 = (x-1, z-1), 2 = (x+1, z-1),
    // 4 = (x+1, z+1), 8 = (x-1, z+1). Around patch (3, 3) each neighbour has a type of its own.
    LoadFlat(0);
    const struct {
        int dx, dz, type;
        bool edges;
        int mask;
    } around[] = {{-1, 0, 1, true, 1},   {0, -1, 2, true, 2},  {1, 0, 3, true, 4},  {0, 1, 4, true, 8},
                  {-1, -1, 5, false, 1}, {1, -1, 6, false, 2}, {1, 1, 7, false, 4}, {-1, 1, 8, false, 8}};
    for (const auto& n : around) {
        SetType(3 + n.dx, 3 + n.dz, n.type);
    }
    for (const auto& n : around) {
        EXPECT_EQ(TerrainTestAccess::Surround(t, n.type, engine.Patch(3, 3), n.edges), n.mask) << n.type;
        EXPECT_EQ(TerrainTestAccess::Surround(t, n.type, engine.Patch(3, 3), !n.edges), 0) << n.type;
    }

    // Beyond a border nothing counts, not the far end of another column.
    LoadFlat(0x30);
    const struct {
        int px, pz;
        bool edges;
        int mask;
    } cases[] = {{3, 0, true, 1 | 4 | 8}, {6, 3, true, 1 | 2 | 8}, {3, 6, true, 1 | 2 | 4},
                 {0, 3, true, 2 | 4 | 8}, {0, 0, false, 4},        {6, 0, false, 8},
                 {6, 6, false, 1},        {0, 6, false, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(TerrainTestAccess::Surround(t, 3, engine.Patch(c.px, c.pz), c.edges), c.mask)
            << c.px << ", " << c.pz << (c.edges ? " edges" : " corners");
    }
}

TEST_F(TerrainTiles, LowerPatchIsDrawnAgainWithEdgeAndCornerOfTheHigherTypeOnly) {
    ASSERT_TRUE(t->CreateTerrain());
    LoadFlat(0x50); // type 5 has no set and is not drawn
    // Gravel patch (3, 3) with grass at x+1, at z-1 and at the corner (x-1, z+1): its base, then
    // edge 6 and corner 8 of set 3; the three grass patches once each.
    SetType(3, 3, 0);
    SetType(4, 3, 3);
    SetType(3, 2, 3);
    SetType(2, 4, 3);
    EXPECT_EQ(engine.CountDraws(), 6);
    TexturManager* cache = TexturManager::GetExemplar();
    const auto textures = d3d::CallTraceLines("SetTexture");
    auto drawnWith = [&](int id) {
        const auto call =
            d3d::FormatCall("SetTexture", {0, uint64_t(reinterpret_cast<uintptr_t>(cache->GetTextur(id)))});
        return std::find(textures.begin(), textures.end(), call) != textures.end();
    };
    EXPECT_TRUE(drawnWith(t->texturSets[3]->GetEdge(6)));
    EXPECT_TRUE(drawnWith(t->texturSets[3]->GetCorner(8)));
    EXPECT_FALSE(drawnWith(t->texturSets[1]->GetEdge(6)));

    // Patch (3, 3) of type 3 once; patch (2, 3) of type 1 once plus the type-3 edge at its x+1 side.
    LoadFlat(0x50);
    SetType(3, 3, 3);
    SetType(2, 3, 1);
    EXPECT_EQ(engine.CountDraws(), 3);
}

TEST_F(TerrainTiles, WindowAroundTheCameraIsDrawnSkippingAPatchWhoseRebuildFailed) {
    ASSERT_TRUE(t->CreateTerrain());
    LoadFlat(0x10);
    EXPECT_EQ(engine.CountDraws(), 7 * 6);
    d3d::InjectFault(d3d::Fault::CreateVertexBuffer, 0, 1);
    EXPECT_TRUE(t->PatchIncrease(1, engine.Patch(2, 3), 6.0f));
    d3d::ClearFaults();
    EXPECT_EQ(t->patchVertexBuffers[engine.Patch(2, 3)], -1);
    EXPECT_EQ(engine.CountDraws(), 7 * 6 - 1);
}

TEST_F(TerrainTiles, TransitionLayersBlendEvenWhenBlendingWasLeftOff) {
    ASSERT_TRUE(t->CreateTerrain());
    engine.device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    engine.device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    EXPECT_TRUE(t->RenderTerrain());
    engine.device->EndScene();
    const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {
        {D3DRS_ALPHABLENDENABLE, TRUE}, {D3DRS_ZFUNC, D3DCMP_LESSEQUAL}, {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}};
    for (const auto& [state, expected] : states) {
        DWORD value = 0;
        engine.device->GetRenderState(state, &value);
        EXPECT_EQ(value, expected) << state;
    }
}

TEST_F(TerrainTiles, EachTypeLoadsItsNamedTilesEdgesAndCornersFromTheTerrainFolder) {
    ASSERT_TRUE(t->CreateTerrain());
    TexturManager* cache = TexturManager::GetExemplar();
    // The texture's name in the cache (cut to 30 characters there) and its filter flag.
    const auto loaded = [&](int id) {
        return id < 0 ? std::pair(std::string("none"), -1)
                      : std::pair(std::string(cache->entries[id].name), int(cache->entries[id].filterFlag));
    };
    const auto expected = [](const std::string& name, int flag) {
        return std::pair(name.substr(0, 30), flag);
    };
    const struct {
        int type;
        const char* tiles;
        const char* transitions;
    } sets[] = {{0, "schotter", nullptr}, {1, "Fels", "Fels"},      {2, "StoneBoden", "stone"},
                {3, "Grass", "Grass"},    {4, "sandboden", "sand"}, {7, "water", nullptr}};
    for (const auto& set : sets) {
        TerrainTexturSet* textures = t->texturSets[set.type];
        ASSERT_NE(textures, nullptr) << set.type;
        for (int n = 0; n < 8; ++n) {
            EXPECT_EQ(loaded(textures->GetTile(n)),
                      expected("Grafik\\Terrain\\" + std::string(set.tiles) + std::to_string(n) + ".bmp", 0));
        }
        EXPECT_EQ(textures->GetTile(8), -1) << "only eight tiles are loaded";
        EXPECT_EQ(textures->GetTile(13), textures->GetTile(0));
        for (int n = 1; n < 16 && set.transitions != nullptr; ++n) {
            const std::string suffix = std::string(set.transitions) + std::to_string(n) + ".dds";
            EXPECT_EQ(loaded(textures->GetEdge(n)), expected("Grafik\\Terrain\\Edge" + suffix, 0));
            EXPECT_EQ(loaded(textures->GetCorner(n)), expected("Grafik\\Terrain\\Corner" + suffix, 1));
        }
        EXPECT_EQ(textures->GetEdge(16), textures->GetEdge(0));
    }
    EXPECT_EQ(t->texturSets[5], nullptr);
    EXPECT_EQ(t->texturSets[6], nullptr);
}

TEST_F(TerrainTiles, PictureShowsTheTileOfEachPaintedType) {
    ASSERT_TRUE(t->CreateTerrain());
    engine.ApplyView();
    // Gives the patch under a screen point and its eight neighbours the type.
    auto paint = [&](int screenX, int screenY, int type) {
        int patch = -1;
        t->GetTerrainPatch(screenX, screenY, &patch);
        ASSERT_NE(patch, -1) << screenX << ", " << screenY;
        for (int i = 0; i < 9; ++i) {
            t->SetATCursorPos(type, engine.Patch(patch / 31 + i % 3 - 1, patch % 31 + i / 3 - 1));
        }
    };
    paint(400, 300, 3); // grass in the middle
    paint(400, 540, 4); // sand near the bottom
    paint(150, 120, 1); // rock to the upper left
    ASSERT_TRUE(engine.root->UpdateEngine());
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    EXPECT_TRUE(t->RenderAll());
    ASSERT_EQ(engine.device->EndScene(), D3D_OK);
    d3d::WriteBackBufferPng(engine.device, ZONKEL_BINARY_DIR "/terrain_picture.png");
    auto probe = [&](int x, int y) {
        const D3DCOLOR c = d3d::ReadBackBufferPixel(engine.device, x, y);
        return std::array<int, 3>{int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)};
    };
    const auto grass = probe(400, 300);
    EXPECT_GT(grass[1], std::max(grass[0], grass[2]) + 15) << testing::PrintToString(grass);
    const auto sand = probe(400, 540);
    EXPECT_GT(std::min(sand[0], sand[1]) * 10, sand[2] * 12) << testing::PrintToString(sand);
    EXPECT_GT(sand[0] * 10, sand[2] * 14) << testing::PrintToString(sand);
    const auto rock = probe(150, 120);
    EXPECT_GT(rock[0], 20) << testing::PrintToString(rock);
    EXPECT_LT(std::max(std::abs(rock[0] - rock[1]), std::abs(rock[1] - rock[2])), 20)
        << testing::PrintToString(rock);
}
