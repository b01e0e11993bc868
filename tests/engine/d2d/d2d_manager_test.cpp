// The 2D layer: the quad's corners, rotation and colour (its picture is probed with the whole frame),
// rectangles and frames, and draws without a usable quad buffer.
#include "core/textur_manager.h"
#include "d2d/d2d_manager.h"
#include "engine/core/engine_device.h"

namespace {

class D2DManagerTest : public EngineDeviceTest {
protected:
    void SetUp() override {
        EngineDeviceTest::SetUp();
        TexturManager::GetExemplar()->Init(500);
        layer = D2DManager::GetExemplar();
        ASSERT_TRUE(layer->InitD2dManager());
    }

    // The quad on stream 0 has these corners, in the order written, at depth 0 and w 1.
    void ExpectCorners(const float (&corners)[4][2], float tolerance = 0.0f) {
        const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(v[i].position.x, corners[i][0], tolerance) << "corner " << i;
            EXPECT_NEAR(v[i].position.y, corners[i][1], tolerance) << "corner " << i;
            EXPECT_EQ(v[i].position.z, 0.0f) << "corner " << i;
            EXPECT_EQ(v[i].position.w, 1.0f) << "corner " << i;
        }
    }

    D2DManager* layer = nullptr;
};

} // namespace

TEST_F(D2DManagerTest, QuadCornersRotationAndColour) {
    // The quad is drawn without depth test or fog, blended, whatever was set before.
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    EXPECT_TRUE(layer->DrawTextur(100, 50, 64, 32, -1, 255, 0.0, true));
    EXPECT_EQ(std::vector<DWORD>({RenderState(D3DRS_ZENABLE), RenderState(D3DRS_FOGENABLE),
                                  RenderState(D3DRS_ALPHABLENDENABLE)}),
              std::vector<DWORD>({FALSE, FALSE, TRUE}));
    ExpectCorners({{100, 82}, {100, 50}, {164, 82}, {164, 50}});
    layer->DrawTextur(100, 50, 64, 32, -1, 255, 90.0, true);
    ExpectCorners({{148, 98}, {116, 98}, {148, 34}, {116, 34}}, 0.0001f);

    // Only the low eight bits of alpha count.
    for (const auto& [alpha, colour] : {std::pair{256, 0x00000000u}, {300, 0x2C000000u}, {-1, 0xFF000000u}}) {
        layer->DrawTextur(0, 0, 10, 10, -1, alpha, 0.0, true);
        EXPECT_EQ(StreamVertices<ScreenVertex>(4)[3].colour, colour) << alpha;
    }

    RECT rect{30, 80, 10, 20}; // right left of left, bottom above top: used as they are
    EXPECT_TRUE(layer->DrawRect(0x80FF0000, &rect));
    ExpectCorners({{30, 20}, {30, 80}, {10, 20}, {10, 80}});
    EXPECT_EQ(StreamVertices<ScreenVertex>(4)[3].colour, 0x80FF0000u);
}

// The bars' pixels are probed in the whole frame's picture.
TEST_F(D2DManagerTest, DrawFrameDrawsFourBarsInOrder) {
    RECT rect{10, 20, 110, 70};
    const std::vector<std::string> draws =
        TracedCalls([&] { EXPECT_TRUE(layer->DrawFrame(0xFFFFFFFF, &rect)); }, "DrawPrimitive");
    EXPECT_EQ(draws.size(), 4u);
    ExpectCorners({{110, 71}, {110, 19}, {111, 71}, {111, 19}}); // the right bar comes last
}

// Before set-up, after a set-up whose quad buffer could not be made, and with a quad buffer that cannot be
// locked, the layer draws nothing and opens no scene.
TEST_F(EngineDeviceTest, DrawsWithoutAUsableQuadBufferDoNothingAndReportFalse) {
    D2DManager* layer = D2DManager::GetExemplar();
    RECT rect{0, 0, 10, 10};
    int id = 3;
    EXPECT_FALSE(layer->LoadTextur("a.png", &id));
    EXPECT_EQ(id, -1);
    for (int round = 0; round < 3; ++round) {
        if (round == 1) {
            d3dtest::InjectFault(d3dtest::Fault::CreateVertexBuffer);
            EXPECT_FALSE(layer->InitD2dManager());
        } else if (round == 2) {
            ASSERT_TRUE(layer->InitD2dManager());
            d3dtest::InjectFault(d3dtest::Fault::VertexBufferLock, 0, -1);
        }
        const std::vector<std::string> calls = TracedCalls([&] {
            EXPECT_FALSE(layer->DrawTextur(0, 0, 10, 10, -1, 255, 0.0, true));
            EXPECT_FALSE(layer->DrawRect(0xFFFFFFFF, &rect));
            EXPECT_EQ(layer->DrawFrame(0xFFFFFFFF, &rect), round == 2)
                << "a frame is always drawn with a buffer";
        });
        d3dtest::ClearFaults();
        for (const std::string& call : calls) {
            EXPECT_EQ(call.rfind("Lock(", 0), 0u) << round << ": " << call;
        }
        EXPECT_FALSE(d3dtest::InScene(device));
    }
}
