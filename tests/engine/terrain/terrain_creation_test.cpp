// Creation of the terrain from the two 8-bit bitmaps and from map images: the readers' checks, the patch
// meshes and their buffers, maps that are not square, a terrain made twice, deleted or never made, and
// the map image saved and loaded back, also through "Map\map1.cap".
#include "terrain_test_support.h"

#include "core/buffer_manager.h"
#include "core/textur_manager.h"
#include "core/gfx_main.h"
#include "d3d9/d3d9_testing.h"
#include "support/process_probes.h"
#include "support/test_files.h"
#include "terrain/terrain_textur_set.h"

#include <cmath>
#include <cstring>
#include <set>

using namespace terrain_test;
namespace d3d = platform::d3d9;
using testing_support::PeakResidentKilobytes;
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

// The terrain's map image, written into a buffer of 0xCD bytes.
std::vector<unsigned char> SaveMap(TerrainManager* t) {
    const size_t size =
        680 + 6 * size_t(t->mapWidth * t->mapHeight) + 2 * size_t(t->gridWidth * t->gridHeight);
    std::vector<unsigned char> image(size, 0xCD);
    unsigned char* data = image.data();
    unsigned long written = 0;
    EXPECT_TRUE(t->GetSaveMap(&data, &written));
    EXPECT_EQ(written, size);
    return image;
}

using TerrainCreation = TerrainFixture;
using TerrainMapImage = TerrainFixture;

} // namespace

TEST_F(TerrainCreation, PatchMeshesAndTheWaterQuadFollowTheKnownMaps) {
    TemporaryFolder folder;
    WriteFile(folder / "Grafik/Diverses/heightmap.bmp", MakeBitmap8(16, 16, KnownHeight));
    WriteFile(folder / "Grafik/Diverses/lightmap.bmp", MakeBitmap8(16, 16, KnownLight));
    WorkingDirectory inFolder(folder.Path());
    ASSERT_TRUE(t->CreateTerrain()); // without textures in the folder: their loads fail, tolerated
    EXPECT_EQ(t->gridWidth, 4);
    const int patch = engine.Patch(1, 2);
    const TerrainVertex* copy = t->patchCopies[patch].vertices;
    ASSERT_NE(copy, nullptr);
    for (int k = 0; k < 25; ++k) {
        const TerrainVertex& v = copy[k];
        const int sx = 4 + k / 5; // vertex a, b lies at sample (px * 4 + a, pz * 4 + b)
        const int sz = 8 + k % 5;
        const uint32_t l = KnownLight(sx, sz);
        EXPECT_FLOAT_EQ(v.y, MeshHeight(KnownHeight(sx, sz), 0.0f)) << k;
        EXPECT_EQ(v.diffuse, 0xFF000000u | l << 16 | l << 8 | l) << k;
        EXPECT_FLOAT_EQ(v.tu0, float(k / 5) / 4.0f) << k;
        EXPECT_FLOAT_EQ(v.tv1, float(k % 5) / 5.0f) << k;
    }
    // Cell r 2, c 3: q = 13, two triangles q, q+1, q+5 and q+5, q+1, q+6.
    const uint16_t cell[6] = {13, 14, 18, 18, 14, 19};
    EXPECT_EQ(std::memcmp(t->patchCopies[patch].indices + (2 * 4 + 3) * 6, cell, sizeof(cell)), 0);
    const auto buffered = ReadVertexBuffer(t->patchVertexBuffers[patch], 25);
    ASSERT_EQ(buffered.size(), 25u);
    EXPECT_EQ(std::memcmp(buffered.data(), copy, 800), 0);
    const PatchBox& box = t->patchBoxes[patch];
    EXPECT_FLOAT_EQ(box.min.y, MeshHeight(KnownHeight(4, 8), 0.0f));
    EXPECT_FLOAT_EQ(box.max.y, MeshHeight(KnownHeight(8, 12), 0.0f));

    // The water quad: an edge of 5 at height 5, white at alpha 120, two triangles sharing a diagonal.
    const auto water = ReadVertexBuffer(t->waterVertexBuffer, 4);
    ASSERT_EQ(water.size(), 4u);
    const float corners[4][4] = {{0, 0, 0, 0}, {5, 0, 1, 0}, {0, 5, 0, 1}, {5, 5, 1, 1}}; // x, z, tu0, tv0
    for (int k = 0; k < 4; ++k) {
        const TerrainVertex& v = water[size_t(k)];
        EXPECT_EQ(std::vector<float>({v.x, v.y, v.z, v.tu0, v.tv0}),
                  std::vector<float>({corners[k][0], 5.0f, corners[k][1], corners[k][2], corners[k][3]}))
            << k;
        EXPECT_EQ(v.diffuse, 0x78FFFFFFu) << k;
    }
    IDirect3DIndexBuffer9* waterIndices = BufferManager::GetExemplar()->GetIndexBuffer(t->waterIndexBuffer);
    void* locked = nullptr;
    ASSERT_TRUE(waterIndices != nullptr && waterIndices->Lock(0, 0, &locked, D3DLOCK_READONLY) >= 0);
    const uint16_t triangles[6] = {0, 1, 2, 2, 1, 3};
    EXPECT_EQ(std::memcmp(locked, triangles, sizeof(triangles)), 0);
    waterIndices->Unlock();
    EXPECT_TRUE(t->CreateTerrain("elsewhere.bmp"));
    EXPECT_EQ(t->patchCopies[patch].vertices, copy) << "the named creation changes nothing";
}

