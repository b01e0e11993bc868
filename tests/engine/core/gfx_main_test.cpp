// The engine root: set-up, the frame's steps and results, frames per second, the feature getters and
// forwards, and the order in which the root deletes its managers.
#include "core/buffer_manager.h"
#include "core/gfx_main.h"
#include "core/help_tools_3d.h"
#include "core/init_manager.h"
#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "d2d/d2d_manager.h"
#include "d2d/d3d_font.h"
#include "d3d9/d3d9_testing.h"
#include "models/model_manager.h"
#include "models/object_manager.h"
#include "particles/point_manager.h"
#include "terrain/terrain_manager.h"
#include "win32/mmsystem.h"
#include "win32/window_surface.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace d3dtest = platform::d3d9;

namespace {

std::vector<std::string> deletions;

// Stand-ins that note their deletion; the device owner's also notes whether the model and object
// tables still exist at that moment.
class NotedCamera : public KameraKlass {
public:
    ~NotedCamera() override { deletions.push_back("camera"); }
};
class NotedTextures : public TexturManager {
public:
    ~NotedTextures() override { deletions.push_back("textures"); }
};
class NotedBuffers : public BufferManager {
public:
    ~NotedBuffers() override { deletions.push_back("buffers"); }
};
class NotedPicking : public HelpTools3D {
public:
    ~NotedPicking() override { deletions.push_back("picking"); }
};
class NotedTerrain : public TerrainManager {
public:
    ~NotedTerrain() override { deletions.push_back("terrain"); }
};
class NotedDeviceOwner : public InitManager {
public:
    ~NotedDeviceOwner() override {
        deletions.push_back("device owner");
        if (ModelManager::GetExemplar()->capacity == 4) {
            deletions.push_back("models still there");
        }
        if (ObjectManager::GetExemplar()->capacity == 4) {
            deletions.push_back("objects still there");
        }
    }
};

// A root whose own managers are replaced by the noting stand-ins.
class NotedRoot : public GFXMain {
public:
    NotedRoot() {
        delete camera;
        delete texturManager;
        delete bufferManager;
        delete helpTools;
        delete terrainManager;
        delete initManager;
        camera = new NotedCamera;
        texturManager = new NotedTextures;
        bufferManager = new NotedBuffers;
        helpTools = new NotedPicking;
        terrainManager = new NotedTerrain;
        initManager = new NotedDeviceOwner;
    }
};

class TestRoot : public GFXMain {
public:
    using GFXMain::camera;
    using GFXMain::engineFont;
    using GFXMain::frameCounter;
    using GFXMain::lastMeasureTime;
    using GFXMain::lastRate;
};

// A root of its own for a test, kept reachable for the rest of the process (the engine is set up
// once per process and lives until it ends).
TestRoot* NewRoot() {
    static TestRoot* root = new TestRoot;
    return root;
}

TestRoot* SetUpRoot() {
    TestRoot* root = NewRoot();
    EXPECT_TRUE(root->SetupEngine(platform::CreateOffscreenWindow(800, 600), nullptr));
    return root;
}

} // namespace

TEST(GFXMain, FetchesEveryManagerWithoutADevice) {
    GFXMain* root = GFXMain::GetExemplar();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root, GFXMain::GetExemplar());
    EXPECT_EQ(root->getInitManager(), InitManager::GetExemplar());
    EXPECT_EQ(root->getModelManager(), ModelManager::GetExemplar());
    EXPECT_EQ(root->getObjectManager(), ObjectManager::GetExemplar());
    EXPECT_EQ(root->getPointManager(), PointManager::GetExemplar());
    EXPECT_EQ(root->getTerrainManager(), TerrainManager::GetExemplar());
    EXPECT_EQ(root->getD2dManager(), nullptr) << "set by SetupEngine";
    EXPECT_EQ(root->getInitManager()->device, nullptr);
    EXPECT_FALSE(root->UpdateEngine()) << "no device yet";
    EXPECT_TRUE(root->FlipPage());
}

TEST(GFXMain, SetupEngineMakesTheDeviceCachesCameraFontAndLayer) {
    TestRoot* root = SetUpRoot();
    InitManager* owner = root->getInitManager();
    ASSERT_NE(owner->device, nullptr);
    EXPECT_EQ(owner->width, 800);
    EXPECT_EQ(owner->height, 600);
    EXPECT_EQ(BufferManager::GetExemplar()->capacity, 5000);
    EXPECT_EQ(TexturManager::GetExemplar()->capacity, 500);
    EXPECT_EQ(HelpTools3D::GetExemplar()->initManager, owner);
    const KameraKlass* camera = KameraKlass::GetExemplar();
    EXPECT_EQ(camera->position, D3DXVECTOR3(50.0f, 40.0f, 50.0f));
    EXPECT_EQ(camera->pitch, 0.9599311f);
    EXPECT_EQ(camera->yaw, 0.0f);
    EXPECT_EQ(root->getD2dManager(), D2DManager::GetExemplar());
    const CD3DFont* font = root->engineFont;
    ASSERT_NE(font, nullptr);
    EXPECT_STREQ(font->faceName, "Arial");
    EXPECT_EQ(font->height, 10u);
    EXPECT_NE(font->glyphTexture, nullptr);
}

