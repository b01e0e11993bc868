// Editing on a small grid: plateaus in both modes with the slopes around them, gap filling, the
// grid's borders, and the permanent-plane grid.
#include "terrain_test_support.h"

#include <algorithm>

using namespace terrain_test;

namespace {

// A flat 64 x 64 terrain: 15 x 15 patches.
class TerrainEditing : public TerrainFixture {
protected:
    void LoadFlat(uint8_t height = 0) { ASSERT_TRUE(engine.LoadFlat(64, height)); }
    int Level(int px, int pz) const { return TerrainTestAccess::GetEbene(t, px, pz); }
    int Type(int px, int pz) const { return t->tileFeld[engine.Patch(px, pz)] >> 4; }
};

} // namespace

TEST_F(TerrainEditing, PlateausInBothModesWithTheSlopesAroundThem) {
    // Absolute mode: the patch at water height 5.0 on ground at 6.0, level 4, grass.
    LoadFlat();
    ASSERT_TRUE(t->IncreaseTerrainPosition(engine.Patch(7, 7), 1));
    for (int k = 0; k < 25; ++k) {
        EXPECT_FLOAT_EQ(engine.VertexY(7, 7, k / 5, k % 5), 5.0f) << k;
    }
    EXPECT_EQ(Level(7, 7), 4);
    EXPECT_EQ(Type(7, 7), 3);
    EXPECT_FLOAT_EQ(t->patchBoxes[engine.Patch(7, 7)].max.y, 5.0f);
    // The patch at z+1 has its plateau at z-1 (mask 1): weights 1.0, 0.7, 0.5, 0.2 along b, of the
    // water height, and the far row untouched.
    const float weights[5] = {1.0f, 0.7f, 0.5f, 0.2f, 0.0f};
    const float expected[5] = {5.0f, 3.5f, 2.5f, 1.0f, 6.0f};
    for (int k = 0; k < 25; ++k) {
        EXPECT_FLOAT_EQ(engine.VertexY(7, 8, k / 5, k % 5), expected[k % 5]) << k;
    }
    EXPECT_EQ(Level(7, 8), 0);
    EXPECT_EQ(Type(7, 8), 1);
    const auto buffered = ReadVertexBuffer(t->patchVertexBuffers[engine.Patch(7, 8)], 25);
    ASSERT_EQ(buffered.size(), 25u);
    EXPECT_FLOAT_EQ(buffered[2].y, 2.5f); // the edited copy is what the buffer draws

    // Relative mode: 6.0 higher than the map height 7.0, level 2.
    LoadFlat(40);
    ASSERT_TRUE(t->IncreaseTerrainPosition(engine.Patch(7, 7), 2));
    EXPECT_FLOAT_EQ(engine.VertexY(7, 7, 3, 1), 13.0f);
    EXPECT_EQ(Level(7, 7), 2);
    EXPECT_FLOAT_EQ(t->floatOwnHeightMap[28 + 28 * 64], 6.0f);
    for (int i = 0; i <= 4; ++i) {
        EXPECT_NEAR(engine.VertexY(6, 7, i, 2), 7.0f + 6.0f * weights[4 - i], 1e-5f) << i; // mask 8 at x-1
    }
    // The diagonal neighbour (x+1, z+1) is full height at its (0, 0) vertex only.
    EXPECT_NEAR(engine.VertexY(8, 8, 0, 0), 13.0f, 1e-5f);
    EXPECT_NEAR(engine.VertexY(8, 8, 4, 4), 7.0f, 1e-5f);
    EXPECT_FLOAT_EQ(engine.VertexY(7, 10, 2, 2), 7.0f);
}

TEST_F(TerrainEditing, EveryProfileRaisesItsVerticesByItsWeightsAndOtherMasksOnlySetTheTile) {
    // Weight indices per vertex row a, digit b; masks not listed raise nothing.
    const struct {
        int mask;
        const char* rows[5];
    } profiles[] = {
        {0, {"44444", "44444", "44444", "44444", "44444"}},
        {1, {"43210", "43210", "43210", "43210", "43210"}},
        {2, {"44444", "33333", "22222", "11111", "00000"}},
        {3, {"44444", "43333", "43222", "43231", "43210"}},
        {4, {"01234", "01234", "01234", "01234", "01234"}},
        {6, {"44444", "33334", "22234", "11234", "01234"}},
        {8, {"00000", "11111", "22222", "33333", "44444"}},
        {9, {"43210", "43111", "43122", "43333", "44444"}},
        {12, {"01234", "11234", "22234", "33334", "44444"}},
        {21, {"00000", "11110", "22210", "33210", "43210"}},
        {22, {"00000", "01111", "01222", "01233", "01234"}},
        {23, {"43210", "33210", "22210", "11110", "00000"}},
        {24, {"01234", "01233", "01222", "01111", "00000"}},
        {5, {"00000", "00000", "00000", "00000", "00000"}},
        {25, {"00000", "00000", "00000", "00000", "00000"}},
        {30, {"00000", "00000", "00000", "00000", "00000"}},
    };
    const float weights[5] = {0.0f, 0.2f, 0.5f, 0.7f, 1.0f};
    for (const auto& profile : profiles) {
        LoadFlat(40); // every vertex at 7.0
        ASSERT_TRUE(t->PatchIncrease(profile.mask, engine.Patch(3, 9), 10.0f));
        for (int k = 0; k < 25; ++k) {
            const int index = profile.rows[k / 5][k % 5] - '0';
            EXPECT_FLOAT_EQ(engine.VertexY(3, 9, k / 5, k % 5), 7.0f + 10.0f * weights[index])
                << "mask " << profile.mask << ", vertex " << k;
        }
        EXPECT_EQ(Type(3, 9), profile.mask == 0 ? 3 : 1) << profile.mask;
    }
}

