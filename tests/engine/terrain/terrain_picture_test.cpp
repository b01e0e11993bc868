// The run folder's terrain drawn on the software device from the engine's start camera: the types'
// tiles show where they were set, transitions blend at their borders, and the frame is written as a
// PNG beside the build for a look.
#include "terrain_test_support.h"

#include "core/gfx_main.h"
#include "d3d9/d3d9_testing.h"

#include <gtest/gtest.h>

#include <string>

using namespace terrain_test;
namespace d3d = platform::d3d9;

namespace {

struct Rgb {
    int r;
    int g;
    int b;
};

Rgb Probe(IDirect3DDevice9* device, int x, int y) {
    const D3DCOLOR c = d3d::ReadBackBufferPixel(device, x, y);
    return {int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)};
}

std::string Describe(const Rgb& c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

// Gives the patch under a screen point and its neighbours within `reach` the type.
void Paint(TerrainManager* t, int screenX, int screenY, int type, int reach) {
    int patch = -1;
    t->GetTerrainPatch(screenX, screenY, &patch);
    ASSERT_NE(patch, -1) << screenX << ", " << screenY;
    const int px = patch / (t->gridWidth - 1);
    const int pz = patch % (t->gridWidth - 1);
    for (int x = px - reach; x <= px + reach; ++x) {
        for (int z = pz - reach; z <= pz + reach; ++z) {
            t->SetATCursorPos(type, t->GetEbeneIndex(x, z));
        }
    }
}

} // namespace

TEST(TerrainPicture, TypesShowTheirTilesWithBlendedBorders) {
    Engine engine;
    ASSERT_TRUE(engine.Setup());
    TerrainManager* t = engine.terrain;
    ASSERT_TRUE(t->CreateTerrain());
    engine.ApplyView();
    Paint(t, 400, 300, 3, 1); // grass in the middle
    Paint(t, 400, 540, 4, 1); // sand near the bottom
    Paint(t, 150, 120, 1, 1); // rock to the upper left

    ASSERT_TRUE(engine.root->UpdateEngine());
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    EXPECT_TRUE(t->RenderAll());
    ASSERT_EQ(engine.device->EndScene(), D3D_OK);
    d3d::WriteBackBufferPng(engine.device, ZONKEL_BINARY_DIR "/terrain_picture.png");

    // Every probed point is terrain: no black left of the clear colour.
    const Rgb grass = Probe(engine.device, 400, 300);
    EXPECT_GT(grass.g, grass.r + 15) << Describe(grass);
    EXPECT_GT(grass.g, grass.b + 15) << Describe(grass);
    const Rgb sand = Probe(engine.device, 400, 540);
    EXPECT_GT(sand.r * 10, sand.b * 14) << Describe(sand);
    EXPECT_GT(sand.g * 10, sand.b * 12) << Describe(sand);
    const Rgb gravel = Probe(engine.device, 650, 420);
    EXPECT_GT(gravel.r, 30) << Describe(gravel);
    EXPECT_LT(std::abs(gravel.r - gravel.g), 30) << Describe(gravel);
    EXPECT_GE(gravel.r, gravel.b) << Describe(gravel);
    const Rgb rock = Probe(engine.device, 150, 120);
    EXPECT_LT(std::abs(rock.r - rock.g), 20) << Describe(rock);
    EXPECT_LT(std::abs(rock.g - rock.b), 20) << Describe(rock);
    EXPECT_GT(rock.r, 20) << Describe(rock);
}

TEST(TerrainPicture, GrassEdgeBlendsOverTheGravelBesideIt) {
    Engine engine;
    ASSERT_TRUE(engine.Setup());
    TerrainManager* t = engine.terrain;
    ASSERT_TRUE(t->CreateTerrain());
    engine.ApplyView();
    auto render = [&] {
        EXPECT_TRUE(engine.root->UpdateEngine());
        EXPECT_EQ(engine.device->BeginScene(), D3D_OK);
        EXPECT_TRUE(t->RenderAll());
        EXPECT_EQ(engine.device->EndScene(), D3D_OK);
    };
    render();
    const Rgb farBefore = Probe(engine.device, 700, 80);

    int centre = -1;
    t->GetTerrainPatch(400, 300, &centre);
    ASSERT_NE(centre, -1);
    const float grassEdgeZ = float((centre % (t->gridWidth - 1) - 1) * 4);
    // A screen point on the gravel just in front of the grass block's near edge.
    int nearY = -1;
    for (int y = 300; y < 600 && nearY == -1; ++y) {
        float x = 0.0f;
        float z = 0.0f;
        t->PickTerrainPosition(400, y, &x, &z);
        if (z > grassEdgeZ - 0.6f && z < grassEdgeZ - 0.2f) {
            nearY = y;
        }
    }
    ASSERT_NE(nearY, -1);
    const Rgb nearBefore = Probe(engine.device, 400, nearY);

    Paint(t, 400, 300, 3, 1);
    render();
    d3d::WriteBackBufferPng(engine.device, ZONKEL_BINARY_DIR "/terrain_picture_edge.png");
    const Rgb nearAfter = Probe(engine.device, 400, nearY);
    EXPECT_GT(nearAfter.g - nearAfter.r, nearBefore.g - nearBefore.r + 10)
        << Describe(nearBefore) << " then " << Describe(nearAfter) << " at y " << nearY;
    const Rgb farAfter = Probe(engine.device, 700, 80);
    EXPECT_EQ(Describe(farAfter), Describe(farBefore));
}

TEST(TerrainPicture, RunFolderMapFileDrawsItsTypes) {
    Engine engine;
    ASSERT_TRUE(engine.Setup());
    TerrainManager* t = engine.terrain;
    ASSERT_TRUE(t->CreateTerrain());
    ASSERT_TRUE(t->LoadMapFromFilename(nullptr));
    engine.ApplyView();
    ASSERT_TRUE(engine.root->UpdateEngine());
    ASSERT_EQ(engine.device->BeginScene(), D3D_OK);
    EXPECT_TRUE(t->RenderAll());
    ASSERT_EQ(engine.device->EndScene(), D3D_OK);
    d3d::WriteBackBufferPng(engine.device, ZONKEL_BINARY_DIR "/terrain_map_file.png");
    // The saved map holds several types; the frame shows the tile of the patch under each probe.
    int types[8] = {};
    for (int i = 0; i < (t->gridWidth - 1) * (t->gridHeight - 1); ++i) {
        ++types[t->tileFeld[i] >> 4];
    }
    EXPECT_GT(types[3], 0);
    EXPECT_GT(types[4], 0);
    EXPECT_GT(types[2], 0);
    for (int y = 50; y < 600; y += 100) {
        for (int x = 50; x < 800; x += 100) {
            int patch = -1;
            t->GetTerrainPatch(x, y, &patch);
            ASSERT_NE(patch, -1) << x << ", " << y;
            const Rgb c = Probe(engine.device, x, y);
            EXPECT_GT(c.r + c.g + c.b, 60) << x << ", " << y << " " << Describe(c);
        }
    }
}
