// The MD2 model on the engine: the buffer it leaves in the pool (layout, sharing by file name), the
// skin in the texture cache, the box of frame 0, and which frames Render accepts.
#include "engine_setup.h"
#include "md2_test_file.h"

#include "core/buffer_manager.h"
#include "core/textur_manager.h"
#include "d3d9/d3d9_testing.h"
#include "models/gfx_object.h"
#include "models/model_md2.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace models_test;
namespace d3d9 = platform::d3d9;

class ModelMD2Test : public ::testing::Test {
protected:
    void SetUp() override {
        device = SetUpEngine();
        ASSERT_NE(device, nullptr);
        md2_test::WriteModel(folder / "cube.md2", md2_test::Cube({2.0f, 4.0f, 6.0f}));
        md2_test::WriteModel(folder / "tri.md2", md2_test::OneTriangle(2));
        WriteSolidPicture(folder / "skin.png", 16, 16, 0xFFC08040);
    }

    std::vector<MD2Vertex> BufferContents(int id) {
        IDirect3DVertexBuffer9* buffer = BufferManager::GetExemplar()->GetVertexBuffer(id);
        std::vector<MD2Vertex> vertices;
        if (buffer == nullptr) {
            return vertices;
        }
        D3DVERTEXBUFFER_DESC desc;
        buffer->GetDesc(&desc);
        void* data = nullptr;
        if (FAILED(buffer->Lock(0, 0, &data, D3DLOCK_READONLY))) {
            return vertices;
        }
        vertices.resize(desc.Size / sizeof(MD2Vertex));
        std::memcpy(vertices.data(), data, vertices.size() * sizeof(MD2Vertex));
        buffer->Unlock();
        return vertices;
    }

    int HeldTextures() {
        TexturManager* cache = TexturManager::GetExemplar();
        int held = 0;
        for (int i = 0; i < cache->capacity; ++i) {
            held += cache->entries[i].texture != nullptr ? 1 : 0;
        }
        return held;
    }

    IDirect3DDevice9* device = nullptr;
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory workingDirectory{folder.Path()};
};

TEST_F(ModelMD2Test, CreatePutsEveryFrameIntoOneNamedBufferAndHoldsTheSkin) {
    ModelMD2 model(device);
    ASSERT_TRUE(model.Create("cube.md2", "skin.png", 1.0f));
    EXPECT_EQ(model.frameCount, 3);
    EXPECT_EQ(model.triangleCount, 12);
    EXPECT_EQ(model.vertexCount, 8);
    EXPECT_EQ(model.frameBytes, 12 * 60);
    EXPECT_EQ(model.screenFrameBytes, 12 * 72);
    EXPECT_EQ(model.screenVertexBuffer, -1);
    ASSERT_GE(model.vertexBuffer, 0);
    ASSERT_GE(model.skinTexture, 0);

    BufferManager* pool = BufferManager::GetExemplar();
    const VertexBufferSlot& slot = pool->vertexBuffers[model.vertexBuffer];
    EXPECT_STREQ(slot.name, "cube.md2");
    EXPECT_EQ(slot.bytes, 3 * 12 * 60);
    EXPECT_EQ(slot.vertexFormat, 0x102u);
    EXPECT_EQ(BufferContents(model.vertexBuffer).size(), 3u * 36u);
}

TEST_F(ModelMD2Test, BufferHoldsTheReversedSwappedScaledVertices) {
    ModelMD2 model(device);
    ASSERT_TRUE(model.Create("tri.md2", "skin.png", 2.0f));
    const std::vector<MD2Vertex> v = BufferContents(model.vertexBuffer);
    ASSERT_EQ(v.size(), 6u);
    // File vertex 0 of frame 0 decodes to (1, 2, 3); it is file corner 0, so stored corner 2.
    EXPECT_EQ(v[2].position, D3DXVECTOR3(2.0f, 6.0f, 4.0f));
    EXPECT_FLOAT_EQ(v[2].tu, 0.5f);
    EXPECT_FLOAT_EQ(v[2].tv, 0.0f);
    EXPECT_EQ(v[0].position, D3DXVECTOR3(2.0f, 8.0f, 12.0f));
    // Frame 1 starts at frameBytes and is the same triangle one unit higher in file y (so in z).
    EXPECT_EQ(v[5].position, D3DXVECTOR3(2.0f, 6.0f, 6.0f));
}

TEST_F(ModelMD2Test, BoundingBoxIsFrameZerosAfterSwapAndBothScales) {
    ModelMD2 model(device);
    ASSERT_TRUE(model.Create("cube.md2", "skin.png", 3.0f));
    D3DXVECTOR3 min, max;
    model.GetBoundingBox(&min, &max);
    // Frame 0 is an edge-2 cube about the origin; scale 3 makes it -3..3. Frame 2 (edge 6) reaches 9.
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR((&min.x)[a], -3.0f, 1e-4f) << a;
        EXPECT_NEAR((&max.x)[a], 3.0f, 1e-4f) << a;
    }
    D3DXVECTOR3 untouched(7.0f, 7.0f, 7.0f);
    model.GetBoundingBox(&untouched, nullptr);
    EXPECT_EQ(untouched, D3DXVECTOR3(7.0f, 7.0f, 7.0f));
    model.GetBoundingBox(nullptr, &untouched);
    EXPECT_EQ(untouched, D3DXVECTOR3(7.0f, 7.0f, 7.0f));
}

