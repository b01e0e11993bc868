// Tests of the particle manager on the software device: the states a frame leaves set, what reaches
// the device for empty systems and after a failed buffer rebuild, the presets' point sizes measured on
// screen, and a picture of an additive ring seen from above, probed where particles must show and
// where they must not.
#include "core/buffer_manager.h"
#include "core/init_manager.h"
#include "core/textur_manager.h"
#include "d3d9/d3d9_testing.h"
#include "d3dx9/d3dx9.h"
#include "engine/device_probes.h"
#include "particles/partikel_system.h"
#include "particles/point_manager.h"
#include "support/test_files.h"
#include "win32/mmsystem.h"
#include "win32/window_surface.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

namespace {

constexpr int WIDTH = 160;
constexpr int HEIGHT = 120;
constexpr D3DCOLOR BACKGROUND = 0xFF000080;

namespace d3d = platform::d3d9;

class ParticleDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::filesystem::current_path(ZONKEL_RUN_DIR);
        HWND window = platform::CreateOffscreenWindow(WIDTH, HEIGHT);
        ASSERT_TRUE(InitManager::GetExemplar()->InitDirect3D(window, WIDTH, HEIGHT, true));
        BufferManager::GetExemplar()->Init(5000);
        TexturManager::GetExemplar()->Init(500);
        ASSERT_TRUE(PointManager::GetExemplar()->InitPointManager());
    }

    void SetUp() override {
        device = InitManager::GetExemplar()->device;
        manager = PointManager::GetExemplar();
        ASSERT_NE(device, nullptr);
        ASSERT_NE(manager->starTextureId, -1) << "the star texture must be generated into the run folder";
        platform::SetClockForTesting(50000);
        LookFromAbove();
    }

    void TearDown() override {
        for (int slot = 0; slot < PointManager::MAX_SYSTEMS; ++slot) {
            manager->ReleaseSystem(slot);
        }
        d3d::ClearFaults();
        d3d::EnableCallTrace(false);
        platform::ResumeRealClock();
    }

    // A camera above the plane y = 0 looking down, orthographic, s pixels per unit, depth 0.1 to 100:
    // world (x, y, z) lands on pixel (80 + s x, 60 - s (z - 5)).
    void LookFromAbove(float s = 10.0f) {
        D3DXVECTOR3 eye(0.0f, 10.0f, 5.0f), at(0.0f, 0.0f, 5.0f), up(0.0f, 0.0f, 1.0f);
        D3DXMATRIX view;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        const D3DXMATRIX projection(2.0f * s / WIDTH, 0, 0, 0, 0, 2.0f * s / HEIGHT, 0, 0, 0, 0, 1.0f / 99.9f,
                                    0, 0, 0, -0.1f / 99.9f, 1.0f);
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &projection);
    }

    // A preset of the type in opaque red with green and blue as given, following (0, 0, 5) where it follows
    // a position, for 1000 ms.
    int CreatePreset(int type, int greenAndBlue) {
        int id = -1;
        CREATE_PARTSYSTEMSTRUCT record{};
        record.type = type;
        record.systemId = &id;
        record.externX = record.extern1X = &followed.x;
        record.externY = record.extern1Y = &followed.y;
        record.externZ = record.extern1Z = &followed.z;
        record.internZ = 5.0f;
        record.startColorA = record.startColorR = record.endColorA = record.endColorR = 255;
        record.startColorG = record.startColorB = record.endColorG = record.endColorB = greenAndBlue;
        record.systemLifeTime = 1000;
        EXPECT_TRUE(manager->CreatePartikelSystemEx(&record));
        return id;
    }

    void Frame() {
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        EXPECT_TRUE(manager->Update());
        ASSERT_EQ(device->EndScene(), D3D_OK);
    }

    D3DCOLOR Pixel(int x, int y) { return d3d::ReadBackBufferPixel(device, x, y); }

    // The width and height of the drawn spot through (x, y): the unbroken runs of pixels that differ
    // from the background along its row and its column.
    std::pair<int, int> SpotSize(int x, int y) {
        const auto run = [&](int dx, int dy) {
            int length = 0;
            for (int px = x + dx, py = y + dy;
                 px >= 0 && px < WIDTH && py >= 0 && py < HEIGHT && Pixel(px, py) != BACKGROUND;
                 px += dx, py += dy) {
                ++length;
            }
            return length;
        };
        if (Pixel(x, y) == BACKGROUND) {
            return {0, 0};
        }
        return {run(-1, 0) + 1 + run(1, 0), run(0, -1) + 1 + run(0, 1)};
    }
    static int Red(D3DCOLOR c) { return (c >> 16) & 255; }
    static int Green(D3DCOLOR c) { return (c >> 8) & 255; }
    static int Blue(D3DCOLOR c) { return c & 255; }

    DWORD State(D3DRENDERSTATETYPE state) {
        DWORD value = 0xDEADBEEF;
        device->GetRenderState(state, &value);
        return value;
    }

    IDirect3DDevice9* device = nullptr;
    PointManager* manager = nullptr;
    D3DXVECTOR3 followed{0.0f, 0.0f, 5.0f};
};

} // namespace

