// The models on the engine: the MD2 model's buffer (shared by file name), skin and frames, the
// billboard's facing and refusals, and the model table's slots, releases and shut-down.
#include "engine_setup.h"
#include "md2_test_file.h"

#include "core/buffer_manager.h"
#include "core/textur_manager.h"
#include "d3d9/d3d9_testing.h"
#include "models/billbord_sprite.h"
#include "models/gfx_object.h"
#include "models/model_manager.h"
#include "models/model_md2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace models_test;
namespace d3d9 = platform::d3d9;

using ModelMD2Test = EngineTest;
using BillbordTest = EngineTest;

class ModelManagerTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        table = ModelManager::GetExemplar();
        ASSERT_EQ(table, GFXMain::GetExemplar()->getModelManager());
    }
    int Sprite(int wanted) { return table->PrepareBillbordSprite("strip.png", 4, 1.0f, 2.0f, wanted); }
    int Md2(int wanted) { return table->PrepareModelMD2("cube.md2", "skin.png", 1.0f, wanted); }

    ModelManager* table = nullptr;
};

} // namespace

TEST_F(ModelMD2Test, SecondModelOfTheSameFileSharesTheBufferAtTheFirstScale) {
    ModelMD2 first(device);
    ModelMD2 second(device);
    ASSERT_TRUE(first.Create("cube.md2", "skin.png", 1.0f));
    ASSERT_TRUE(second.Create("cube.md2", "skin.png", 3.0f));
    EXPECT_EQ(first.frameCount, 3);
    EXPECT_EQ(first.vertexBuffer, second.vertexBuffer);
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 1);
    float largest = 0.0f;
    for (const MD2Vertex& v :
         ReadRecords<MD2Vertex>(BufferManager::GetExemplar()->GetVertexBuffer(second.vertexBuffer), 36)) {
        largest = std::max(largest, v.position.x);
    }
    EXPECT_NEAR(largest, 1.0f, 1e-4f) << "the buffer keeps the first model's scale";
    // Each box is frame 0 (edge 2) at the model's own scale.
    EXPECT_NEAR(first.boxMax.x, 1.0f, 1e-4f);
    EXPECT_NEAR(second.boxMin.z, -3.0f, 1e-4f);
    EXPECT_EQ(first.skinTexture, second.skinTexture) << "one skin, two holders";
    first.Release();
    EXPECT_NE(TexturManager::GetExemplar()->GetTextur(second.skinTexture), nullptr);
}

TEST_F(ModelMD2Test,
       MissingFileBrokenFileMissingSkinOrBillbordWithZeroOrNegativeFramesIsRefusedAndHoldsNoTexture) {
    std::vector<uint8_t> broken = md2_test::Cube({2.0f}).Bytes();
    broken.resize(broken.size() - 10);
    testing_support::WriteFile(folder / "broken.md2", broken);
    for (const char* file : {"absent.md2", "broken.md2"}) {
        ModelMD2 model(device);
        EXPECT_FALSE(model.Create(file, "skin.png", 1.0f)) << file;
        EXPECT_EQ(model.vertexBuffer, -1) << file;
        EXPECT_EQ(model.frameCount, 0) << file;
    }
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 0);
    ModelMD2 noSkin(device);
    EXPECT_FALSE(noSkin.Create("cube.md2", "noskin.png", 1.0f));
    EXPECT_EQ(noSkin.skinTexture, -1);
    EXPECT_EQ(noSkin.frameCount, 0);
    for (int frames : {0, -3}) {
        BillbordSprite sprite(device);
        EXPECT_FALSE(sprite.Create("strip.png", frames, 1.0f, 1.0f)) << frames;
        EXPECT_EQ(sprite.vertexBuffer, -1);
        EXPECT_FALSE(sprite.SetFrame(0, 255));
    }
    EXPECT_EQ(HeldTextures(), 0);
}

TEST_F(ModelMD2Test, FramesOutsideTheModelAreNotDrawnAndRender2DWithoutScreenCopyTouchesNothing) {
    ModelMD2 model(device);
    ASSERT_TRUE(model.Create("cube.md2", "skin.png", 1.0f));
    GFXObject object;
    device->BeginScene();
    const auto draws = TracedCalls(
        [&] {
            for (int frame : {-1, 3, 198}) {
                object.frame = frame;
                EXPECT_FALSE(model.Render(&object)) << "frame " << frame;
            }
        },
        "DrawPrimitive");
    EXPECT_TRUE(draws.empty());
    object.frame = 0;
    EXPECT_TRUE(TracedCalls([&] { EXPECT_FALSE(model.Render2D(&object, 10, 20)); }).empty());
    device->EndScene();
}

