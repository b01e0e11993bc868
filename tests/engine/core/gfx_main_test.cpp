// The engine root: frames per second, the frame's scenes and results, its frame-rate line, and the
// order in which the root deletes its managers.
#include "core/buffer_manager.h"
#include "core/gfx_main.h"
#include "core/help_tools_3d.h"
#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "d2d/d2d_manager.h"
#include "d2d/d3d_font.h"
#include "engine/core/engine_device.h"
#include "models/model_manager.h"
#include "models/object_manager.h"
#include "particles/point_manager.h"
#include "terrain/terrain_manager.h"
#include "win32/mmsystem.h"

namespace {

std::vector<std::string> deletions;

// A manager that notes its deletion by name, and whether the model and object tables were gone then.
template <typename Manager> class Noted : public Manager {
public:
    explicit Noted(const char* name) : name(name) {}
    ~Noted() override {
        const bool tablesThere =
            ModelManager::GetExemplar()->capacity == 4 && ObjectManager::GetExemplar()->capacity == 4;
        deletions.push_back(tablesThere ? name : std::string(name) + " after the model tables");
    }

private:
    const char* name;
};

// Puts a noting manager in place of one the root holds.
template <typename Manager> void Replace(Manager*& held, const char* name) {
    delete held;
    held = new Noted<Manager>(name);
}

class TestRoot : public GFXMain {
public:
    using GFXMain::bufferManager;
    using GFXMain::camera;
    using GFXMain::engineFont;
    using GFXMain::helpTools;
    using GFXMain::initManager;
    using GFXMain::terrainManager;
    using GFXMain::texturManager;
};

// The engine is set up once per process and lives until it ends, so the root stays reachable.
TestRoot* Root(bool setUp) {
    static TestRoot* root = new TestRoot;
    EXPECT_TRUE(!setUp || root->SetupEngine(platform::CreateOffscreenWindow(800, 600), nullptr));
    return root;
}

} // namespace

TEST(GFXMain, WithoutADeviceTheFrameReportsFalse) {
    TestRoot* root = Root(false);
    HWND window = platform::CreateOffscreenWindow(800, 600);
    EXPECT_FALSE(root->UpdateEngine()) << "before set-up";
    EXPECT_TRUE(root->FlipPage());
    char configuration[] = "any";
    EXPECT_TRUE(root->SetupEngine(window, configuration));
    EXPECT_FALSE(root->UpdateEngine()) << "a configuration string makes no device";
    for (d3dtest::Fault fault : {d3dtest::Fault::Direct3DCreate, d3dtest::Fault::CreateDevice}) {
        d3dtest::InjectFault(fault);
        EXPECT_FALSE(root->SetupEngine(window, nullptr));
        d3dtest::ClearFaults();
        EXPECT_EQ(root->getInitManager()->device, nullptr);
        EXPECT_FALSE(root->UpdateEngine()) << "the device could not be made";
    }
    EXPECT_TRUE(root->FlipPage());
}

TEST(GFXMain, FrameRateStartsAtZeroAndCountsTheLastMeasuredStretch) {
    TestRoot* root = Root(false);
    platform::SetClockForTesting(20000);
    EXPECT_EQ(root->GetFramesPerSecond(), 0) << "the first call measures one frame over 20 s";
    platform::SetClockForTesting(20500);
    for (int frame = 2; frame < 60; ++frame) {
        EXPECT_EQ(root->GetFramesPerSecond(), 0) << "within 1000 ms the previous rate stays";
    }
    platform::SetClockForTesting(21000);
    EXPECT_EQ(root->GetFramesPerSecond(), 0) << "exactly 1000 ms is not yet a new measurement";
    platform::SetClockForTesting(21001);
    EXPECT_EQ(root->GetFramesPerSecond(), 59) << "60 frames in 1001 ms";

    platform::SetClockForTesting(0xFFFFFC00u);
    for (int frame = 0; frame < 11; ++frame) {
        root->GetFramesPerSecond();
    }
    platform::SetClockForTesting(0x000001F0u); // 1520 ms later, across the clock's wrap
    EXPECT_EQ(root->GetFramesPerSecond(), 11 * 1000 / 1520);
}