TEST_F(ParticleDrawing, FrameLeavesDepthOnAndDrawsTwentyByteVertices) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    auto* system = new PartSystemScale10();
    ASSERT_TRUE(system->InitializePartikelSystem(4));
    system->SetBlendMode(1);
    int id = -1;
    ASSERT_TRUE(manager->AddSystem(&id, system));
    Frame();

    EXPECT_EQ(State(D3DRS_ZENABLE), DWORD(TRUE));
    EXPECT_EQ(State(D3DRS_ZWRITEENABLE), DWORD(TRUE));
    EXPECT_EQ(State(D3DRS_DESTBLEND), DWORD(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(State(D3DRS_CULLMODE), DWORD(D3DCULL_NONE));
    EXPECT_EQ(State(D3DRS_POINTSCALE_C), FloatToDword(10.0f)) << "the last system's point scale";
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 1, stride = 0;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    ASSERT_NE(stream, nullptr);
    D3DVERTEXBUFFER_DESC desc{};
    stream->GetDesc(&desc);
    EXPECT_EQ(stride, 20u);
    EXPECT_EQ(desc.Size, 4u * 20u) << "the system's vertices, 32-bit colour each";
    stream->Release();
}

TEST_F(ParticleDrawing, EmptySystemsDrawZeroPointsOrNothing) {
    // No live particle: set up and drawn with 0 points. No particle at all: nothing reaches the
    // device, and the shared buffer is not rebuilt.
    auto* idle = new PartSystemScale20();
    auto* empty = new PartSystemScale10();
    ASSERT_TRUE(idle->InitializePartikelSystem(5));
    ASSERT_TRUE(empty->InitializePartikelSystem(0));
    int id = -1;
    ASSERT_TRUE(manager->AddSystem(&id, empty));
    ASSERT_TRUE(manager->AddSystem(&id, idle));
    const int shared = manager->sharedVertexBufferId;
    const auto draws = TracedCalls([&] { Frame(); }, "DrawPrimitive");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0], d3d::FormatCall("DrawPrimitive", {D3DPT_POINTLIST, 0, 0}));
    EXPECT_EQ(d3d::CallTraceLines("CreateVertexBuffer").size(), 1u) << "one rebuild, for the idle system";
    EXPECT_EQ(manager->sharedVertexBufferId, shared);
}

