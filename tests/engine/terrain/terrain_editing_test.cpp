// Editing on a small grid: plateaus in both modes with the slopes around them, gap filling, the
// grid's borders, the slope masks, and the permanent-plane grid.
#include "terrain_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace terrain_test;

namespace {

// A 64 x 64 terrain, 15 x 15 patches, every height byte `height`.
class TerrainEditing : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.Setup()); }

    void LoadFlat(uint8_t height) {
        auto image = MakeMapImage(
            64, 64, [=](int, int) { return height; }, [](int, int) { return 255; });
        ASSERT_TRUE(LoadImage(engine.terrain, image));
        t = engine.terrain;
    }
    int Patch(int px, int pz) const { return pz + px * (t->gridWidth - 1); }
    float VertexY(int px, int pz, int a, int b) const {
        return t->patchCopies[Patch(px, pz)].vertices[a * 5 + b].y;
    }
    int Level(int px, int pz) const { return TerrainTestAccess::GetEbene(t, px, pz); }
    int Type(int px, int pz) const { return t->tileFeld[Patch(px, pz)] >> 4; }

    Engine engine;
    TerrainManager* t = nullptr;
};

} // namespace

TEST_F(TerrainEditing, AbsoluteModeSetsPlateauToWaterHeightAndSlopesBelowIt) {
    LoadFlat(0);
    ASSERT_TRUE(t->IncreaseTerrainPosition(Patch(7, 7), 1));
    for (int k = 0; k < 25; ++k) {
        EXPECT_FLOAT_EQ(t->patchCopies[Patch(7, 7)].vertices[k].y, 5.0f) << k;
    }
    EXPECT_EQ(Level(7, 7), 4);
    EXPECT_EQ(Type(7, 7), 3);
    // The patch at z+1 has its raised neighbour at z-1 (mask 1): weights 1.0, 0.7, 0.5, 0.2 along b.
    const float expected[5] = {5.0f, 3.5f, 2.5f, 1.0f, 6.0f};
    for (int a = 0; a <= 4; ++a) {
        for (int b = 0; b <= 4; ++b) {
            EXPECT_FLOAT_EQ(VertexY(7, 8, a, b), expected[b]) << a << ", " << b;
        }
    }
    EXPECT_EQ(Level(7, 8), 0);
    EXPECT_EQ(Type(7, 8), 1);
    // The edited copy is what the buffer draws.
    const auto buffered = ReadVertexBuffer(t->patchVertexBuffers[Patch(7, 8)], 25);
    ASSERT_EQ(buffered.size(), 25u);
    EXPECT_EQ(std::memcmp(buffered.data(), t->patchCopies[Patch(7, 8)].vertices, 800), 0);
}

TEST_F(TerrainEditing, RelativeModeRaisesBySixAndBlendsTheNeighbours) {
    LoadFlat(40); // map height 7.0
    ASSERT_TRUE(t->IncreaseTerrainPosition(Patch(7, 7), 2));
    for (int k = 0; k < 25; ++k) {
        EXPECT_FLOAT_EQ(t->patchCopies[Patch(7, 7)].vertices[k].y, 13.0f) << k;
    }
    EXPECT_EQ(Level(7, 7), 2);
    EXPECT_FLOAT_EQ(t->floatOwnHeightMap[28 + 28 * 64], 6.0f);
    const float rise[5] = {6.0f, 4.2f, 3.0f, 1.2f, 0.0f};
    for (int b = 0; b <= 4; ++b) {
        EXPECT_NEAR(VertexY(7, 8, 2, b), 7.0f + rise[b], 1e-5f) << b;
    }
    // The patch at x-1 has mask 8: full height at its a = 4 side.
    for (int a = 0; a <= 4; ++a) {
        EXPECT_NEAR(VertexY(6, 7, a, 2), 7.0f + rise[4 - a], 1e-5f) << a;
    }
    // Diagonal neighbour (x+1, z+1) takes mask 23: full height at its (0, 0) vertex.
    EXPECT_NEAR(VertexY(8, 8, 0, 0), 13.0f, 1e-5f);
    EXPECT_NEAR(VertexY(8, 8, 4, 4), 7.0f, 1e-5f);
    // Patches beyond the slope ring keep their heights.
    EXPECT_FLOAT_EQ(VertexY(7, 10, 2, 2), 7.0f);
}

TEST_F(TerrainEditing, PatchBetweenTwoPlateausIsRaisedToo) {
    LoadFlat(0);
    t->IncreaseTerrainPosition(Patch(5, 7), 2);
    EXPECT_EQ(Level(6, 7), 0);
    t->IncreaseTerrainPosition(Patch(7, 7), 2);
    EXPECT_EQ(Level(6, 7), 2);
    EXPECT_EQ(Type(6, 7), 3);
    EXPECT_FLOAT_EQ(VertexY(6, 7, 2, 2), 12.0f);
}

TEST_F(TerrainEditing, RingPositionsOutsideTheGridRaiseThePatchesTowardTheBorder) {
    LoadFlat(0);
    t->IncreaseTerrainPosition(Patch(1, 7), 2);
    for (int pz : {6, 7, 8}) {
        EXPECT_EQ(Level(0, pz), 2) << pz;
        EXPECT_FLOAT_EQ(VertexY(0, pz, 0, 2), 12.0f) << pz;
    }
    EXPECT_EQ(Level(0, 5), 0);
    EXPECT_EQ(Level(0, 9), 0);
}