TEST_F(TerrainCreation, BrokenBitmapsAreRefusedWithNothingChangedAndPaddedRowsAreRead) {
    // A good bitmap with one header byte changed, or cut short.
    const std::vector<uint8_t> good = MakeBitmap8(16, 16, KnownHeight);
    const struct {
        const char* what;
        size_t at;
        uint8_t value;
        size_t kept;
    } spoilt[] = {{"signature", 1, 'X', good.size()},
                  {"bit depth", 28, 24, good.size()},
                  {"compression", 30, 1, good.size()},
                  {"negative height", 25, 0xFF, good.size()},
                  {"short pixel data", 0, 'B', good.size() - 3},
                  {"header only", 0, 'B', 30}};
    std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"too small for a patch", MakeBitmap8(4, 4, KnownHeight)}};
    for (const auto& s : spoilt) {
        cases.emplace_back(s.what, good);
        cases.back().second[s.at] = s.value;
        cases.back().second.resize(s.kept);
    }
    TemporaryFolder folder;
    WorkingDirectory inFolder(folder.Path());
    for (const auto& [what, bytes] : cases) {
        WriteFile(folder / "bad.bmp", bytes);
        EXPECT_FALSE(TerrainTestAccess::ReadHeightBitmap(t, "bad.bmp")) << what;
        EXPECT_FALSE(TerrainTestAccess::ReadLightBitmap(t, "bad.bmp")) << what;
        EXPECT_EQ(t->byteHighMap, nullptr) << what;
        EXPECT_EQ(t->byteLightMap, nullptr) << what;
        EXPECT_EQ(t->mapWidth, 0) << what;
    }
    EXPECT_FALSE(TerrainTestAccess::ReadHeightBitmap(t, "missing.bmp"));

    // A palette of 16 colours and 6 bytes before the pixels: they start where the file header says.
    std::vector<uint8_t> small = MakeBitmap8(16, 8, KnownHeight);
    std::vector<uint8_t> shifted(small.begin(), small.begin() + 54 + 64);
    shifted.insert(shifted.end(), 6, 0xEE);
    shifted.insert(shifted.end(), small.begin() + 54 + 1024, small.end());
    const uint32_t dataOffset = 54 + 64 + 6, coloursUsed = 16;
    std::memcpy(&shifted[10], &dataOffset, 4);
    std::memcpy(&shifted[46], &coloursUsed, 4);
    WriteFile(folder / "shifted.bmp", shifted);
    ASSERT_TRUE(TerrainTestAccess::ReadHeightBitmap(t, "shifted.bmp"));
    EXPECT_EQ(std::vector<uint8_t>(t->byteHighMap, t->byteHighMap + 3), std::vector<uint8_t>({0, 10, 20}));
    EXPECT_EQ(t->byteHighMap[16 * 8 - 1], KnownHeight(15, 7));

    // Width 10 is stored in rows of 12 bytes, the bottom row first.
    WriteFile(folder / "h.bmp", MakeBitmap8(10, 8, KnownHeight));
    ASSERT_TRUE(TerrainTestAccess::ReadHeightBitmap(t, "h.bmp"));
    ASSERT_EQ(t->mapWidth, 10);
    ASSERT_EQ(t->mapHeight, 8);
    for (int i = 0; i < 80; ++i) {
        EXPECT_EQ(t->byteHighMap[i], KnownHeight(i % 10, i / 10)) << i;
    }
}