TEST_F(ParticleDrawing, FailedRebuildNeverDestroysAnotherUsersBuffer) {
    BufferManager* pool = BufferManager::GetExemplar();
    auto* system = new PartSystemScale10();
    ASSERT_TRUE(system->InitializePartikelSystem(5));
    int id = -1;
    ASSERT_TRUE(manager->AddSystem(&id, system));
    const int shared = manager->sharedVertexBufferId;

    // The rebuild fails: the pool's slot is now free, and another user takes it.
    d3d::InjectFault(d3d::Fault::CreateVertexBuffer);
    Frame();
    d3d::ClearFaults();
    const unsigned char data[40] = {1, 2, 3, 4, 5, 6, 7, 8};
    const int other = pool->CreateVertexBuffer(data, sizeof(data), PARTIKEL_VERTEX_FVF, false);
    ASSERT_EQ(other, shared) << "the freed slot is the lowest free one";
    IDirect3DVertexBuffer9* otherBuffer = pool->GetVertexBuffer(other);

    Frame();
    EXPECT_NE(manager->sharedVertexBufferId, other) << "the manager took a buffer of its own";
    EXPECT_NE(manager->sharedVertexBufferId, -1);
    ASSERT_EQ(pool->GetVertexBuffer(other), otherBuffer);
    void* bytes = nullptr;
    ASSERT_EQ(otherBuffer->Lock(0, sizeof(data), &bytes, 0), D3D_OK);
    EXPECT_EQ(std::memcmp(bytes, data, sizeof(data)), 0);
    otherBuffer->Unlock();
    pool->ReleaseVertexBuffer(other);
}

TEST_F(ParticleDrawing, AdditiveRingAddsRedAndKeepsTheBackground) {
    ASSERT_NE(CreatePreset(3, 0), -1);
    Frame(); // places the ring at its centre
    platform::AdvanceClockForTesting(1000);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BACKGROUND, 1.0f, 0);
    Frame(); // the ring at its full radius of 1.8 units

    // On the ring, at 0, 90, 180 and 270 degrees: red added, the blue background untouched.
    const POINT onRing[] = {{98, 60}, {80, 42}, {62, 60}, {80, 78}};
    for (const POINT& p : onRing) {
        const D3DCOLOR c = Pixel(p.x, p.y);
        SCOPED_TRACE(::testing::Message() << "(" << p.x << ", " << p.y << ") = " << std::hex << c);
        EXPECT_GT(Red(c), 100);
        EXPECT_EQ(Green(c), 0);
        EXPECT_NEAR(Blue(c), 0x80, 1);
    }
    // Inside and outside the ring nothing is drawn.
    const POINT empty[] = {{80, 60}, {88, 60}, {110, 60}, {5, 5}, {150, 110}};
    for (const POINT& p : empty) {
        EXPECT_EQ(Pixel(p.x, p.y), BACKGROUND) << "(" << p.x << ", " << p.y << ")";
    }

    // After its lifetime the ring is gone for good.
    platform::AdvanceClockForTesting(10);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, BACKGROUND, 1.0f, 0);
    Frame();
    EXPECT_EQ(Pixel(98, 60), BACKGROUND);
}

TEST_F(ParticleDrawing, RingSpiralAndBurstPresetsDrawPointsOfThreeThreeAndFifteenPixels) {
    // 50 pixels per unit: the spiral's neighbours, 6 degrees apart on a circle of 40 pixels, lie more
    // than 4 pixels apart, so that each of its points shows on its own.
    LookFromAbove(50.0f);
    const struct {
        int type;
        POINT probe; // a point of the preset's first frame
        int size;
    } rows[] = {
        {3, {80, 60}, 3},  // the ring, all at its centre when it starts
        {1, {80, 20}, 3},  // the spiral's first particle, at angle 0 on its circle of radius 0.8
        {4, {80, 60}, 15}, // the bursts, just emitted at the followed position
        {5, {80, 60}, 15}, // the same size, whatever its point scale
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "type " << row.type);
        srand(1);
        const int id = CreatePreset(row.type, 255);
        platform::AdvanceClockForTesting(100); // the bursts' first emission
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BACKGROUND, 1.0f, 0);
        Frame();
        EXPECT_EQ(SpotSize(row.probe.x, row.probe.y), std::pair(row.size, row.size));
        manager->ReleaseSystem(id);
    }
}