TEST_F(ModelMD2Test, SecondModelOfTheSameFileSharesTheBufferWithItsOwnBox) {
    ModelMD2 first(device);
    ModelMD2 second(device);
    ASSERT_TRUE(first.Create("cube.md2", "skin.png", 1.0f));
    ASSERT_TRUE(second.Create("cube.md2", "skin.png", 2.0f));
    EXPECT_EQ(first.vertexBuffer, second.vertexBuffer);
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 1);
    // The shared buffer keeps the first scale; the box follows the second model's own scale.
    float largest = 0.0f;
    const std::vector<MD2Vertex> shared = BufferContents(second.vertexBuffer);
    for (size_t i = 0; i < 36; ++i) {
        largest = std::max(largest, shared[i].position.x);
    }
    EXPECT_NEAR(largest, 1.0f, 1e-4f);
    EXPECT_NEAR(second.boxMax.x, 2.0f, 1e-4f);
    EXPECT_NEAR(first.boxMax.x, 1.0f, 1e-4f);
    EXPECT_EQ(first.skinTexture, second.skinTexture) << "one skin, two holders";
    first.Release();
    EXPECT_NE(TexturManager::GetExemplar()->GetTextur(second.skinTexture), nullptr);
}

TEST_F(ModelMD2Test, MissingOrBrokenFileLeavesNothingInThePoolOrCache) {
    std::vector<uint8_t> broken = md2_test::Cube({2.0f}).Bytes();
    broken.resize(broken.size() - 10);
    testing_support::WriteFile(folder / "broken.md2", broken);
    for (const char* file : {"absent.md2", "broken.md2"}) {
        ModelMD2 model(device);
        EXPECT_FALSE(model.Create(file, "skin.png", 1.0f)) << file;
        EXPECT_EQ(model.vertexBuffer, -1) << file;
        EXPECT_EQ(model.skinTexture, -1) << file;
        EXPECT_EQ(model.frameCount, 0) << file;
    }
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 0);
    EXPECT_EQ(HeldTextures(), 0);
}

TEST_F(ModelMD2Test, MissingSkinFailsButLeavesTheBufferForTheNextModel) {
    int leftBuffer = -1;
    {
        ModelMD2 model(device);
        EXPECT_FALSE(model.Create("cube.md2", "noskin.png", 1.0f));
        EXPECT_EQ(model.frameCount, 0);
        EXPECT_EQ(model.skinTexture, -1);
        leftBuffer = model.vertexBuffer;
    }
    ASSERT_GE(leftBuffer, 0);
    EXPECT_EQ(HeldTextures(), 0);
    ModelMD2 next(device);
    ASSERT_TRUE(next.Create("cube.md2", "skin.png", 1.0f));
    EXPECT_EQ(next.vertexBuffer, leftBuffer);
}

TEST_F(ModelMD2Test, RenderDrawsFramesInRangeAtTheirOffsets) {
    ModelMD2 model(device);
    ASSERT_TRUE(model.Create("cube.md2", "skin.png", 1.0f));
    GFXObject object;
    device->BeginScene();
    d3d9::EnableCallTrace(true);
    for (int frame : {-1, 0, 2, 3, 198}) {
        d3d9::ClearCallTrace();
        object.frame = frame;
        const bool inRange = frame >= 0 && frame < 3;
        EXPECT_EQ(model.Render(&object), inRange) << "frame " << frame;
        EXPECT_EQ(CountCalls("DrawPrimitive"), inRange ? 1 : 0) << "frame " << frame;
        if (inRange) {
            const auto streams = d3d9::CallTraceLines("SetStreamSource");
            ASSERT_EQ(streams.size(), 1u);
            IDirect3DVertexBuffer9* buffer =
                BufferManager::GetExemplar()->GetVertexBuffer(model.vertexBuffer);
            EXPECT_EQ(streams[0], d3d9::FormatCall("SetStreamSource", {0, uint64_t(uintptr_t(buffer)),
                                                                       uint64_t(720 * frame), 20}));
            EXPECT_EQ(d3d9::CallTraceLines("DrawPrimitive")[0],
                      d3d9::FormatCall("DrawPrimitive", {D3DPT_TRIANGLELIST, 0, 12}));
        }
    }
    d3d9::EnableCallTrace(false);
    device->EndScene();
}

TEST_F(ModelMD2Test, Render2DWithoutScreenCopyFailsBeforeTouchingTheDevice) {
    ModelMD2 model(device);
    ASSERT_TRUE(model.Create("cube.md2", "skin.png", 1.0f));
    GFXObject object;
    d3d9::EnableCallTrace(true);
    d3d9::ClearCallTrace();
    EXPECT_FALSE(model.Render2D(&object, 10, 20));
    EXPECT_TRUE(d3d9::CallTrace().empty());
    d3d9::EnableCallTrace(false);
}

} // namespace
