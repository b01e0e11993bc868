// Models drawn on the software device: an MD2 cube whose frames differ in size, drawn with back faces
// culled; a billboard strip showing each frame and its transparency; the generated crystal and flame
// drawn through the tables. The pictures are written under test-output/models for a look.
#include "engine_setup.h"
#include "md2_test_file.h"

#include "core/kamera_klass.h"
#include "d3d9/d3d9_testing.h"
#include "models/gfx_object.h"
#include "models/model_manager.h"
#include "models/object_manager.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace {

using namespace models_test;
namespace d3d9 = platform::d3d9;

constexpr D3DCOLOR BACKGROUND = 0xFF102030;
constexpr D3DCOLOR SKIN = 0xFFC08040;
const POINT CENTRE = {SCREEN_WIDTH / 2, SCREEN_HEIGHT / 2};

class ModelPictures : public ::testing::Test {
protected:
    void SetUp() override {
        device = SetUpEngine();
        ASSERT_NE(device, nullptr);
        models = ModelManager::GetExemplar();
        ASSERT_TRUE(models->Init(8));
        PlaceCamera(device, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    }

    IDirect3DDevice9* device = nullptr;
    ModelManager* models = nullptr;
};

class TestDataPictures : public ModelPictures {
protected:
    void SetUp() override {
        ModelPictures::SetUp();
        md2_test::WriteModel(folder / "cube.md2", md2_test::Cube({4.0f, 8.0f}));
        WriteSolidPicture(folder / "skin.png", 16, 16, SKIN);
        WriteStrip(folder / "strip.png", 16, 16, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00});
    }

    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory workingDirectory{folder.Path()};
};

TEST_F(TestDataPictures, Md2FramesShowTheirOwnSize) {
    const int id = models->PrepareModelMD2("cube.md2", "skin.png", 1.0f, -1);
    ASSERT_GE(id, 0);
    GFXObject object;
    object.modelId = id;
    object.position = D3DXVECTOR3(0.0f, 0.0f, 40.0f);
    // A point that the front face of frame 1 (edge 8, front at z = 36) covers and frame 0 (edge 4) does not.
    const POINT onlyLarge = ProjectToScreen(device, D3DXVECTOR3(0.0f, 3.0f, 36.0f));
    for (int frame : {0, 1}) {
        object.frame = frame;
        BeginFrame(device, BACKGROUND);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        EXPECT_TRUE(models->RenderModel(&object));
        EndFrame(device);
        SavePicture(device, "md2_cube_frame" + std::to_string(frame));
        EXPECT_TRUE(PixelNear(device, CENTRE, SKIN)) << "frame " << frame;
        EXPECT_TRUE(PixelNear(device, onlyLarge, frame == 1 ? SKIN : BACKGROUND)) << "frame " << frame;
    }
}

TEST_F(TestDataPictures, Md2OutwardFacesSurviveBackFaceCulling) {
    const int id = models->PrepareModelMD2("cube.md2", "skin.png", 1.0f, -1);
    ASSERT_GE(id, 0);
    GFXObject object;
    object.modelId = id;
    object.position = D3DXVECTOR3(0.0f, 0.0f, 40.0f);
    WORD depth[2] = {};
    const DWORD culls[2] = {D3DCULL_CCW, D3DCULL_CW};
    for (int i = 0; i < 2; ++i) {
        BeginFrame(device, BACKGROUND);
        device->SetRenderState(D3DRS_CULLMODE, culls[i]);
        EXPECT_TRUE(models->RenderModel(&object));
        EndFrame(device);
        depth[i] = d3d9::ReadDepthValue(device, int(CENTRE.x), int(CENTRE.y));
    }
    // Culling counter-clockwise triangles keeps the near face (z = 38); culling clockwise ones shows the
    // inside of the far face (z = 42).
    EXPECT_LT(depth[0], depth[1]);
    EXPECT_GT(depth[0], 0);
}

