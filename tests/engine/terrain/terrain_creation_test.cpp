// Creation of the terrain from the two 8-bit bitmaps: the reader's checks, the patch meshes and their
// buffers, the index rules, and what happens to a terrain made twice or never.
#include "terrain_test_support.h"

#include "core/buffer_manager.h"
#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "support/test_files.h"
#include "terrain/terrain_textur_set.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace terrain_test;
using testing_support::TemporaryFolder;
using testing_support::WorkingDirectory;
using testing_support::WriteFile;

namespace {

uint8_t KnownHeight(int sx, int sz) {
    return uint8_t(sx * 10 + sz);
}

uint8_t KnownLight(int sx, int sz) {
    return uint8_t(100 + sx + 2 * sz);
}

// A folder holding only the two maps (no textures: their loads fail, which creation tolerates).
void WriteMaps(const TemporaryFolder& folder, const std::vector<uint8_t>& height,
               const std::vector<uint8_t>& light) {
    WriteFile(folder / "Grafik/Diverses/heightmap.bmp", height);
    WriteFile(folder / "Grafik/Diverses/lightmap.bmp", light);
}

class TerrainCreation : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.Setup()); }
    Engine engine;
};

} // namespace

TEST_F(TerrainCreation, PatchMeshesFollowTheKnownMaps) {
    TemporaryFolder folder;
    WriteMaps(folder, MakeBitmap8(16, 16, KnownHeight), MakeBitmap8(16, 16, KnownLight));
    WorkingDirectory inFolder(folder.Path());
    TerrainManager* t = engine.terrain;
    ASSERT_TRUE(t->CreateTerrain());
    EXPECT_TRUE(t->created);
    EXPECT_EQ(t->mapWidth, 16);
    EXPECT_EQ(t->gridWidth, 4);
    EXPECT_EQ(t->gridHeight, 4);
    EXPECT_EQ(t->trianglesPerPatch, 32);
    EXPECT_EQ(t->verticesPerPatch, 25);
    EXPECT_EQ(t->indicesPerPatch, 96);

    // Patch (px 1, pz 2) has the index 2 + 1 * 3.
    const int patch = 5;
    const TerrainVertex* copy = t->patchCopies[patch].vertices;
    ASSERT_NE(copy, nullptr);
    for (int a = 0; a <= 4; ++a) {
        for (int b = 0; b <= 4; ++b) {
            const TerrainVertex& v = copy[a * 5 + b];
            const int sx = 4 + a;
            const int sz = 8 + b;
            SCOPED_TRACE(testing::Message() << "vertex a " << a << " b " << b);
            EXPECT_FLOAT_EQ(v.x, float(sx));
            EXPECT_FLOAT_EQ(v.z, float(sz));
            EXPECT_FLOAT_EQ(v.y, MeshHeight(KnownHeight(sx, sz), 0.0f));
            const uint32_t l = KnownLight(sx, sz);
            EXPECT_EQ(v.diffuse, 0xFF000000u | l << 16 | l << 8 | l);
            EXPECT_FLOAT_EQ(v.tu0, a / 4.0f);
            EXPECT_FLOAT_EQ(v.tv0, b / 4.0f);
            EXPECT_FLOAT_EQ(v.tu1, a / 5.0f);
            EXPECT_FLOAT_EQ(v.tv1, b / 5.0f);
        }
    }
    const uint16_t* indices = t->patchCopies[patch].indices;
    // Cell r 2, c 3: q = 13, two triangles q, q+1, q+5 and q+5, q+1, q+6.
    const uint16_t cell[6] = {13, 14, 18, 18, 14, 19};
    EXPECT_EQ(std::memcmp(indices + (2 * 4 + 3) * 6, cell, sizeof(cell)), 0);

    // The buffers hold what the copies hold.
    const auto buffered = ReadVertexBuffer(t->patchVertexBuffers[patch], 25);
    ASSERT_EQ(buffered.size(), 25u);
    EXPECT_EQ(std::memcmp(buffered.data(), copy, 800), 0);
    const auto bufferedIndices = ReadIndexBuffer(t->patchIndexBuffers[patch], 96);
    ASSERT_EQ(bufferedIndices.size(), 96u);
    EXPECT_EQ(std::memcmp(bufferedIndices.data(), indices, 192), 0);

    const PatchBox& box = t->patchBoxes[patch];
    EXPECT_FLOAT_EQ(box.min.x, 4.0f);
    EXPECT_FLOAT_EQ(box.max.x, 8.0f);
    EXPECT_FLOAT_EQ(box.min.z, 8.0f);
    EXPECT_FLOAT_EQ(box.max.z, 12.0f);
    EXPECT_FLOAT_EQ(box.min.y, MeshHeight(KnownHeight(4, 8), 0.0f));
    EXPECT_FLOAT_EQ(box.max.y, MeshHeight(KnownHeight(8, 12), 0.0f));
}