TEST(GFXMain, SetupEngineReportsAFailedDevice) {
    d3dtest::InjectFault(d3dtest::Fault::CreateDevice);
    TestRoot* root = NewRoot();
    EXPECT_FALSE(root->SetupEngine(platform::CreateOffscreenWindow(800, 600), nullptr));
    d3dtest::ClearFaults();
    EXPECT_FALSE(root->UpdateEngine());
    EXPECT_TRUE(root->FlipPage());
}

TEST(GFXMain, ConfigurationStringSetupCreatesNoDevice) {
    TestRoot* root = NewRoot();
    char configuration[] = "any";
    EXPECT_TRUE(root->SetupEngine(platform::CreateOffscreenWindow(800, 600), configuration));
    EXPECT_EQ(root->getInitManager()->device, nullptr);
    EXPECT_FALSE(root->UpdateEngine());
}

TEST(GFXMain, FrameRateStartsAtZeroAndCountsTheLastSecond) {
    TestRoot* root = NewRoot();
    platform::SetClockForTesting(5000);
    EXPECT_EQ(root->GetFramesPerSecond(), 0) << "the first call measures one frame over 5 s";
    platform::SetClockForTesting(5500);
    for (int frame = 1; frame < 60; ++frame) {
        EXPECT_EQ(root->GetFramesPerSecond(), 0) << "within 1000 ms the previous rate stays";
    }
    platform::SetClockForTesting(6000);
    EXPECT_EQ(root->GetFramesPerSecond(), 0) << "exactly 1000 ms is not yet a new measurement";
    platform::SetClockForTesting(6001);
    EXPECT_EQ(root->GetFramesPerSecond(), 61 * 1000 / 1001);
    platform::SetClockForTesting(6500);
    EXPECT_EQ(root->GetFramesPerSecond(), 60);
}

TEST(GFXMain, SixtyFramesInOneThousandAndOneMillisecondsAreFiftyNine) {
    TestRoot* root = NewRoot();
    platform::SetClockForTesting(20000);
    root->GetFramesPerSecond();
    EXPECT_EQ(root->lastMeasureTime, 20000u);
    for (int frame = 1; frame < 60; ++frame) {
        root->GetFramesPerSecond();
    }
    platform::SetClockForTesting(21001);
    EXPECT_EQ(root->GetFramesPerSecond(), 59);
    EXPECT_EQ(root->frameCounter, 0u);
    EXPECT_EQ(root->lastMeasureTime, 21001u);
}

TEST(GFXMain, FrameRateSurvivesTheClockWrapping) {
    TestRoot* root = NewRoot();
    platform::SetClockForTesting(0xFFFFFC00u);
    root->GetFramesPerSecond();
    for (int frame = 1; frame < 11; ++frame) {
        root->GetFramesPerSecond();
    }
    platform::SetClockForTesting(0x000001F0u); // 1520 ms after the last measurement
    EXPECT_EQ(root->GetFramesPerSecond(), 11 * 1000 / 1520);
}

TEST(GFXMain, UpdateEngineDrawsTheFrameWithoutNestedScenesAndReportsTrue) {
    TestRoot* root = SetUpRoot();
    IDirect3DDevice9* device = root->getInitManager()->device;
    d3dtest::EnableCallTrace(true);
    d3dtest::ClearCallTrace();
    EXPECT_TRUE(root->UpdateEngine());
    d3dtest::EnableCallTrace(false);
    EXPECT_FALSE(d3dtest::InScene(device));

    std::vector<std::string> frame;
    for (const d3dtest::TracedCall& call : d3dtest::CallTrace()) {
        if (call.method == "SetTransform" || call.method == "BeginScene" || call.method == "Clear" ||
            call.method == "EndScene" || call.method == "DrawPrimitive") {
            frame.push_back(call.method + (call.result == D3D_OK ? "" : " failed"));
        }
    }
    const std::vector<std::string> expected = {"SetTransform", "BeginScene",    "Clear",   "EndScene",
                                               "BeginScene",   "DrawPrimitive", "EndScene"};
    EXPECT_EQ(frame, expected);
    const std::vector<std::string> clears = d3dtest::CallTraceLines("Clear");
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0], d3dtest::FormatCall("Clear", {0, 0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000,
                                                       d3dtest::FloatArg(1.0f), 0}));

    D3DXMATRIX view;
    device->GetTransform(D3DTS_VIEW, &view);
    D3DXMATRIX expectedView;
    KameraKlass::GetExemplar()->SetupViewMatrix(&expectedView);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(view.m[i / 4][i % 4], expectedView.m[i / 4][i % 4]);
    }
}

TEST(GFXMain, FailedClearEndsTheSceneAndReportsFalse) {
    TestRoot* root = SetUpRoot();
    IDirect3DDevice9* device = root->getInitManager()->device;
    d3dtest::InjectFault(d3dtest::Fault::Clear);
    EXPECT_FALSE(root->UpdateEngine());
    d3dtest::ClearFaults();
    EXPECT_FALSE(d3dtest::InScene(device));
    EXPECT_TRUE(root->UpdateEngine());
}