TEST_F(TestDataPictures, BillbordShowsTheObjectsFrameOfTheStrip) {
    const int id = models->PrepareBillbordSprite("strip.png", 4, 4.0f, 8.0f, -1);
    ASSERT_GE(id, 0);
    GFXObject object;
    object.modelId = id;
    object.position = D3DXVECTOR3(0.0f, -4.0f, 40.0f);
    const D3DCOLOR colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
    for (int frame = 0; frame < 4; ++frame) {
        object.frame = frame;
        BeginFrame(device, BACKGROUND);
        EXPECT_TRUE(models->RenderModel(&object));
        EndFrame(device);
        SavePicture(device, "billbord_frame" + std::to_string(frame));
        EXPECT_TRUE(PixelNear(device, CENTRE, colours[frame])) << "frame " << frame;
        // Beside the quad (half width 4 at distance 40) the background stays.
        EXPECT_TRUE(PixelNear(device, ProjectToScreen(device, D3DXVECTOR3(5.0f, 0.0f, 40.0f)), BACKGROUND));
    }
}

TEST_F(TestDataPictures, BillbordAlphaBlendsAndCutsOffBelowSixteen) {
    const int id = models->PrepareBillbordSprite("strip.png", 4, 4.0f, 8.0f, -1);
    ASSERT_GE(id, 0);
    GFXObject object;
    object.modelId = id;
    object.frame = 2; // blue
    object.position = D3DXVECTOR3(0.0f, -4.0f, 40.0f);
    struct Row {
        int alpha;
        D3DCOLOR expected;
        const char* what;
    };
    const Row rows[] = {
        {0x1FF, 0xFF0000FF, "only the low byte counts"},
        {0x80, 0xFF081098, "half: 0x80 of blue over the background"},
        {0x10, 0xFF0F1E3D, "alpha 16 still drawn"},
        {0x0F, BACKGROUND, "alpha 15 dropped by the alpha test"},
        {0, BACKGROUND, "alpha 0 dropped"},
    };
    for (const Row& row : rows) {
        object.alpha = row.alpha;
        BeginFrame(device, BACKGROUND);
        EXPECT_TRUE(models->RenderModel(&object));
        EndFrame(device);
        EXPECT_TRUE(PixelNear(device, CENTRE, row.expected, 2)) << row.what;
    }
}

TEST_F(ModelPictures, GeneratedCrystalAndFlameThroughTheObjectTable) {
    // The generated data in the run folder, as a program of the engine would use them.
    testing_support::WorkingDirectory runFolder(ZONKEL_RUN_DIR);
    const int crystal =
        models->PrepareModelMD2("Grafik\\Models\\crystal.md2", "Grafik\\Models\\crystal.dds", 2.0f, -1);
    const int flame = models->PrepareBillbordSprite("Grafik\\Models\\flame.dds", 4, 3.0f, 8.0f, -1);
    ASSERT_GE(crystal, 0);
    ASSERT_GE(flame, 0);
    ObjectManager* objects = ObjectManager::GetExemplar();
    ASSERT_TRUE(objects->Init(8));
    // Camera at (0, 0, -20): the window is x in (-55, 55), z in (-10, 50).
    PlaceCamera(device, D3DXVECTOR3(0.0f, 0.0f, -20.0f));
    GFXObject* gem = new GFXObject();
    gem->position = D3DXVECTOR3(-6.0f, 0.0f, 20.0f);
    GFXObject* fire = new GFXObject();
    fire->position = D3DXVECTOR3(8.0f, -6.0f, 20.0f);
    ASSERT_TRUE(objects->AddObject(gem, crystal));
    ASSERT_TRUE(objects->AddObject(fire, flame));
    for (int frame = 0; frame < 3; ++frame) {
        gem->frame = frame;
        gem->yaw = 0.3f * float(frame);
        fire->frame = frame;
        BeginFrame(device, BACKGROUND);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        EXPECT_TRUE(objects->RenderAll());
        EndFrame(device);
        SavePicture(device, "crystal_and_flame_" + std::to_string(frame));
        EXPECT_TRUE(gem->inView);
        EXPECT_TRUE(fire->inView);
        EXPECT_FALSE(PixelNear(device, ProjectToScreen(device, gem->position), BACKGROUND, 8))
            << "the crystal covers its centre, frame " << frame;
        EXPECT_FALSE(PixelNear(
            device, ProjectToScreen(device, fire->position + D3DXVECTOR3(0.0f, 2.0f, 0.0f)), BACKGROUND, 8))
            << "the flame covers the lower middle of its quad, frame " << frame;
    }
}

} // namespace