TEST_F(TerrainCreation, BitmapRowsSkipTheirPaddingAndStartAtTheBottom) {
    TemporaryFolder folder;
    // Width 10 is stored in rows of 12 bytes.
    WriteFile(folder / "h.bmp", MakeBitmap8(10, 8, KnownHeight));
    WorkingDirectory inFolder(folder.Path());
    TerrainManager* t = engine.terrain;
    ASSERT_TRUE(TerrainTestAccess::ReadHeightBitmap(t, "h.bmp"));
    ASSERT_EQ(t->mapWidth, 10);
    ASSERT_EQ(t->mapHeight, 8);
    for (int sz = 0; sz < 8; ++sz) {
        for (int sx = 0; sx < 10; ++sx) {
            EXPECT_EQ(t->byteHighMap[sx + sz * 10], KnownHeight(sx, sz)) << sx << ", " << sz;
        }
    }
}

TEST_F(TerrainCreation, BrokenBitmapsAreRefusedWithNothingChanged) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const std::vector<uint8_t> good = MakeBitmap8(16, 16, KnownHeight);
    BitmapOptions signature;
    signature.badSignature = true;
    BitmapOptions trueColour;
    trueColour.bitCount = 24;
    BitmapOptions compressed;
    compressed.compression = 1;
    BitmapOptions topDown;
    topDown.topDown = true;
    BitmapOptions truncated;
    truncated.cutBytes = 3;
    const Case cases[] = {
        {"signature", MakeBitmap8(16, 16, KnownHeight, signature)},
        {"bit depth", MakeBitmap8(16, 16, KnownHeight, trueColour)},
        {"compression", MakeBitmap8(16, 16, KnownHeight, compressed)},
        {"negative height", MakeBitmap8(16, 16, KnownHeight, topDown)},
        {"short pixel data", MakeBitmap8(16, 16, KnownHeight, truncated)},
        {"too small for a patch", MakeBitmap8(4, 4, KnownHeight)},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 30)},
    };
    TemporaryFolder folder;
    WorkingDirectory inFolder(folder.Path());
    TerrainManager* t = engine.terrain;
    for (const Case& c : cases) {
        WriteFile(folder / "bad.bmp", c.bytes);
        EXPECT_FALSE(TerrainTestAccess::ReadHeightBitmap(t, "bad.bmp")) << c.what;
        EXPECT_FALSE(TerrainTestAccess::ReadLightBitmap(t, "bad.bmp")) << c.what;
        EXPECT_EQ(t->byteHighMap, nullptr) << c.what;
        EXPECT_EQ(t->byteLightMap, nullptr) << c.what;
        EXPECT_EQ(t->mapWidth, 0) << c.what;
    }
    EXPECT_FALSE(TerrainTestAccess::ReadHeightBitmap(t, "missing.bmp"));
}

TEST_F(TerrainCreation, LightMapOfAnotherSizeIsRefused) {
    TemporaryFolder folder;
    WriteMaps(folder, MakeBitmap8(16, 16, KnownHeight), MakeBitmap8(20, 16, KnownLight));
    WorkingDirectory inFolder(folder.Path());
    const int buffersBefore = BufferManager::GetExemplar()->vertexBufferCount;
    EXPECT_FALSE(engine.terrain->CreateTerrain());
    EXPECT_FALSE(engine.terrain->created);
    EXPECT_EQ(engine.terrain->byteHighMap, nullptr);
    EXPECT_EQ(engine.terrain->patchVertexBuffers, nullptr);
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, buffersBefore);
}

TEST_F(TerrainCreation, MissingHeightMapFailsInsteadOfReportingACreatedTerrain) {
    TemporaryFolder folder;
    WriteFile(folder / "Grafik/Diverses/lightmap.bmp", MakeBitmap8(16, 16, KnownLight));
    WorkingDirectory inFolder(folder.Path());
    TerrainManager* t = engine.terrain;
    EXPECT_FALSE(t->CreateTerrain());
    EXPECT_FALSE(t->created);
    EXPECT_EQ(t->patchCopies, nullptr);
    // Drawing and picking on it do nothing.
    EXPECT_TRUE(t->RenderAll());
    int patch = 7;
    EXPECT_TRUE(t->GetTerrainPatch(400, 300, &patch));
    EXPECT_EQ(patch, -1);
}

