// The model table: slot choice for wanted ids, failed creations, releases, box lookups, drawing by id,
// and shut-down with models still held.
#include "engine_setup.h"
#include "md2_test_file.h"

#include "core/buffer_manager.h"
#include "core/textur_manager.h"
#include "models/gfx_object.h"
#include "models/model_manager.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace {

using namespace models_test;

class ModelManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = SetUpEngine();
        ASSERT_NE(device, nullptr);
        table = GFXMain::GetExemplar()->getModelManager();
        ASSERT_EQ(table, ModelManager::GetExemplar());
        md2_test::WriteModel(folder / "cube.md2", md2_test::Cube({2.0f, 3.0f}));
        WriteSolidPicture(folder / "skin.png", 8, 8, 0xFF20A040);
        WriteStrip(folder / "strip.png", 8, 8, {0xFFFF0000, 0xFF00FF00});
    }

    int Sprite(int wanted) { return table->PrepareBillbordSprite("strip.png", 2, 1.0f, 2.0f, wanted); }
    int Md2(int wanted) { return table->PrepareModelMD2("cube.md2", "skin.png", 1.0f, wanted); }

    int HeldTextures() {
        TexturManager* cache = TexturManager::GetExemplar();
        int held = 0;
        for (int i = 0; i < cache->capacity; ++i) {
            held += cache->entries[i].texture != nullptr ? 1 : 0;
        }
        return held;
    }

    IDirect3DDevice9* device = nullptr;
    ModelManager* table = nullptr;
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory workingDirectory{folder.Path()};
};

TEST_F(ModelManagerTest, InitRefusesNonPositiveSizesAndPreparesFailWithoutTable) {
    EXPECT_FALSE(table->Init(0));
    EXPECT_FALSE(table->Init(-5));
    EXPECT_EQ(table->capacity, 0);
    EXPECT_EQ(Sprite(-1), -1);
    EXPECT_EQ(Md2(-1), -1);
    EXPECT_EQ(Md2(0), -1);
}

TEST_F(ModelManagerTest, WantedIdsAreTakenExactlyOrRefused) {
    ASSERT_TRUE(table->Init(4));
    EXPECT_EQ(Sprite(-1), 0);
    EXPECT_EQ(Sprite(-1), 1);
    EXPECT_EQ(Md2(3), 3);
    EXPECT_EQ(Md2(3), -1) << "taken";
    EXPECT_EQ(Sprite(4), -1) << "outside the table, not moved to the free slot 2";
    EXPECT_EQ(Sprite(-1), 2);
    EXPECT_EQ(Sprite(-1), -1) << "full";
    EXPECT_EQ(table->slots[3].type, MODEL_SLOT_MD2);
    EXPECT_EQ(table->slots[0].type, MODEL_SLOT_BILLBORD);
}

TEST_F(ModelManagerTest, FailedCreateLeavesItsSlotFree) {
    ASSERT_TRUE(table->Init(4));
    EXPECT_EQ(table->PrepareModelMD2("absent.md2", "skin.png", 1.0f, -1), -1);
    EXPECT_EQ(table->PrepareBillbordSprite("absent.png", 2, 1.0f, 1.0f, 2), -1);
    EXPECT_EQ(table->PrepareBillbordSprite("strip.png", 0, 1.0f, 1.0f, -1), -1);
    EXPECT_EQ(table->slots[2].model, nullptr);
    EXPECT_EQ(table->slots[2].type, MODEL_SLOT_EMPTY);
    EXPECT_EQ(Sprite(-1), 0);
    EXPECT_EQ(Sprite(2), 2);
    EXPECT_EQ(HeldTextures(), 1) << "the failed creations hold nothing";
}

TEST_F(ModelManagerTest, ReleasedIdIsFreeAndAnswersNothing) {
    ASSERT_TRUE(table->Init(4));
    ASSERT_EQ(Sprite(-1), 0);
    ASSERT_EQ(Md2(-1), 1);
    table->ReleaseModel(1);
    D3DXVECTOR3 min(5.0f, 5.0f, 5.0f), max(5.0f, 5.0f, 5.0f);
    EXPECT_FALSE(table->GetBoundingBox4Model(&min, &max, 1));
    EXPECT_EQ(min, D3DXVECTOR3(5.0f, 5.0f, 5.0f));
    GFXObject object;
    object.modelId = 1;
    device->BeginScene();
    EXPECT_FALSE(table->RenderModel(&object));
    device->EndScene();
    table->ReleaseModel(1);
    table->ReleaseModel(-1);
    table->ReleaseModel(99);
    EXPECT_EQ(Md2(-1), 1);
}

