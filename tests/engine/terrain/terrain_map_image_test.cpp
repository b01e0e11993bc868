// The map image: its header and blocks, the round trip through GetSaveMap and LoadMap with the terrain
// equal afterwards, refused images and files that leave the terrain as it was, and "Map\map1.cap".
#include "terrain_fixture.h"

#include "support/test_files.h"

#include <cstring>

using namespace terrain_test;
using testing_support::TemporaryFolder;
using testing_support::WorkingDirectory;
using testing_support::WriteFile;

namespace {

uint8_t Hills(int sx, int sz) {
    return uint8_t((sx * 7 + sz * 3) % 200);
}

uint8_t Shade(int sx, int sz) {
    return uint8_t(120 + (sx ^ sz) % 100);
}

class TerrainMapImage : public TerrainFixture {
protected:
    void Load(int w, int h) {
        auto image = MakeMapImage(w, h, Hills, Shade);
        ASSERT_TRUE(LoadImage(t, image));
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
};

} // namespace

TEST_F(TerrainMapImage, SavedImageIsTheLoadedOneByteForByteAndLoadsBackEqual) {
    // Written into a buffer of 0xCD bytes: the reserved header bytes come out as zeros too.
    auto image = MakeMapImage(64, 48, Hills, Shade, 0x12);
    ASSERT_TRUE(LoadImage(t, image));
    EXPECT_EQ(Save(), image);

    const int plateau = 5 + 4 * 15;
    t->IncreaseTerrainPosition(plateau, 2);
    t->tileFeld[3] = 0x57; // a type without a texture set is kept
    auto edited = Save();
    ASSERT_TRUE(LoadImage(t, edited));
    EXPECT_EQ(t->tileFeld[3], 0x57);
    EXPECT_EQ(Save(), edited);
    // The raised patch comes back 6.0 above its map height.
    for (int k = 0; k < 25; ++k) {
        const TerrainVertex& v = t->patchCopies[plateau].vertices[k];
        EXPECT_FLOAT_EQ(v.y, MeshHeight(Hills(int(v.x), int(v.z)), 6.0f)) << k;
    }
}

TEST_F(TerrainMapImage, AbsoluteEditSurvivesSaveAndReload) {
    Load(64, 64);
    const int patch = 7 + 7 * 15;
    ASSERT_TRUE(t->PatchIncrease(0, patch, 4.0f));
    auto image = Save();
    ASSERT_TRUE(LoadImage(t, image));
    for (int k = 0; k < 25; ++k) {
        // Down to the lowest offset the mesh allows (map height minus 5).
        const TerrainVertex& v = t->patchCopies[patch].vertices[k];
        EXPECT_FLOAT_EQ(v.y, std::max(4.0f, MeshHeight(Hills(int(v.x), int(v.z)), -5.0f))) << k;
    }
}

TEST_F(TerrainMapImage, RefusedImagesAndFilesLeaveTheTerrainAsItWasAndTheFileIsAlwaysMap1Cap) {
    Load(32, 32);
    const auto saved = Save();
    unsigned char* heights = t->byteHighMap;
    auto expectUnchanged = [&](const char* what) {
        EXPECT_EQ(t->byteHighMap, heights) << what;
        EXPECT_EQ(t->mapWidth, 32) << what;
        EXPECT_EQ(Save(), saved) << what;
    };
    const struct {
        const char* what;
        size_t at;
        uint32_t value;
    } cases[] = {
        {"total", 0, 1000},        {"width too small", 12, 4},   {"height too large", 16, 100000},
        {"light offset", 20, 680}, {"height offset", 24, 700},   {"float offset", 28, 0xFFFFFFF0},
        {"level offset", 32, 680}, {"tile offset", 36, 9999999}, {"width and total", 12, 36},
    };
    for (const auto& c : cases) {
        auto broken = saved;
        std::memcpy(&broken[c.at], &c.value, 4);
        EXPECT_FALSE(LoadImage(t, broken)) << c.what;
        expectUnchanged(c.what);
    }
    EXPECT_FALSE(t->LoadMap(nullptr));

    TemporaryFolder folder;
    WorkingDirectory inFolder(folder.Path());
    EXPECT_FALSE(t->LoadMapFromFilename("Map\\map1.cap"));
    expectUnchanged("no file");
    for (size_t kept : {saved.size() - 1, size_t(100)}) {
        WriteFile(folder / "Map/map1.cap", std::vector<uint8_t>(saved.begin(), saved.begin() + long(kept)));
        EXPECT_FALSE(t->LoadMapFromFilename(nullptr)) << kept;
        expectUnchanged("short file");
    }

    // Whatever name is asked for, the file read is "Map\map1.cap".
    WriteFile(folder / "Map/map1.cap", MakeMapImage(
                                           40, 40, [](int, int) { return 9; }, [](int, int) { return 99; }));
    EXPECT_TRUE(t->LoadMapFromFilename("some\\other.cap"));
    EXPECT_EQ(t->mapWidth, 40);
    EXPECT_EQ(t->byteHighMap[17], 9);
}
