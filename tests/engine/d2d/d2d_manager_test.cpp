// The 2D layer: the quad's corners, rotation and colour, the states each draw leaves, rectangles and
// frames, scene failures, texture loads, and draws without a quad buffer.
#include "core/textur_manager.h"
#include "d2d/d2d_manager.h"
#include "engine/core/engine_device.h"
#include "support/test_files.h"

namespace d3dtest = platform::d3d9;

namespace {

class D2DManagerTest : public EngineDeviceTest {
protected:
    void SetUp() override {
        EngineDeviceTest::SetUp();
        TexturManager::GetExemplar()->Init(500);
        layer = D2DManager::GetExemplar();
        ASSERT_TRUE(layer->InitD2dManager());
    }

    void ExpectCorner(const ScreenVertex& vertex, float x, float y, const char* which,
                      float tolerance = 0.0f) {
        EXPECT_NEAR(vertex.position.x, x, tolerance) << which;
        EXPECT_NEAR(vertex.position.y, y, tolerance) << which;
        EXPECT_EQ(vertex.position.z, 0.0f) << which;
        EXPECT_EQ(vertex.position.w, 1.0f) << which;
    }

    // Calls of the last draw, for comparisons of their order.
    std::vector<std::string> Traced(const std::function<void()>& draw) {
        d3dtest::EnableCallTrace(true);
        d3dtest::ClearCallTrace();
        draw();
        d3dtest::EnableCallTrace(false);
        std::vector<std::string> lines;
        for (const d3dtest::TracedCall& call : d3dtest::CallTrace()) {
            if (call.object == device) {
                lines.push_back(call.ToString());
            }
        }
        return lines;
    }

    D2DManager* layer = nullptr;
};

std::string Call(const std::string& method, const std::vector<uint64_t>& args) {
    return d3dtest::FormatCall(method, args);
}

} // namespace

TEST_F(D2DManagerTest, QuadCornersTextureCoordinatesAndColour) {
    EXPECT_TRUE(layer->DrawTextur(100, 50, 64, 32, -1, 255, 0.0, true));
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(4);
    ASSERT_EQ(v.size(), 4u);
    ExpectCorner(v[0], 100, 82, "bottom-left");
    ExpectCorner(v[1], 100, 50, "top-left");
    ExpectCorner(v[2], 164, 82, "bottom-right");
    ExpectCorner(v[3], 164, 50, "top-right");
    const float uv[4][2] = {{0, 1}, {0, 0}, {1, 1}, {1, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v[i].tu, uv[i][0]) << i;
        EXPECT_EQ(v[i].tv, uv[i][1]) << i;
        EXPECT_EQ(v[i].colour, 0xFF000000u) << i;
    }
}

TEST_F(D2DManagerTest, NinetyDegreesTurnsTheQuadAboutItsCentre) {
    layer->DrawTextur(100, 50, 64, 32, -1, 255, 90.0, true);
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(4);
    ExpectCorner(v[3], 116, 34, "written at (164, 50)", 0.0001f);
    ExpectCorner(v[0], 148, 98, "written at (100, 82)", 0.0001f);
    ExpectCorner(v[1], 116, 98, "written at (100, 50)", 0.0001f);
    ExpectCorner(v[2], 148, 34, "written at (164, 82)", 0.0001f);
}

TEST_F(D2DManagerTest, OnlyTheLowEightBitsOfAlphaCount) {
    const struct {
        int alpha;
        DWORD colour;
    } rows[] = {{256, 0x00000000}, {300, 0x2C000000}, {-1, 0xFF000000}, {0x80, 0x80000000}};
    for (const auto& row : rows) {
        layer->DrawTextur(0, 0, 10, 10, -1, row.alpha, 0.0, true);
        EXPECT_EQ(StreamVertices<ScreenVertex>(1)[0].colour, row.colour) << row.alpha;
    }
}

TEST_F(D2DManagerTest, DrawTexturSetsItsStatesInOrder) {
    const std::vector<std::string> calls =
        Traced([&] { layer->DrawTextur(0, 0, 10, 10, -1, 255, 0.0, true); });
    const std::vector<std::string> expected = {
        Call("BeginScene", {}),
        Call("SetRenderState", {D3DRS_ALPHABLENDENABLE, TRUE}),
        Call("SetRenderState", {D3DRS_SRCBLEND, D3DBLEND_ONE}),
        Call("SetRenderState", {D3DRS_DESTBLEND, D3DBLEND_ONE}),
        Call("SetRenderState", {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}),
        Call("SetRenderState", {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}),
        Call("SetRenderState", {D3DRS_ZENABLE, FALSE}),
        Call("SetRenderState", {D3DRS_FOGENABLE, FALSE}),
        Call("SetTexture", {0, 0}),
        Call("SetTexture", {1, 0}),
        Call("SetTextureStageState", {1, D3DTSS_COLOROP, D3DTOP_DISABLE}),
        Call("SetTextureStageState", {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE}),
        Call("SetTextureStageState", {0, D3DTSS_COLOROP, D3DTOP_SELECTARG1}),
        Call("SetTextureStageState", {0, D3DTSS_COLORARG1, D3DTA_TEXTURE}),
        Call("SetTextureStageState", {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}),
        Call("SetTextureStageState", {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE}),
        Call("SetTextureStageState", {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}),
        Call("SetFVF", {0x144}),
        Call("SetStreamSource", {0, reinterpret_cast<uint64_t>(StreamBuffer()), 0, 28}),
        Call("DrawPrimitive", {D3DPT_TRIANGLESTRIP, 0, 2}),
        Call("EndScene", {}),
    };
    EXPECT_EQ(calls, expected);
}

