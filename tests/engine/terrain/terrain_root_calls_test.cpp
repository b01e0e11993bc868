// The engine root's calls into the terrain: SetTile and TestFkt with a screen point, before and after
// the terrain exists, and the root's shut-down with a created terrain.
#include "terrain_test_support.h"

#include "core/buffer_manager.h"
#include "core/gfx_main.h"
#include "core/textur_manager.h"

#include <gtest/gtest.h>

using namespace terrain_test;

namespace {

constexpr float PITCH_55 = 0.9599311f;

class TerrainRootCalls : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.Setup()); }
    void LoadFlat() {
        auto image = MakeMapImage(
            64, 64, [](int, int) { return 0; }, [](int, int) { return 255; });
        ASSERT_TRUE(LoadImage(engine.terrain, image));
        engine.PlaceCamera(30.0f, 40.0f, 10.0f, PITCH_55);
    }
    Engine engine;
};

// The patch under the centre of the screen: (7, 8).
constexpr int CENTRE_PATCH = 8 + 7 * 15;

} // namespace

TEST_F(TerrainRootCalls, SetTileChangesThePatchUnderThePoint) {
    LoadFlat();
    EXPECT_TRUE(engine.root->SetTile(4, 400, 300));
    EXPECT_EQ(engine.terrain->tileFeld[CENTRE_PATCH] >> 4, 4);
    EXPECT_EQ(engine.terrain->tileFeld[CENTRE_PATCH + 1], 0);
}

TEST_F(TerrainRootCalls, TestFktRaisesThePatchUnderThePoint) {
    LoadFlat();
    EXPECT_TRUE(engine.root->TestFkt(400, 300));
    EXPECT_EQ(engine.terrain->ebeneFeld[CENTRE_PATCH], 2);
    EXPECT_FLOAT_EQ(engine.terrain->patchCopies[CENTRE_PATCH].vertices[12].y, 12.0f);
}

TEST_F(TerrainRootCalls, PointsOverTheSkyChangeNothing) {
    LoadFlat();
    engine.PlaceCamera(30.0f, 40.0f, 10.0f, -0.4f);
    std::vector<unsigned char> tiles(engine.terrain->tileFeld, engine.terrain->tileFeld + 256);
    EXPECT_TRUE(engine.root->SetTile(4, 400, 300));
    EXPECT_TRUE(engine.root->TestFkt(400, 300));
    EXPECT_EQ(std::vector<unsigned char>(engine.terrain->tileFeld, engine.terrain->tileFeld + 256), tiles);
    for (int i = 0; i < 225; ++i) {
        ASSERT_EQ(engine.terrain->ebeneFeld[i], 0) << i;
    }
}

TEST_F(TerrainRootCalls, CallsBeforeTheTerrainExistsChangeNothing) {
    EXPECT_TRUE(engine.root->SetTile(4, 400, 300));
    EXPECT_TRUE(engine.root->TestFkt(400, 300));
    EXPECT_EQ(engine.terrain->tileFeld, nullptr);
}

TEST_F(TerrainRootCalls, DeletingACreatedTerrainGivesBackItsBuffersAndTextures) {
    BufferManager* pool = BufferManager::GetExemplar();
    TexturManager* cache = TexturManager::GetExemplar();
    const int vertexBuffers = pool->vertexBufferCount;
    const int indexBuffers = pool->indexBufferCount;
    auto texturesHeld = [&] {
        int held = 0;
        for (int i = 0; i < cache->capacity; ++i) {
            held += cache->entries[i].texture != nullptr ? 1 : 0;
        }
        return held;
    };
    const int textures = texturesHeld();
    ASSERT_TRUE(engine.terrain->CreateTerrain());
    EXPECT_EQ(engine.root->getTerrainManager(), engine.terrain);
    EXPECT_GT(texturesHeld(), textures);
    // The root deletes the terrain first, while the pool and the cache still exist.
    delete engine.terrain;
    EXPECT_EQ(pool->vertexBufferCount, vertexBuffers);
    EXPECT_EQ(pool->indexBufferCount, indexBuffers);
    EXPECT_EQ(texturesHeld(), textures);
}