TEST_F(TerrainEditing, GapBetweenPlateausIsFilledWhileOppositeNeighboursChangeOnlyTheTile) {
    LoadFlat();
    t->IncreaseTerrainPosition(engine.Patch(5, 7), 2);
    EXPECT_EQ(Level(6, 7), 0);
    t->IncreaseTerrainPosition(engine.Patch(7, 7), 2);
    EXPECT_EQ(Level(6, 7), 2);
    EXPECT_EQ(Type(6, 7), 3);
    EXPECT_FLOAT_EQ(engine.VertexY(6, 7, 2, 2), 12.0f);
    // Raised neighbours on opposite sides: no slope fits, only the tile changes.
    LoadFlat();
    TerrainTestAccess::SetEbene(t, 7, 6, 2);
    TerrainTestAccess::SetEbene(t, 7, 8, 2);
    EXPECT_TRUE(t->CalculateSouroundEbene(6, 2, 7, 7));
    EXPECT_EQ(Type(7, 7), 1);
    EXPECT_FLOAT_EQ(engine.VertexY(7, 7, 2, 2), 6.0f);
    // A patch at the level itself is left alone.
    const unsigned char tile = t->tileFeld[engine.Patch(7, 6)];
    EXPECT_FALSE(t->CalculateSouroundEbene(6, 2, 7, 6));
    EXPECT_EQ(t->tileFeld[engine.Patch(7, 6)], tile);
}

TEST_F(TerrainEditing, EditsReachTheBorderButNothingOutsideTheGrid) {
    LoadFlat();
    std::vector<unsigned char> tilesBefore(t->tileFeld, t->tileFeld + 256);
    EXPECT_FALSE(t->PatchIncrease(0, 225, 6.0f));
    EXPECT_FALSE(t->PatchIncrease(0, -1, 6.0f));
    EXPECT_FALSE(t->IncreaseTerrainPosition(-1, 2));
    EXPECT_FALSE(t->IncreaseTerrainPosition(225, 2));
    EXPECT_TRUE(t->CalculateSouroundEbene(6, 2, 7, -1));
    EXPECT_EQ(std::vector<unsigned char>(t->tileFeld, t->tileFeld + 256), tilesBefore);
    EXPECT_EQ(std::count(t->ebeneFeld, t->ebeneFeld + 225, 0), 225);

    // Gap filling at ring positions outside the grid raises the patches toward the border.
    t->IncreaseTerrainPosition(engine.Patch(1, 7), 2);
    for (int pz : {6, 7, 8}) {
        EXPECT_EQ(Level(0, pz), 2) << pz;
        EXPECT_FLOAT_EQ(engine.VertexY(0, pz, 0, 2), 12.0f) << pz;
    }
    EXPECT_EQ(Level(0, 5), 0);
}

TEST_F(TerrainEditing, EditNearTheZBorderNeverChangesTheFarEndOfTheNextColumn) {
    // Positions past one z border must not land on the other end of a neighbouring column.
    const struct {
        int px, pz, firstUntouchedRow, lastUntouchedRow;
    } cases[] = {{5, 0, 5, 14}, {9, 14, 0, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "edit at " << c.px << ", " << c.pz);
        LoadFlat();
        const std::vector<unsigned char> tilesBefore(t->tileFeld, t->tileFeld + 256);
        t->IncreaseTerrainPosition(engine.Patch(c.px, c.pz), 2);
        EXPECT_EQ(Level(c.px, c.pz), 2);
        for (int px = 0; px < 15; ++px) {
            for (int pz = c.firstUntouchedRow; pz <= c.lastUntouchedRow; ++pz) {
                const int patch = engine.Patch(px, pz);
                EXPECT_EQ(Level(px, pz), 0) << px << ", " << pz;
                EXPECT_EQ(t->tileFeld[patch], tilesBefore[patch]) << px << ", " << pz;
                EXPECT_FLOAT_EQ(t->patchBoxes[patch].max.y, 6.0f) << px << ", " << pz;
            }
        }
    }
}

TEST_F(TerrainEditing, PermanentPlaneMarksEveryTypeButOneAndStaysInsideSmallTerrains) {
    // Every cell is written: type 1 is the one type that is not permanent, the border always is, and
    // beyond the patches of a small terrain everything is.
    std::vector<unsigned char> grid(256 * 256);
    for (int size : {256, 64}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(engine.LoadFlat(size));
        t->tileFeld[engine.Patch(5, 6)] = 0x13;
        t->tileFeld[engine.Patch(0, 6)] = 0x13;
        std::fill(grid.begin(), grid.end(), 9);
        EXPECT_FALSE(t->CalculatePermanentPlane(grid.data()));
        EXPECT_EQ(std::count(grid.begin(), grid.end(), 9), 0);
        EXPECT_EQ(grid[20 + 24 * 256], 0);
        EXPECT_EQ(grid[23 + 27 * 256], 0);
        EXPECT_EQ(grid[24 + 24 * 256], 1);
        EXPECT_EQ(grid[2 + 24 * 256], 1);
        EXPECT_EQ(grid[100 + 100 * 256], 1);
        EXPECT_EQ(grid[70 + 24 * 256], 1);
    }
    EXPECT_FALSE(t->CalculatePermanentPlane(nullptr));
}
