// The map image: its header and block layout, the round trip through GetSaveMap and LoadMap with the
// terrain equal afterwards, refused images that leave the terrain as it was, and "Map\map1.cap".
#include "terrain_test_support.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace terrain_test;
using testing_support::TemporaryFolder;
using testing_support::WorkingDirectory;
using testing_support::WriteFile;

namespace {

uint32_t U32At(const std::vector<unsigned char>& bytes, size_t at) {
    uint32_t value = 0;
    std::memcpy(&value, &bytes[at], 4);
    return value;
}

void PutU32At(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
    std::memcpy(&bytes[at], &value, 4);
}

uint8_t Hills(int sx, int sz) {
    return uint8_t((sx * 7 + sz * 3) % 200);
}

uint8_t Shade(int sx, int sz) {
    return uint8_t(120 + (sx ^ sz) % 100);
}

class TerrainMapImage : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.Setup()); }

    void Load(int w, int h) {
        auto image = MakeMapImage(w, h, Hills, Shade);
        ASSERT_TRUE(LoadImage(engine.terrain, image));
        t = engine.terrain;
    }
    std::vector<unsigned char> Save() {
        const size_t size =
            680 + 6 * size_t(t->mapWidth * t->mapHeight) + 2 * size_t(t->gridWidth * t->gridHeight);
        std::vector<unsigned char> image(size, 0xCD);
        unsigned char* data = image.data();
        unsigned long written = 0;
        EXPECT_TRUE(t->GetSaveMap(&data, &written));
        EXPECT_EQ(written, size);
        return image;
    }

    Engine engine;
    TerrainManager* t = nullptr;
};

} // namespace

TEST_F(TerrainMapImage, HeaderOfA256SquareTerrain) {
    Load(256, 256);
    const auto image = Save();
    EXPECT_EQ(image.size(), 402088u);
    EXPECT_EQ(U32At(image, 0), 402088u);
    EXPECT_EQ(U32At(image, 12), 256u);
    EXPECT_EQ(U32At(image, 16), 256u);
    EXPECT_EQ(U32At(image, 24), 680u);
    EXPECT_EQ(U32At(image, 20), 66216u);
    EXPECT_EQ(U32At(image, 28), 131752u);
    EXPECT_EQ(U32At(image, 32), 393896u);
    EXPECT_EQ(U32At(image, 36), 397992u);
    // Reserved bytes are written as zeros; the blocks hold the maps.
    EXPECT_EQ(U32At(image, 4), 0u);
    EXPECT_EQ(U32At(image, 676), 0u);
    EXPECT_EQ(image[680 + 3 + 5 * 256], Hills(3, 5));
    EXPECT_EQ(image[66216 + 3 + 5 * 256], Shade(3, 5));
}

TEST_F(TerrainMapImage, SavedTerrainLoadsBackEqual) {
    Load(64, 48);
    const int plateau = 5 + 4 * 15;
    t->IncreaseTerrainPosition(plateau, 2);
    t->tileFeld[3] = 0x57; // a type without a texture set is kept
    t->tileFeld[4] = 0x61;
    auto first = Save();
    ASSERT_TRUE(LoadImage(t, first));
    EXPECT_EQ(t->tileFeld[3], 0x57);
    EXPECT_EQ(t->tileFeld[4], 0x61);
    EXPECT_EQ(Save(), first);
    // The raised patch comes back 6.0 above its map height.
    for (int k = 0; k < 25; ++k) {
        const TerrainVertex& v = t->patchCopies[plateau].vertices[k];
        EXPECT_FLOAT_EQ(v.y, Hills(int(v.x), int(v.z)) * 0.025f + 12.0f) << k;
    }
}

TEST_F(TerrainMapImage, AbsoluteEditSurvivesSaveAndReload) {
    Load(64, 64);
    const int patch = 7 + 7 * 15;
    ASSERT_TRUE(t->PatchIncrease(0, patch, 4.0f));
    std::vector<float> before(25);
    for (int k = 0; k < 25; ++k) {
        before[k] = t->patchCopies[patch].vertices[k].y;
        ASSERT_FLOAT_EQ(before[k], 4.0f);
    }
    auto image = Save();
    ASSERT_TRUE(LoadImage(t, image));
    for (int k = 0; k < 25; ++k) {
        // Within the lowest offset the mesh allows (map height minus 5).
        const TerrainVertex& v = t->patchCopies[patch].vertices[k];
        const float lowest = Hills(int(v.x), int(v.z)) * 0.025f + 6.0f - 5.0f;
        EXPECT_FLOAT_EQ(v.y, std::max(before[k], lowest)) << k;
    }
}

TEST_F(TerrainMapImage, RefusedImagesLeaveTheTerrainAsItWas) {
    Load(32, 32);
    const auto saved = Save();
    unsigned char* heights = t->byteHighMap;
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
    };
    const Case cases[] = {
        {"total", 0, 1000},        {"width too small", 12, 4},   {"height too large", 16, 100000},
        {"light offset", 20, 680}, {"height offset", 24, 700},   {"float offset", 28, 0xFFFFFFF0},
        {"level offset", 32, 680}, {"tile offset", 36, 9999999}, {"width and total", 12, 36},
    };
    for (const Case& c : cases) {
        auto broken = saved;
        PutU32At(broken, c.at, c.value);
        EXPECT_FALSE(LoadImage(t, broken)) << c.what;
        EXPECT_EQ(t->byteHighMap, heights) << c.what;
        EXPECT_EQ(t->mapWidth, 32) << c.what;
        EXPECT_EQ(Save(), saved) << c.what;
    }
    EXPECT_FALSE(t->LoadMap(nullptr));
}

TEST_F(TerrainMapImage, MapFileIsAlwaysMap1Cap) {
    Load(32, 32);
    auto image = Save();
    TemporaryFolder folder;
    WorkingDirectory inFolder(folder.Path());
    EXPECT_FALSE(t->LoadMapFromFilename("Map\\map1.cap"));

    // A file shorter than its header's total is refused.
    WriteFile(folder / "Map/map1.cap", std::vector<uint8_t>(image.begin(), image.end() - 1));
    EXPECT_FALSE(t->LoadMapFromFilename(nullptr));
    WriteFile(folder / "Map/map1.cap", std::vector<uint8_t>(image.begin(), image.begin() + 100));
    EXPECT_FALSE(t->LoadMapFromFilename(nullptr));

    auto other = MakeMapImage(
        40, 40, [](int, int) { return 9; }, [](int, int) { return 99; });
    WriteFile(folder / "Map/map1.cap", std::vector<uint8_t>(other.begin(), other.end()));
    EXPECT_TRUE(t->LoadMapFromFilename("some\\other.cap"));
    EXPECT_EQ(t->mapWidth, 40);
    EXPECT_EQ(t->byteHighMap[17], 9);
    EXPECT_EQ(t->gridWidth, 10);
}

TEST_F(TerrainMapImage, NothingToSaveOrLoadBeforeTheTerrainExists) {
    t = engine.terrain;
    std::vector<unsigned char> buffer(1000);
    unsigned char* data = buffer.data();
    unsigned long size = 5;
    EXPECT_FALSE(t->GetSaveMap(&data, &size));
    EXPECT_EQ(size, 5u);
}