TEST(GFXMain, UpdateEngineDrawsTheFrameWithoutNestedScenesAndReportsTrue) {
    TestRoot* root = Root(true);
    IDirect3DDevice9* device = root->getInitManager()->device;
    std::vector<std::string> frame;
    for (const std::string& line : TracedCalls([&] { EXPECT_TRUE(root->UpdateEngine()); })) {
        const std::string method = line.substr(0, line.find('('));
        if (method == "SetTransform" || method == "BeginScene" || method == "Clear" || method == "EndScene" ||
            method == "DrawPrimitive") {
            frame.push_back(method);
        }
    }
    const std::vector<std::string> expected = {"SetTransform", "BeginScene",    "Clear",   "EndScene",
                                               "BeginScene",   "DrawPrimitive", "EndScene"};
    EXPECT_EQ(frame, expected);
    EXPECT_FALSE(d3dtest::InScene(device));

    // The view of a camera placed at (50, 40, 50) looking down by 55 degrees.
    D3DXMATRIX view;
    device->GetTransform(D3DTS_VIEW, &view);
    ExpectNear(view, CameraView(0.0f, 55.0f * 3.14159265f / 180.0f, 0.0f, {50.0f, 40.0f, 50.0f}), 1e-4f);
}

TEST(GFXMain, FailedClearEndsTheSceneAndReportsFalse) {
    TestRoot* root = Root(true);
    IDirect3DDevice9* device = root->getInitManager()->device;
    d3dtest::InjectFault(d3dtest::Fault::Clear);
    EXPECT_FALSE(root->UpdateEngine());
    d3dtest::ClearFaults();
    EXPECT_FALSE(d3dtest::InScene(device));
    EXPECT_TRUE(root->UpdateEngine()) << "the next frame draws";
    // A scene that cannot begin or end is a frame not drawn, too.
    for (d3dtest::Fault fault : {d3dtest::Fault::BeginScene, d3dtest::Fault::EndScene}) {
        d3dtest::InjectFault(fault);
        EXPECT_FALSE(root->UpdateEngine()) << static_cast<int>(fault);
        d3dtest::ClearFaults();
    }
    d3dtest::InjectFault(d3dtest::Fault::Present);
    EXPECT_TRUE(root->FlipPage()) << "a failed present is ignored";
}

TEST(GFXMain, FrameRateLineShowsRateAndCameraPlace) {
    TestRoot* root = Root(true);
    IDirect3DDevice9* device = root->getInitManager()->device;
    // 76 frames in 1001 ms, the last one counted by UpdateEngine: 75 frames per second.
    platform::SetClockForTesting(10000);
    for (int frame = 0; frame < 76; ++frame) {
        root->GetFramesPerSecond();
    }
    platform::SetClockForTesting(11001);
    ASSERT_TRUE(root->UpdateEngine());
    std::vector<uint32_t> drawn;
    std::vector<uint32_t> reference;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(d3dtest::CopyBackBuffer(device, &drawn, &width, &height));

    // The same line drawn by a font of the same kind over a cleared frame; one digit more differs.
    CD3DFont font("Arial", 10, 0);
    for (const char* text : {"fps:75 - 050  050", "fps:75 - 050  051"}) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        ASSERT_EQ(font.DrawTextA(10.0f, 10.0f, 0x64FFFFFF, text, 0), S_OK);
        ASSERT_TRUE(d3dtest::CopyBackBuffer(device, &reference, &width, &height));
        EXPECT_EQ(drawn == reference, text[16] == '0') << text;
    }
}

TEST(GFXMain, DeletionOrderReleasesModelsFirstAndKeepsParticlesLayerAndFonts) {
    TestRoot* root = new TestRoot;
    ASSERT_TRUE(root->SetupEngine(platform::CreateOffscreenWindow(800, 600), nullptr));
    // The device outlives the root by design; this keeps it reachable for the leak checker.
    static IDirect3DDevice9* device = root->getInitManager()->device;
    CD3DFont* font = root->engineFont;
    Replace(root->terrainManager, "terrain");
    Replace(root->camera, "camera");
    Replace(root->texturManager, "textures");
    Replace(root->bufferManager, "buffers");
    Replace(root->helpTools, "picking");
    Replace(root->initManager, "device owner");
    ASSERT_TRUE(ModelManager::GetExemplar()->Init(4));
    ASSERT_TRUE(ObjectManager::GetExemplar()->Init(4));
    PointManager::GetExemplar()->starTextureId = 77;
    D2DManager* layer = D2DManager::GetExemplar();
    deletions.clear();

    delete root;
    const std::vector<std::string> expected = {"terrain", "camera",  "textures",
                                               "buffers", "picking", "device owner"};
    EXPECT_EQ(deletions, expected);
    EXPECT_EQ(ModelManager::GetExemplar()->capacity, 0) << "the model table was deleted after them";
    EXPECT_EQ(ObjectManager::GetExemplar()->capacity, 0) << "the object table was deleted after them";
    EXPECT_EQ(PointManager::GetExemplar()->starTextureId, 77) << "the particle manager lives on";
    EXPECT_EQ(D2DManager::GetExemplar(), layer);
    EXPECT_EQ(font->DrawTextA(10.0f, 10.0f, 0xFFFFFFFF, "still here", 0), S_OK) << "the font lives on";
    EXPECT_FALSE(d3dtest::InScene(device));
    delete font;
}