TEST_F(D2DManagerTest, AdditiveQuadIgnoresAlphaWhileBlendedQuadUsesIt) {
    // Without a texture the quad samples white; added onto black it stays white whatever the alpha.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    layer->DrawTextur(10, 10, 20, 20, -1, 10, 0.0, false);
    layer->DrawTextur(40, 10, 20, 20, -1, 255, 0.0, false);
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(RenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    layer->DrawTextur(70, 10, 20, 20, -1, 10, 0.0, true);
    EXPECT_EQ(d3dtest::ReadBackBufferPixel(device, 20, 20), 0xFFFFFFFFu);
    EXPECT_EQ(d3dtest::ReadBackBufferPixel(device, 50, 20), 0xFFFFFFFFu);
    const D3DCOLOR blended = d3dtest::ReadBackBufferPixel(device, 80, 20);
    EXPECT_NEAR(static_cast<int>(blended & 0xFF), 10, 1) << std::hex << blended;
}

TEST_F(D2DManagerTest, DrawRectWritesCornersUnsortedAndSetsItsStates) {
    RECT rect{30, 80, 10, 20}; // right left of left, bottom above top: used as they are
    const std::vector<std::string> calls = Traced([&] { EXPECT_TRUE(layer->DrawRect(0x80FF0000, &rect)); });
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(4);
    ExpectCorner(v[0], 30, 20, "left, bottom");
    ExpectCorner(v[1], 30, 80, "left, top");
    ExpectCorner(v[2], 10, 20, "right, bottom");
    ExpectCorner(v[3], 10, 80, "right, top");
    for (const ScreenVertex& vertex : v) {
        EXPECT_EQ(vertex.colour, 0x80FF0000u);
    }
    const std::vector<std::string> expected = {
        Call("BeginScene", {}),
        Call("SetRenderState", {D3DRS_ALPHABLENDENABLE, TRUE}),
        Call("SetRenderState", {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}),
        Call("SetRenderState", {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}),
        Call("SetRenderState", {D3DRS_ZENABLE, FALSE}),
        Call("SetRenderState", {D3DRS_FOGENABLE, FALSE}),
        Call("SetTexture", {0, 0}),
        Call("SetTexture", {1, 0}),
        Call("SetTextureStageState", {1, D3DTSS_COLOROP, D3DTOP_DISABLE}),
        Call("SetTextureStageState", {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE}),
        Call("SetTextureStageState", {0, D3DTSS_COLOROP, D3DTOP_SELECTARG1}),
        Call("SetTextureStageState", {0, D3DTSS_COLORARG1, D3DTA_DIFFUSE}),
        Call("SetTextureStageState", {0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE}),
        Call("SetTextureStageState", {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}),
        Call("SetFVF", {0x144}),
        Call("SetStreamSource", {0, reinterpret_cast<uint64_t>(StreamBuffer()), 0, 28}),
        Call("DrawPrimitive", {D3DPT_TRIANGLESTRIP, 0, 2}),
        Call("EndScene", {}),
    };
    EXPECT_EQ(calls, expected);
}

TEST_F(D2DManagerTest, FailedBeginSceneStopsDrawRectButNotDrawTextur) {
    RECT rect{10, 10, 20, 20};
    layer->DrawTextur(0, 0, 1, 1, -1, 0, 0.0, true); // binds the quad buffer to stream 0
    d3dtest::InjectFault(d3dtest::Fault::BeginScene, 0, -1);
    std::vector<std::string> calls = Traced([&] { EXPECT_FALSE(layer->DrawRect(0xFFFFFFFF, &rect)); });
    for (const std::string& call : calls) {
        EXPECT_EQ(call.rfind("SetRenderState", 0), std::string::npos) << "no state is set: " << call;
    }
    ExpectCorner(StreamVertices<ScreenVertex>(1)[0], 10, 20, "the buffer keeps the new vertices");

    calls = Traced([&] { EXPECT_TRUE(layer->DrawTextur(0, 0, 10, 10, -1, 255, 0.0, true)); });
    d3dtest::ClearFaults();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) { return call.rfind("DrawPrimitive", 0) == 0; }),
              1);
    EXPECT_EQ(calls.back(), Call("EndScene", {}));
}