TEST_F(TerrainCreation, MismatchedOrMissingMapsFailInsteadOfReportingACreatedTerrain) {
    BufferManager* pool = BufferManager::GetExemplar();
    const int buffersBefore = pool->vertexBufferCount;
    const struct {
        const char* what;
        bool heightMap;
        int lightWidth, lightHeight;
    } cases[] = {{"light map wider", true, 20, 16},
                 {"light map taller", true, 16, 20},
                 {"no height map", false, 16, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryFolder folder;
        if (c.heightMap) {
            WriteFile(folder / "Grafik/Diverses/heightmap.bmp", MakeBitmap8(16, 16, KnownHeight));
        }
        WriteFile(folder / "Grafik/Diverses/lightmap.bmp",
                  MakeBitmap8(c.lightWidth, c.lightHeight, KnownLight));
        WorkingDirectory inFolder(folder.Path());
        EXPECT_FALSE(t->CreateTerrain());
        EXPECT_FALSE(t->created);
        EXPECT_EQ(t->byteHighMap, nullptr);
        EXPECT_EQ(t->patchCopies, nullptr);
        EXPECT_EQ(pool->vertexBufferCount, buffersBefore);
        EXPECT_TRUE(t->RenderAll());
    }
}

TEST_F(TerrainCreation, CreatingAgainOrDeletingReleasesTheTerrainsBuffersAndTextures) {
    BufferManager* pool = BufferManager::GetExemplar();
    TexturManager* cache = TexturManager::GetExemplar();
    // Vertex buffers, index buffers and textures held.
    auto held = [&] {
        int textures = 0;
        for (int i = 0; i < cache->capacity; ++i) {
            textures += cache->entries[i].texture != nullptr ? 1 : 0;
        }
        return std::vector<int>{pool->vertexBufferCount, pool->indexBufferCount, textures};
    };
    const auto empty = held();
    ASSERT_TRUE(t->CreateTerrain());
    const auto created = held();
    ASSERT_TRUE(t->CreateTerrain());
    EXPECT_EQ(held(), created);
    EXPECT_EQ(cache->entries[t->texturSets[1]->GetTile(3)].useCount, 1);
    // The root deletes the terrain first, while the pool and the cache still exist.
    delete t;
    EXPECT_EQ(held(), empty);
}

TEST_F(TerrainCreation, DeletingATerrainThatWasNeverCreatedReleasesNoOtherBuffer) {
    BufferManager* pool = BufferManager::GetExemplar();
    const float data[8] = {};
    const uint16_t indices[3] = {0, 1, 2};
    const int vertexBuffer = pool->CreateVertexBuffer(data, sizeof(data), 0x242, false);
    const int indexBuffer = pool->CreateIndexBuffer(indices, 0, sizeof(indices), 1);
    ASSERT_EQ(vertexBuffer, 0);
    ASSERT_EQ(indexBuffer, 0);
    delete t;
    EXPECT_NE(pool->GetVertexBuffer(vertexBuffer), nullptr);
    EXPECT_NE(pool->GetIndexBuffer(indexBuffer), nullptr);
}

TEST_F(TerrainCreation, MapsThatAreNotSquareAreMeshedDrawnPickedAndEditedOverTheirWholeArea) {
    // A flat map at height 6, seen from 30 units right of and 10 ahead of a far corner at 55 degrees
    // down: the centre of the screen meets the ground 30 units right of and 33.8 ahead of that corner.
    const float groundAhead = 34.0f / std::tan(PITCH_55);
    const struct {
        int w, h;
        float cornerX, cornerZ;
    } maps[] = {{512, 128, 448.0f, 0.0f}, {64, 256, 0.0f, 200.0f}};
    for (const auto& map : maps) {
        SCOPED_TRACE(testing::Message() << map.w << " x " << map.h);
        auto image = MakeMapImage(
            map.w, map.h, [](int, int) { return 0; }, [](int, int) { return 255; });
        ASSERT_TRUE(LoadImage(t, image));
        // Each of the (w/4 - 1) x (h/4 - 1) patches is meshed once, where its index places it.
        const int patches = (map.w / 4 - 1) * (map.h / 4 - 1);
        std::set<std::pair<int, int>> corners;
        for (int i = 0; i < patches; ++i) {
            ASSERT_NE(t->patchCopies[i].vertices, nullptr) << i;
            int px = -1;
            int pz = -1;
            t->GetPosition(&px, &pz, i);
            const TerrainVertex& corner = t->patchCopies[i].vertices[0];
            ASSERT_EQ(std::pair(int(corner.x), int(corner.z)), std::pair(px * 4, pz * 4)) << i;
            EXPECT_TRUE(corner.x <= float(map.w - 8) && corner.z <= float(map.h - 8)) << i;
            corners.insert({px, pz});
        }
        EXPECT_EQ(int(corners.size()), patches);

        // Drawn, picked and raised over there.
        engine.PlaceCamera(map.cornerX + 30.0f, 40.0f, map.cornerZ + 10.0f, PITCH_55);
        auto centreIsGround = [&] {
            engine.root->UpdateEngine();
            engine.device->BeginScene();
            t->RenderAll();
            engine.device->EndScene();
            return (d3d::ReadBackBufferPixel(engine.device, 400, 300) & 0xFFFFFF) != 0;
        };
        t->created = true; // a loaded map without texture sets draws in its vertex colours
        EXPECT_TRUE(centreIsGround());
        int patch = -1;
        float x = 0.0f;
        float z = 0.0f;
        t->GetTerrainPatch(400, 300, &patch);
        t->PickTerrainPosition(400, 300, &x, &z);
        ASSERT_NE(patch, -1);
        EXPECT_NEAR(x, map.cornerX + 30.0f, 1e-3f);
        EXPECT_NEAR(z, map.cornerZ + 10.0f + groundAhead, 1e-3f);
        const TerrainVertex& picked = t->patchCopies[patch].vertices[0];
        EXPECT_EQ(std::pair(int(picked.x) / 4, int(picked.z) / 4), std::pair(int(x) / 4, int(z) / 4));
        ASSERT_TRUE(t->IncreaseTerrainPosition(patch, 2));

        // After the map image is saved and loaded again, the patch is a grass plateau 6 higher and its
        // neighbour toward +x a rock slope down from it.
        auto saved = SaveMap(t);
        ASSERT_TRUE(LoadImage(t, saved));
        auto patchAt = [&](int px, int pz) {
            for (int i = 0; i < patches; ++i) {
                const TerrainVertex& corner = t->patchCopies[i].vertices[0];
                if (int(corner.x) == px * 4 && int(corner.z) == pz * 4) {
                    return i;
                }
            }
            return -1;
        };
        const int raised = patchAt(int(x) / 4, int(z) / 4);
        const int slope = patchAt(int(x) / 4 + 1, int(z) / 4);
        ASSERT_TRUE(raised != -1 && slope != -1);
        EXPECT_EQ(t->tileFeld[raised] >> 4, 3);
        EXPECT_EQ(t->ebeneFeld[raised], 2);
        EXPECT_EQ(t->tileFeld[slope] >> 4, 1);
        for (int k = 0; k < 25; ++k) {
            EXPECT_FLOAT_EQ(t->patchCopies[raised].vertices[k].y, 12.0f) << k;
        }
        EXPECT_FLOAT_EQ(t->patchCopies[slope].vertices[2].y, 12.0f);
        EXPECT_FLOAT_EQ(t->patchCopies[slope].vertices[22].y, 6.0f);
        std::vector<unsigned char> grid(256 * 256, 7);
        EXPECT_FALSE(t->CalculatePermanentPlane(grid.data()));
    }
}

// Relative and absolute edits come back from the saved image: the raised patch 6.0 above its map
// height, and for the patch set to 1.0 the offset that reproduces it (the mesh takes offsets below -5
// as -5).
TEST_F(TerrainMapImage, SavedImageIsTheLoadedOneByteForByteAndRelativeAndAbsoluteEditsSurviveSaveAndReload) {
    // Written into a buffer of 0xCD bytes: the reserved header bytes come out as zeros too.
    auto image = MakeMapImage(64, 48, KnownHeight, KnownLight, 0x12);
    ASSERT_TRUE(LoadImage(t, image));
    EXPECT_EQ(SaveMap(t), image);

    const int plateau = 5 + 4 * 15;
    const int absolute = engine.Patch(1, 2);
    t->IncreaseTerrainPosition(plateau, 2);
    ASSERT_TRUE(t->PatchIncrease(0, absolute, 1.0f));
    t->tileFeld[3] = 0x57; // a type without a texture set is kept
    auto edited = SaveMap(t);
    ASSERT_TRUE(LoadImage(t, edited));
    EXPECT_EQ(t->tileFeld[3], 0x57);
    EXPECT_EQ(SaveMap(t), edited);
    for (int k = 0; k < 25; ++k) {
        const TerrainVertex& v = t->patchCopies[plateau].vertices[k];
        EXPECT_FLOAT_EQ(v.y, MeshHeight(KnownHeight(int(v.x), int(v.z)), 6.0f)) << k;
        const TerrainVertex& a = t->patchCopies[absolute].vertices[k];
        const int byte = KnownHeight(int(a.x), int(a.z));
        EXPECT_FLOAT_EQ(t->floatOwnHeightMap[int(a.x) + int(a.z) * 64], 1.0f - MeshHeight(byte, 0.0f)) << k;
        EXPECT_FLOAT_EQ(a.y, std::max(1.0f, MeshHeight(byte, -5.0f))) << k;
    }
}

TEST_F(TerrainMapImage, RefusedImagesAndFilesLeaveTheTerrainAsItWasAndTheFileIsAlwaysMap1Cap) {
    auto loaded = MakeMapImage(32, 32, KnownHeight, KnownLight);
    ASSERT_TRUE(LoadImage(t, loaded));
    const auto saved = SaveMap(t);
    unsigned char* heights = t->byteHighMap;
    auto expectUnchanged = [&](const char* what) {
        EXPECT_EQ(t->byteHighMap, heights) << what;
        EXPECT_EQ(t->mapWidth, 32) << what;
        EXPECT_EQ(SaveMap(t), saved) << what;
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
    // 127 x 63 patches need more buffers than the engine's pool of 5000 slots holds.
    auto tooManyPatches = MakeMapImage(512, 256, KnownHeight, KnownLight);
    EXPECT_FALSE(LoadImage(t, tooManyPatches));
    expectUnchanged("more patches than buffers");

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

TEST_F(TerrainMapImage, SparseGigabyteBitmapAndMapFileAreRefusedWithoutGrowingTheProcess) {
    auto loaded = MakeMapImage(32, 32, KnownHeight, KnownLight);
    ASSERT_TRUE(LoadImage(t, loaded));
    const auto saved = SaveMap(t);
    // Good headers at the start of files of 1 GiB that hold nothing more: no map is that large.
    TemporaryFolder folder;
    WorkingDirectory inFolder(folder.Path());
    WriteFile(folder / "huge.bmp", MakeBitmap8(16, 16, KnownHeight));
    WriteFile(folder / "Map/map1.cap", MakeMapImage(40, 40, KnownHeight, KnownLight));
    for (const char* name : {"huge.bmp", "Map/map1.cap"}) {
        std::filesystem::resize_file(folder / name, uintmax_t(1) << 30);
    }
    const long before = PeakResidentKilobytes();
    EXPECT_FALSE(TerrainTestAccess::ReadHeightBitmap(t, "huge.bmp"));
    EXPECT_FALSE(TerrainTestAccess::ReadLightBitmap(t, "huge.bmp"));
    EXPECT_FALSE(t->LoadMapFromFilename(nullptr));
    EXPECT_LT(PeakResidentKilobytes() - before, 64 * 1024);
    EXPECT_EQ(SaveMap(t), saved);
}

TEST_F(TerrainMapImage, SmallestAndLargestSidesAreReadFromImagesAndBitmapsAndOneSampleFewerOrMoreIsRefused) {
    TemporaryFolder folder;
    WorkingDirectory inFolder(folder.Path());
    // 8 samples make one patch; 4096 the longest side; a side of 7 or beyond 4096 is refused.
    const struct {
        int w, h;
        bool accepted;
    } sides[] = {{8, 8, true},    {7, 8, false},    {8, 7, false},   {4096, 8, true},
                 {8, 4096, true}, {4100, 8, false}, {8, 4097, false}};
    int width = 0;
    for (const auto& side : sides) {
        SCOPED_TRACE(testing::Message() << side.w << " x " << side.h);
        auto image = MakeMapImage(side.w, side.h, KnownHeight, KnownLight);
        EXPECT_EQ(LoadImage(t, image), side.accepted);
        width = side.accepted ? side.w : width;
        ASSERT_EQ(t->mapWidth, width);
        if (side.accepted) {
            // The last patch's far corner lies on sample (w - 4, h - 4).
            const int w = side.w / 4;
            const int h = side.h / 4;
            ASSERT_EQ(std::pair(t->gridWidth, t->gridHeight), std::pair(w, h));
            const TerrainVertex& corner = t->patchCopies[(w - 1) * (h - 1) - 1].vertices[24];
            EXPECT_EQ(std::pair(corner.x, corner.z), std::pair(float(side.w - 4), float(side.h - 4)));
            EXPECT_FLOAT_EQ(corner.y, MeshHeight(KnownHeight(side.w - 4, side.h - 4), 0.0f));
            const uint32_t l = KnownLight(side.w - 4, side.h - 4);
            EXPECT_EQ(corner.diffuse, 0xFF000000u | l << 16 | l << 8 | l);
        }
        WriteFile(folder / "side.bmp", MakeBitmap8(side.w, side.h, KnownHeight));
        EXPECT_EQ(TerrainTestAccess::ReadHeightBitmap(t, "side.bmp"), side.accepted);
        ASSERT_EQ(t->mapWidth, width);
        if (side.accepted) {
            EXPECT_EQ(t->mapHeight, side.h);
            EXPECT_EQ(t->byteHighMap[side.w * side.h - 1], KnownHeight(side.w - 1, side.h - 1));
        }
    }
}