TEST_F(TerrainCreation, CreatingAgainReleasesTheFirstTerrain) {
    TerrainManager* t = engine.terrain;
    BufferManager* pool = BufferManager::GetExemplar();
    const int emptyPool = pool->vertexBufferCount;
    ASSERT_TRUE(t->CreateTerrain());
    const int vertexBuffers = pool->vertexBufferCount;
    const int indexBuffers = pool->indexBufferCount;
    const int fels = t->texturSets[1]->GetTile(3);
    ASSERT_NE(fels, -1);
    ASSERT_TRUE(t->CreateTerrain());
    EXPECT_EQ(pool->vertexBufferCount, vertexBuffers);
    EXPECT_EQ(pool->indexBufferCount, indexBuffers);
    const int again = t->texturSets[1]->GetTile(3);
    ASSERT_NE(again, -1);
    EXPECT_EQ(TexturManager::GetExemplar()->entries[again].useCount, 1);
    // Set-up again gives everything back.
    ASSERT_TRUE(t->InitTerrainSystem());
    EXPECT_FALSE(t->created);
    EXPECT_EQ(pool->vertexBufferCount, emptyPool);
    EXPECT_EQ(TexturManager::GetExemplar()->GetTextur(again), nullptr);
}

TEST_F(TerrainCreation, RunFolderTerrainHasItsTexturesAndPatches) {
    TerrainManager* t = engine.terrain;
    ASSERT_TRUE(t->CreateTerrain());
    EXPECT_EQ(t->mapWidth, 128);
    EXPECT_EQ(t->mapHeight, 128);
    const int patches = (t->gridWidth - 1) * (t->gridHeight - 1);
    EXPECT_EQ(patches, 961);
    for (int i = 0; i < patches; ++i) {
        ASSERT_NE(t->patchVertexBuffers[i], -1) << i;
        ASSERT_NE(t->patchIndexBuffers[i], -1) << i;
    }
    for (int type : {0, 1, 2, 3, 4, 7}) {
        ASSERT_NE(t->texturSets[type], nullptr) << type;
        for (int n = 0; n < 8; ++n) {
            EXPECT_NE(t->texturSets[type]->GetTile(n), -1) << type << " tile " << n;
        }
    }
    EXPECT_EQ(t->texturSets[5], nullptr);
    EXPECT_EQ(t->texturSets[6], nullptr);
    TexturManager* cache = TexturManager::GetExemplar();
    EXPECT_STREQ(cache->entries[t->texturSets[1]->GetTile(3)].name, "Grafik\\Terrain\\Fels3.bmp");
    EXPECT_STREQ(cache->entries[t->texturSets[2]->GetEdge(15)].name, "Grafik\\Terrain\\Edgestone15.dds");
    EXPECT_STREQ(cache->entries[t->texturSets[4]->GetCorner(1)].name, "Grafik\\Terrain\\Cornersand1.dds");
    EXPECT_EQ(cache->entries[t->texturSets[3]->GetEdge(5)].filterFlag, 0);
    EXPECT_EQ(cache->entries[t->texturSets[3]->GetCorner(5)].filterFlag, 1);
    EXPECT_EQ(t->texturSets[1]->GetEdge(0), -1);
    EXPECT_EQ(t->texturSets[0]->GetEdge(1), -1);
}

TEST_F(TerrainCreation, OffsetsBelowFiveAreUsedAsFiveInTheMeshOnly) {
    auto image = MakeMapImage(
        16, 16, [](int, int) { return 40; }, [](int, int) { return 200; });
    const float offset = -7.5f;
    std::memcpy(&image[680 + 2 * 256 + (5 + 6 * 16) * 4], &offset, 4);
    ASSERT_TRUE(LoadImage(engine.terrain, image));
    TerrainManager* t = engine.terrain;
    // Sample (5, 6) is vertex a 1, b 2 of patch (1, 1), index 1 + 1 * 3.
    EXPECT_FLOAT_EQ(t->patchCopies[4].vertices[1 * 5 + 2].y, 40 * 0.025f + 6.0f - 5.0f);
    EXPECT_FLOAT_EQ(t->floatOwnHeightMap[5 + 6 * 16], -7.5f);
    EXPECT_FLOAT_EQ(t->patchCopies[4].vertices[0].y, 7.0f);
}