TEST(BillbordFacingAngle, FollowsTheCameraAboutYWithoutNaNStraightAbove) {
    const float pi = float(M_PI);
    const struct {
        float dx, dz, angle;
    } rows[] = {{10, 0, pi / 2}, {-10, 0, -pi / 2}, {0, 5, -pi}, {0, -5, 0}, {5, 5, pi / 4}, {0, 0, 0}};
    for (const auto& row : rows) {
        EXPECT_NEAR(BillbordFacingAngle(row.dx, row.dz), row.angle, 1e-6f) << row.dx << ", " << row.dz;
    }
}

TEST_F(BillbordTest, RenderThatCannotDrawIsReportedAndStillRestoresStates) {
    BillbordSprite sprite(device);
    ASSERT_TRUE(sprite.Create("strip.png", 4, 2.0f, 5.0f));
    GFXObject object;
    device->BeginScene();
    for (d3d9::Fault fault :
         {d3d9::Fault::SetTexture, d3d9::Fault::SetStreamSource, d3d9::Fault::DrawPrimitive}) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d3d9::InjectFault(fault);
        EXPECT_FALSE(sprite.Render(&object)) << int(fault);
        d3d9::ClearFaults();
        DWORD blend = 1, cull = 0;
        device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
        device->GetRenderState(D3DRS_CULLMODE, &cull);
        EXPECT_EQ(blend, DWORD(FALSE)) << int(fault);
        EXPECT_EQ(cull, DWORD(D3DCULL_CCW)) << int(fault);
    }
    EXPECT_TRUE(sprite.Render(&object));
    device->EndScene();
    EXPECT_FALSE(sprite.Render(&object)) << "outside a scene the device refuses the draw";
}

TEST_F(ModelManagerTest, WantedIdsAreTakenExactlyOrRefusedAndFailedCreationsLeaveTheirSlotFree) {
    EXPECT_FALSE(table->Init(0));
    EXPECT_EQ(Sprite(-1), -1) << "no table yet";
    ASSERT_TRUE(table->Init(4));
    EXPECT_FALSE(table->Init(8)) << "a second table would lose the models";
    EXPECT_EQ(Sprite(-1), 0);
    EXPECT_EQ(Md2(3), 3);
    EXPECT_EQ(Md2(3), -1) << "taken";
    EXPECT_EQ(Sprite(4), -1) << "outside the table, not moved to a free slot";
    EXPECT_EQ(table->PrepareModelMD2("absent.md2", "skin.png", 1.0f, -1), -1);
    EXPECT_EQ(table->PrepareBillbordSprite("strip.png", 0, 1.0f, 1.0f, 2), -1);
    EXPECT_EQ(table->slots[1].model, nullptr);
    EXPECT_EQ(table->slots[2].type, MODEL_SLOT_EMPTY);
    EXPECT_EQ(HeldTextures(), 2) << "the failed creations hold nothing";
    EXPECT_EQ(Sprite(-1), 1);
    EXPECT_EQ(Sprite(-1), 2);
    EXPECT_EQ(Sprite(-1), -1) << "full";
    EXPECT_EQ(table->slots[3].type, MODEL_SLOT_MD2);
}

TEST_F(ModelManagerTest, ReleasedModelsAnswerNothingAndGiveBackTexturesAndBuffers) {
    ASSERT_TRUE(table->Init(4));
    ASSERT_EQ(Sprite(-1), 0);
    ASSERT_EQ(Md2(-1), 1);
    D3DXVECTOR3 min, max;
    ASSERT_TRUE(table->GetBoundingBox4Model(&min, &max, 0));
    EXPECT_EQ(min, D3DXVECTOR3(-1.0f, -2.0f, -1.0f)) << "a billboard's box covers every turn";
    table->ReleaseModel(1);
    table->ReleaseModel(1);
    table->ReleaseModel(99);
    EXPECT_FALSE(table->GetBoundingBox4Model(&min, &max, 1));
    GFXObject object;
    object.modelId = 1;
    device->BeginScene();
    EXPECT_FALSE(table->RenderModel(&object));
    object.modelId = 0;
    EXPECT_FALSE(table->RenderModel2D(&object, 0, 0)) << "billboards have no 2D drawing";
    device->EndScene();
    table->ReleaseAll();
    EXPECT_EQ(HeldTextures(), 0);
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 1) << "the MD2 buffer stays under its name";
    EXPECT_EQ(Md2(-1), 0);
}

TEST_F(ModelManagerTest, ShutDownWithModelsHeldReleasesThemWhileTheCachesExist) {
    ASSERT_TRUE(table->Init(4));
    ASSERT_EQ(Sprite(-1), 0);
    ASSERT_EQ(Md2(-1), 1);
    // The root deletes the caches before the model table; the models must not reach freed caches
    // (the sanitizer build catches it).
    delete GFXMain::GetExemplar();
}