TEST_F(D2DManagerTest, DrawFrameDrawsFourBarsInOrder) {
    RECT rect{10, 20, 110, 70};
    d3dtest::EnableCallTrace(true);
    d3dtest::ClearCallTrace();
    EXPECT_TRUE(layer->DrawFrame(0xFFFFFFFF, &rect));
    d3dtest::EnableCallTrace(false);
    EXPECT_EQ(d3dtest::CallTraceLines("DrawPrimitive").size(), 4u);
    // The last bar drawn is the right one: (110, 19, 111, 71).
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(4);
    ExpectCorner(v[0], 110, 71, "right bar, left bottom");
    ExpectCorner(v[1], 110, 19, "right bar, left top");
    ExpectCorner(v[2], 111, 71, "right bar, right bottom");
    ExpectCorner(v[3], 111, 19, "right bar, right top");

    // Each bar covers one row or column of pixels.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    layer->DrawFrame(0xFFFFFFFF, &rect);
    const struct {
        int x, y;
        bool lit;
        const char* what;
    } probes[] = {{50, 19, true, "top bar"},     {50, 20, false, "inside below the top bar"},
                  {50, 70, true, "bottom bar"},  {50, 71, false, "below the bottom bar"},
                  {10, 45, true, "left bar"},    {11, 45, false, "right of the left bar"},
                  {110, 45, true, "right bar"},  {109, 45, false, "left of the right bar"},
                  {110, 19, true, "top right"},  {111, 45, false, "beyond the right bar"},
                  {10, 70, true, "bottom left"}, {50, 18, false, "above the top bar"}};
    for (const auto& probe : probes) {
        const D3DCOLOR colour = d3dtest::ReadBackBufferPixel(device, probe.x, probe.y);
        EXPECT_EQ(colour == 0xFFFFFFFF, probe.lit)
            << probe.what << " at (" << probe.x << ", " << probe.y << "): " << std::hex << colour;
    }
}

TEST_F(D2DManagerTest, TextureLoadsAndReleasesThroughTheCache) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory workingDirectory(folder.Path());
    const std::vector<uint32_t> pixels(8 * 8, 0xFF20C040);
    ASSERT_TRUE(testing_support::WritePng(folder / "stone.png", pixels.data(), 8, 8));
    int id = 99;
    EXPECT_TRUE(layer->LoadTextur("stone.png", &id));
    EXPECT_EQ(id, 0);
    EXPECT_EQ(TexturManager::GetExemplar()->entries[0].filterFlag, 1);
    int missing = 99;
    EXPECT_FALSE(layer->LoadTextur("missing.png", &missing));
    EXPECT_EQ(missing, -1);
    EXPECT_TRUE(layer->ReleaseTextur(-1));
    EXPECT_TRUE(layer->ReleaseTextur(id));
    EXPECT_EQ(TexturManager::GetExemplar()->GetTextur(id), nullptr);
}

TEST(D2DManager, DrawsWithoutAQuadBufferDoNothingAndReportFalse) {
    D2DManager* layer = D2DManager::GetExemplar();
    RECT rect{0, 0, 10, 10};
    EXPECT_FALSE(layer->DrawTextur(0, 0, 10, 10, -1, 255, 0.0, true));
    EXPECT_FALSE(layer->DrawRect(0xFFFFFFFF, &rect));
    EXPECT_FALSE(layer->DrawFrame(0xFFFFFFFF, &rect));
    int id = 3;
    EXPECT_FALSE(layer->LoadTextur("a.png", &id));
    EXPECT_EQ(id, -1);
}

TEST_F(EngineDeviceTest, FailedQuadBufferLeavesTheLayerInert) {
    d3dtest::InjectFault(d3dtest::Fault::CreateVertexBuffer);
    D2DManager* layer = D2DManager::GetExemplar();
    EXPECT_FALSE(layer->InitD2dManager());
    d3dtest::ClearFaults();
    d3dtest::EnableCallTrace(true);
    d3dtest::ClearCallTrace();
    EXPECT_FALSE(layer->DrawTextur(0, 0, 10, 10, -1, 255, 0.0, true));
    d3dtest::EnableCallTrace(false);
    EXPECT_TRUE(d3dtest::CallTrace().empty());
}

TEST_F(D2DManagerTest, QuadBufferThatCannotBeLockedDrawsNothing) {
    RECT rect{0, 0, 10, 10};
    d3dtest::InjectFault(d3dtest::Fault::VertexBufferLock, 0, -1);
    const std::vector<std::string> calls = Traced([&] {
        EXPECT_FALSE(layer->DrawTextur(0, 0, 10, 10, -1, 255, 0.0, true));
        EXPECT_FALSE(layer->DrawRect(0xFFFFFFFF, &rect));
    });
    d3dtest::ClearFaults();
    EXPECT_TRUE(calls.empty()) << calls.front();
    EXPECT_FALSE(d3dtest::InScene(device));
}