TEST_F(ModelManagerTest, BoundingBoxByIdAndItsRefusals) {
    ASSERT_TRUE(table->Init(4));
    ASSERT_EQ(Sprite(-1), 0);
    ASSERT_EQ(table->PrepareModelMD2("cube.md2", "skin.png", 2.0f, -1), 1);
    D3DXVECTOR3 min, max;
    ASSERT_TRUE(table->GetBoundingBox4Model(&min, &max, 0));
    EXPECT_EQ(min, D3DXVECTOR3(-1.0f, -2.0f, -1.0f));
    EXPECT_EQ(max, D3DXVECTOR3(1.0f, 2.0f, 1.0f));
    ASSERT_TRUE(table->GetBoundingBox4Model(&min, &max, 1));
    EXPECT_NEAR(max.y, 2.0f, 1e-4f);
    EXPECT_FALSE(table->GetBoundingBox4Model(nullptr, &max, 0));
    EXPECT_FALSE(table->GetBoundingBox4Model(&min, nullptr, 0));
    EXPECT_FALSE(table->GetBoundingBox4Model(&min, &max, 2)) << "free slot";
    EXPECT_FALSE(table->GetBoundingBox4Model(&min, &max, 4));
    EXPECT_FALSE(table->GetBoundingBox4Model(&min, &max, -1));
}

TEST_F(ModelManagerTest, RenderModelByIdAndItsRefusals) {
    ASSERT_TRUE(table->Init(4));
    ASSERT_EQ(Sprite(-1), 0);
    ASSERT_EQ(Md2(-1), 1);
    GFXObject object;
    device->BeginScene();
    EXPECT_FALSE(table->RenderModel(&object)) << "modelId -1: never added";
    EXPECT_FALSE(table->RenderModel(nullptr));
    object.modelId = 0;
    EXPECT_TRUE(table->RenderModel(&object));
    object.modelId = 1;
    EXPECT_TRUE(table->RenderModel(&object));
    object.frame = 2;
    EXPECT_FALSE(table->RenderModel(&object)) << "frame past the model's two";
    object.modelId = 0;
    EXPECT_FALSE(table->RenderModel2D(&object, 0, 0)) << "billboards have no 2D drawing";
    object.modelId = 1;
    EXPECT_FALSE(table->RenderModel2D(&object, 0, 0)) << "no pretransformed copy";
    device->EndScene();
}

TEST_F(ModelManagerTest, SecondInitIsRefusedAndKeepsTheModels) {
    ASSERT_TRUE(table->Init(2));
    ASSERT_EQ(Sprite(-1), 0);
    EXPECT_FALSE(table->Init(8));
    EXPECT_EQ(table->capacity, 2);
    EXPECT_EQ(table->slots[0].type, MODEL_SLOT_BILLBORD);
}

TEST_F(ModelManagerTest, ReleaseAllGivesBackTexturesAndBuffers) {
    ASSERT_TRUE(table->Init(4));
    ASSERT_EQ(Sprite(-1), 0);
    ASSERT_EQ(Md2(-1), 1);
    EXPECT_EQ(HeldTextures(), 2);
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 2);
    table->ReleaseAll();
    EXPECT_EQ(HeldTextures(), 0);
    // The MD2 buffer stays in the pool under its file name; the sprite's quad is gone.
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(table->slots[i].model, nullptr);
        EXPECT_EQ(table->slots[i].type, MODEL_SLOT_EMPTY);
    }
}

TEST_F(ModelManagerTest, ShutDownWithModelsHeldReleasesThemWhileTheCachesExist) {
    ASSERT_TRUE(table->Init(4));
    ASSERT_EQ(Sprite(-1), 0);
    ASSERT_EQ(Md2(-1), 1);
    // The root deletes the caches before the model table; the models must not reach freed caches
    // (the sanitizer build catches it).
    delete GFXMain::GetExemplar();
    SUCCEED();
}

} // namespace