TEST(GFXMain, FailedBeginOrEndSceneReportsFalse) {
    TestRoot* root = SetUpRoot();
    d3dtest::InjectFault(d3dtest::Fault::BeginScene);
    EXPECT_FALSE(root->UpdateEngine());
    d3dtest::ClearFaults();
    d3dtest::InjectFault(d3dtest::Fault::EndScene);
    EXPECT_FALSE(root->UpdateEngine());
    d3dtest::ClearFaults();
}

TEST(GFXMain, FrameRateTextReadsRateAndCameraPlace) {
    TestRoot* root = SetUpRoot();
    IDirect3DDevice9* device = root->getInitManager()->device;
    // 76 frames in 1001 ms: 75 frames per second on the frame that UpdateEngine counts.
    platform::SetClockForTesting(10000);
    root->GetFramesPerSecond();
    for (int frame = 1; frame < 76; ++frame) {
        root->GetFramesPerSecond();
    }
    platform::SetClockForTesting(11001);
    ASSERT_TRUE(root->UpdateEngine());
    EXPECT_EQ(root->lastRate, 75);
    std::vector<uint32_t> drawn;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(d3dtest::CopyBackBuffer(device, &drawn, &width, &height));

    // The same line drawn by a font of the same kind over a cleared frame.
    CD3DFont reference("Arial", 10, 0);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(reference.DrawTextA(10.0f, 10.0f, 0x64FFFFFF, "fps:75 - 050  050", 0), S_OK);
    std::vector<uint32_t> expected;
    ASSERT_TRUE(d3dtest::CopyBackBuffer(device, &expected, &width, &height));
    int lit = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        lit += (expected[i] & 0xFFFFFF) != 0 ? 1 : 0;
    }
    EXPECT_GT(lit, 50) << "the text shows";
    EXPECT_TRUE(drawn == expected) << "the frame's text is \"fps:75 - 050  050\"";

    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    reference.DrawTextA(10.0f, 10.0f, 0x64FFFFFF, "fps:75 - 050  051", 0);
    d3dtest::CopyBackBuffer(device, &expected, &width, &height);
    EXPECT_FALSE(drawn == expected) << "the comparison tells texts apart";
}

TEST(GFXMain, FlipPagePresentsTheBackBuffer) {
    TestRoot* root = NewRoot();
    HWND window = platform::CreateOffscreenWindow(800, 600);
    ASSERT_TRUE(root->SetupEngine(window, nullptr));
    root->UpdateEngine();
    d3dtest::InjectFault(d3dtest::Fault::Present);
    EXPECT_TRUE(root->FlipPage()) << "a failed present is ignored";
    d3dtest::ClearFaults();
    EXPECT_TRUE(root->FlipPage());
    platform::PresentedFrame frame;
    ASSERT_TRUE(platform::LastPresentedFrame(window, &frame));
    EXPECT_EQ(frame.width, 800);
    EXPECT_EQ(frame.height, 600);
}

TEST(GFXMain, TerrainForwardsWithoutATerrainHitNothing) {
    TestRoot* root = SetUpRoot();
    EXPECT_TRUE(root->SetTile(3, 400, 300));
    EXPECT_TRUE(root->TestFkt(400, 300));
}

TEST(GFXMain, DeletionOrderReleasesModelsFirstAndKeepsParticlesLayerAndFonts) {
    deletions.clear();
    NotedRoot* root = new NotedRoot;
    ASSERT_TRUE(ModelManager::GetExemplar()->Init(4));
    ASSERT_TRUE(ObjectManager::GetExemplar()->Init(4));
    PointManager* particles = PointManager::GetExemplar();
    particles->starTextureId = 77;
    D2DManager* layer = D2DManager::GetExemplar();

    delete root;
    const std::vector<std::string> expected = {
        "terrain", "camera",       "textures",           "buffers",
        "picking", "device owner", "models still there", "objects still there"};
    EXPECT_EQ(deletions, expected);
    EXPECT_EQ(ModelManager::GetExemplar()->capacity, 0) << "the model table was deleted after them";
    EXPECT_EQ(ObjectManager::GetExemplar()->capacity, 0) << "the object table was deleted after them";
    EXPECT_EQ(PointManager::GetExemplar()->starTextureId, 77) << "the particle manager lives on";
    EXPECT_EQ(D2DManager::GetExemplar(), layer);
}

TEST(GFXMain, DeletedRootLeavesTheEngineFontDrawable) {
    TestRoot* root = new TestRoot;
    ASSERT_TRUE(root->SetupEngine(platform::CreateOffscreenWindow(800, 600), nullptr));
    CD3DFont* font = root->engineFont;
    // The device outlives the root by design; this keeps it reachable for the leak checker.
    static IDirect3DDevice9* device = root->getInitManager()->device;
    delete root;
    ASSERT_NE(font->device, nullptr);
    EXPECT_EQ(font->DrawTextA(10.0f, 10.0f, 0xFFFFFFFF, "still here", 0), S_OK);
    EXPECT_FALSE(d3dtest::InScene(device));
    delete font;
}