TEST_F(TerrainCreation, IndexRulesAndSmallAccessors) {
    auto image = MakeMapImage(
        32, 32, [](int, int) { return 0; }, [](int, int) { return 255; });
    ASSERT_TRUE(LoadImage(engine.terrain, image));
    TerrainManager* t = engine.terrain;
    const int w1 = t->gridWidth - 1; // 7, 49 patches
    EXPECT_EQ(t->GetEbeneIndex(0, w1), w1);
    EXPECT_EQ(t->GetEbeneIndex(6, 6), 48);
    EXPECT_EQ(t->GetEbeneIndex(7, 0), -1);
    EXPECT_EQ(t->GetEbeneIndex(0, -1), -1);
    EXPECT_FALSE(TerrainTestAccess::SetEbene(t, 7, 0, 2));
    EXPECT_EQ(TerrainTestAccess::GetEbene(t, 7, 0), -1);
    EXPECT_TRUE(TerrainTestAccess::SetEbene(t, 2, 3, 0x104));
    EXPECT_EQ(TerrainTestAccess::GetEbene(t, 2, 3), 4);
    int x = 0;
    int z = 0;
    EXPECT_TRUE(t->GetPosition(&x, &z, 17));
    EXPECT_EQ(x, 2);
    EXPECT_EQ(z, 3);
    unsigned char type = 0;
    unsigned char variant = 0;
    EXPECT_TRUE(TerrainTestAccess::SplitTile(t, &type, &variant, 0x37));
    EXPECT_EQ(type, 3);
    EXPECT_EQ(variant, 7);

    KameraKlass* camera = KameraKlass::GetExemplar();
    camera->position = D3DXVECTOR3(-3.9f, 40.0f, 2.0f);
    EXPECT_EQ(TerrainTestAccess::CurrentBufferView(t), 0);
    camera->position = D3DXVECTOR3(9.0f, 40.0f, 13.5f);
    EXPECT_EQ(TerrainTestAccess::CurrentBufferView(t), 2 * w1 + 3);

    // The stubs change nothing.
    unsigned char* heights = t->byteHighMap;
    EXPECT_TRUE(t->CreateTerrain("anything"));
    EXPECT_TRUE(TerrainTestAccess::ReadBitmap16(t));
    EXPECT_EQ(t->byteHighMap, heights);
}

TEST_F(TerrainCreation, NonSquareMapsUseOneNumberingWithoutSharedIndices) {
    for (const auto& size : {std::pair{24, 16}, std::pair{16, 24}, std::pair{260, 256}}) {
        SCOPED_TRACE(testing::Message() << size.first << " x " << size.second);
        auto image = MakeMapImage(size.first, size.second, KnownHeight, KnownLight);
        ASSERT_TRUE(LoadImage(engine.terrain, image));
        TerrainManager* t = engine.terrain;
        const int patches = (t->gridWidth - 1) * (t->gridHeight - 1);
        int built = 0;
        for (int i = 0; i < patches; ++i) {
            if (t->patchCopies[i].vertices == nullptr) {
                EXPECT_EQ(t->patchVertexBuffers[i], -1);
                continue;
            }
            ++built;
            // Every built patch sits where its index says.
            int px = 0;
            int pz = 0;
            t->GetPosition(&px, &pz, i);
            EXPECT_FLOAT_EQ(t->patchCopies[i].vertices[0].x, float(px * 4)) << i;
            EXPECT_FLOAT_EQ(t->patchCopies[i].vertices[0].z, float(pz * 4)) << i;
        }
        const int side = std::min(t->gridWidth, t->gridHeight) - 1;
        EXPECT_EQ(built, side * side);
        std::vector<unsigned char> grid(256 * 256, 7);
        EXPECT_FALSE(t->CalculatePermanentPlane(grid.data()));
    }
}

TEST_F(TerrainCreation, DeletingATerrainThatWasNeverCreatedReleasesNoOtherBuffer) {
    BufferManager* pool = BufferManager::GetExemplar();
    const float data[8] = {};
    const int vertexBuffer = pool->CreateVertexBuffer(data, sizeof(data), 0x242, false);
    const uint16_t indices[3] = {0, 1, 2};
    const int indexBuffer = pool->CreateIndexBuffer(indices, 0, sizeof(indices), 1);
    ASSERT_EQ(vertexBuffer, 0);
    ASSERT_EQ(indexBuffer, 0);
    TerrainManager* fresh = TerrainManager::GetExemplar();
    delete fresh;
    EXPECT_NE(pool->GetVertexBuffer(vertexBuffer), nullptr);
    EXPECT_NE(pool->GetIndexBuffer(indexBuffer), nullptr);
}