TEST_F(TerrainEditing, EditNearTheZBorderNeverChangesTheFarEndOfTheNextColumn) {
    // Rows beyond the edit's reach, in every column, keep heights, levels and tiles: positions past
    // one z border must not land on the other end of a neighbouring column.
    auto expectRowsUntouched = [&](int firstRow, int lastRow, const std::vector<unsigned char>& tilesBefore) {
        for (int px = 0; px < 15; ++px) {
            for (int pz = firstRow; pz <= lastRow; ++pz) {
                SCOPED_TRACE(testing::Message() << "patch " << px << ", " << pz);
                EXPECT_EQ(Level(px, pz), 0);
                EXPECT_EQ(t->tileFeld[Patch(px, pz)], tilesBefore[Patch(px, pz)]);
                for (int k = 0; k < 25; ++k) {
                    ASSERT_FLOAT_EQ(t->patchCopies[Patch(px, pz)].vertices[k].y, 6.0f);
                }
            }
        }
    };
    LoadFlat(0);
    std::vector<unsigned char> tilesBefore(t->tileFeld, t->tileFeld + 16 * 16);
    t->IncreaseTerrainPosition(Patch(5, 0), 2);
    EXPECT_EQ(Level(5, 0), 2);
    expectRowsUntouched(5, 14, tilesBefore);

    LoadFlat(0);
    tilesBefore.assign(t->tileFeld, t->tileFeld + 16 * 16);
    t->IncreaseTerrainPosition(Patch(9, 14), 2);
    EXPECT_EQ(Level(9, 14), 2);
    expectRowsUntouched(0, 8, tilesBefore);
}

TEST_F(TerrainEditing, RaisedNeighboursOnOppositeSidesChangeOnlyTheTile) {
    LoadFlat(0);
    TerrainTestAccess::SetEbene(t, 7, 6, 2);
    TerrainTestAccess::SetEbene(t, 7, 8, 2);
    EXPECT_TRUE(t->CalculateSouroundEbene(6, 2, 7, 7));
    EXPECT_EQ(Type(7, 7), 1);
    for (int k = 0; k < 25; ++k) {
        EXPECT_FLOAT_EQ(t->patchCopies[Patch(7, 7)].vertices[k].y, 6.0f) << k;
    }
    // A patch at the level itself is left alone.
    const unsigned char tile = t->tileFeld[Patch(7, 6)];
    EXPECT_FALSE(t->CalculateSouroundEbene(6, 2, 7, 6));
    EXPECT_EQ(t->tileFeld[Patch(7, 6)], tile);
    // Outside the grid: nothing to change.
    EXPECT_TRUE(t->CalculateSouroundEbene(6, 2, 7, -1));
}

TEST_F(TerrainEditing, EditsOutsideTheGridAreRefused) {
    LoadFlat(0);
    std::vector<unsigned char> tilesBefore(t->tileFeld, t->tileFeld + 256);
    EXPECT_FALSE(t->PatchIncrease(0, 225, 6.0f));
    EXPECT_FALSE(t->PatchIncrease(0, -1, 6.0f));
    EXPECT_FALSE(t->IncreaseTerrainPosition(-1, 2));
    EXPECT_FALSE(t->IncreaseTerrainPosition(225, 2));
    EXPECT_EQ(std::vector<unsigned char>(t->tileFeld, t->tileFeld + 256), tilesBefore);
    for (int i = 0; i < 225; ++i) {
        ASSERT_EQ(t->ebeneFeld[i], 0) << i;
    }
}

TEST_F(TerrainEditing, EditedPatchBoxFollowsTheNewHeights) {
    LoadFlat(0);
    t->PatchIncrease(0, Patch(4, 4), 6.0f);
    EXPECT_FLOAT_EQ(t->patchBoxes[Patch(4, 4)].max.y, 12.0f);
    EXPECT_FLOAT_EQ(t->patchBoxes[Patch(4, 4)].min.y, 12.0f);
}

TEST_F(TerrainEditing, PermanentPlaneMarksBordersAndEveryTypeButOne) {
    auto image = MakeMapImage(
        256, 256, [](int, int) { return 0; }, [](int, int) { return 255; });
    ASSERT_TRUE(LoadImage(engine.terrain, image));
    t = engine.terrain;
    std::vector<unsigned char> grid(256 * 256, 9);
    EXPECT_FALSE(t->CalculatePermanentPlane(grid.data()));
    for (size_t i = 0; i < grid.size(); ++i) {
        ASSERT_EQ(grid[i], 1) << i;
    }
    t->tileFeld[Patch(5, 6)] = 0x13;
    t->tileFeld[Patch(0, 6)] = 0x13;
    t->CalculatePermanentPlane(grid.data());
    EXPECT_EQ(grid[20 + 24 * 256], 0);
    EXPECT_EQ(grid[23 + 27 * 256], 0);
    EXPECT_EQ(grid[24 + 24 * 256], 1);
    EXPECT_EQ(grid[2 + 24 * 256], 1);
    EXPECT_FALSE(t->CalculatePermanentPlane(nullptr));
}

TEST_F(TerrainEditing, PermanentPlaneOfASmallTerrainStaysInsideItsFields) {
    LoadFlat(0);
    t->tileFeld[Patch(3, 3)] = 0x10;
    std::vector<unsigned char> grid(256 * 256, 9);
    EXPECT_FALSE(t->CalculatePermanentPlane(grid.data()));
    EXPECT_EQ(grid[12 + 12 * 256], 0);
    // Beyond the 15 x 15 patches everything counts as permanent.
    EXPECT_EQ(grid[100 + 100 * 256], 1);
    EXPECT_EQ(grid[70 + 12 * 256], 1);
}
