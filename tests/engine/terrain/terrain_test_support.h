// Shared set-up of the terrain tests: an engine on an off-screen window set up before each test, access
// to the terrain's private members, and builders for map images and 8-bit bitmaps with chosen contents.
#pragma once

#include "terrain/terrain_manager.h"

#include "core/buffer_manager.h"
#include "d3d9/d3d9.h"
#include "engine/device_probes.h"
#include "win32/windows_base.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

class GFXMain;

// Reaches the terrain's private members for tests.
struct TerrainTestAccess {
    static bool ReadHeightBitmap(TerrainManager* t, const char* path) {
        return t->CreateByteHighMapFromBMP8(path);
    }
    static bool ReadLightBitmap(TerrainManager* t, const char* path) {
        return t->CreateByteLightMapFromBMP8(path);
    }
    static int GetEbene(TerrainManager* t, int x, int z) { return t->GetEbene(x, z); }
    static bool SetEbene(TerrainManager* t, int x, int z, int level) { return t->SetEbene(x, z, level); }
    static unsigned char Surround(TerrainManager* t, int type, int patch, bool edges) {
        return t->GetSuroundTerrain(type, patch, edges ? 1 : 0);
    }
    static float HeightMapPos(TerrainManager* t, int sx, int sz) { return t->GetHeightMapPos(sx, sz); }
};

namespace terrain_test {

// Looks 55 degrees down; from (30, 40, 10) the centre of the screen meets height 6 in patch (7, 8)
// of a 64 x 64 map.
constexpr float PITCH_55 = 0.9599311f;

// The engine set up on an 800 x 600 off-screen window with the terrain bound to its managers.
struct Engine {
    HWND window = nullptr;
    GFXMain* root = nullptr;
    TerrainManager* terrain = nullptr;
    IDirect3DDevice9* device = nullptr;

    // False when the engine cannot be set up.
    bool Setup();
    // Sets the camera's view on the device, as the frame does.
    void ApplyView();
    void PlaceCamera(float x, float y, float z, float pitch);
    // Loads a size x size map with every height byte `height`, full light and every tile byte `tile`.
    bool LoadFlat(int size, uint8_t height = 0, unsigned char tile = 0);
    int Patch(int px, int pz) const { return pz + px * (terrain->gridHeight - 1); }
    float VertexY(int px, int pz, int a, int b) const {
        return terrain->patchCopies[Patch(px, pz)].vertices[a * 5 + b].y;
    }
    // Draws the terrain in a scene; the number of indexed draws it made.
    int CountDraws();
};

using SampleFunction = std::function<uint8_t(int sx, int sz)>;

// A map image of w x h samples with the given height and light samples, offsets 0, levels 0 and every
// tile byte `tile`.
std::vector<unsigned char> MakeMapImage(int w, int h, const SampleFunction& height,
                                        const SampleFunction& light, unsigned char tile = 0);

// Loads such an image into the terrain; false when LoadMap refuses it.
bool LoadImage(TerrainManager* terrain, std::vector<unsigned char>& image);

// The bytes of an 8-bit BMP; sample row 0 is written first (bottom-up), rows padded to 4 bytes.
std::vector<uint8_t> MakeBitmap8(int w, int h, const SampleFunction& sample);

// The height of a mesh vertex for a sample byte and offset.
float MeshHeight(int byte, float offset);

// Reads the vertices of a vertex buffer of the pool.
inline std::vector<TerrainVertex> ReadVertexBuffer(int id, int count) {
    return ReadRecords<TerrainVertex>(BufferManager::GetExemplar()->GetVertexBuffer(id), size_t(count));
}

class TerrainFixture : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Setup());
        t = engine.terrain;
    }
    Engine engine;
    TerrainManager* t = nullptr;
};

} // namespace terrain_test
