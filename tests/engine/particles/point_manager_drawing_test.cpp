// Tests of the particle manager on the software device: the states a frame leaves set, what reaches
// the device for empty systems and after a failed buffer rebuild, and pictures of preset systems
// seen from above, probed where particles must show and where they must not.
#include "core/buffer_manager.h"
#include "core/init_manager.h"
#include "core/textur_manager.h"
#include "d3d9/d3d9_testing.h"
#include "d3dx9/d3dx9.h"
#include "particles/partikel_system.h"
#include "particles/point_manager.h"
#include "support/test_files.h"
#include "win32/mmsystem.h"
#include "win32/window_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

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

    // A camera above the plane y = 0 looking down, orthographic, 10 pixels per unit: world (x, y, z)
    // lands on pixel (80 + 10 x, 60 - 10 (z - 5)).
    void LookFromAbove() {
        D3DXVECTOR3 eye(0.0f, 10.0f, 5.0f), at(0.0f, 0.0f, 5.0f), up(0.0f, 0.0f, 1.0f);
        D3DXMATRIX view;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMATRIX projection;
        std::memset(&projection, 0, sizeof(projection));
        const float nearPlane = 0.1f, farPlane = 100.0f;
        projection._11 = 2.0f / (WIDTH / 10.0f);
        projection._22 = 2.0f / (HEIGHT / 10.0f);
        projection._33 = 1.0f / (farPlane - nearPlane);
        projection._43 = nearPlane / (nearPlane - farPlane);
        projection._44 = 1.0f;
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &projection);
    }

    void Frame() {
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        EXPECT_TRUE(manager->Update());
        ASSERT_EQ(device->EndScene(), D3D_OK);
    }

    void Save(const std::string& name) {
        const std::filesystem::path folder = std::filesystem::path(ZONKEL_BINARY_DIR) / "test_pictures";
        std::filesystem::create_directories(folder);
        d3d::WriteBackBufferPng(device, (folder / name).string().c_str());
    }

    D3DCOLOR Pixel(int x, int y) { return d3d::ReadBackBufferPixel(device, x, y); }
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
};

} // namespace

TEST_F(ParticleDrawing, FrameLeavesDepthOnAndAlphaBlendingWithSpritesStillEnabled) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    auto* system = new PartSystemScale10();
    ASSERT_TRUE(system->InitializePartikelSystem(4));
    system->SetBlendMode(1);
    int id = -1;
    ASSERT_TRUE(manager->AddSystem(&id, system));
    Frame();

    EXPECT_EQ(State(D3DRS_ZENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(State(D3DRS_ZWRITEENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(State(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
    EXPECT_EQ(State(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(State(D3DRS_POINTSPRITEENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(State(D3DRS_ALPHATESTENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(State(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(State(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(State(D3DRS_LIGHTING), static_cast<DWORD>(FALSE));
    EXPECT_EQ(State(D3DRS_POINTSCALE_C), FloatToDword(10.0f)) << "the last system's point scale";
    DWORD colorOp = 0;
    device->GetTextureStageState(0, D3DTSS_COLOROP, &colorOp);
    EXPECT_EQ(colorOp, static_cast<DWORD>(D3DTOP_SELECTARG1));
    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, TexturManager::GetExemplar()->GetTextur(manager->starTextureId));
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
    d3d::ClearCallTrace();
    d3d::EnableCallTrace(true);
    Frame();
    d3d::EnableCallTrace(false);
    const auto draws = d3d::CallTraceLines("DrawPrimitive");
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
    int id = -1;
    CREATE_PARTSYSTEMSTRUCT record{};
    record.type = 3;
    record.systemId = &id;
    record.internX = 0.0f;
    record.internY = 0.0f;
    record.internZ = 5.0f;
    record.startColorA = record.endColorA = 255;
    record.startColorR = record.endColorR = 255;
    record.systemLifeTime = 1000;
    ASSERT_TRUE(manager->CreatePartikelSystemEx(&record));
    Frame(); // places the ring at its centre
    platform::AdvanceClockForTesting(1000);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BACKGROUND, 1.0f, 0);
    Frame(); // the ring at its full radius of 1.8 units
    Save("particles_ring_additive.png");

    // On the ring, at 0, 90, 180 and 270 degrees: red added, the blue background untouched.
    const POINT onRing[] = {{98, 60}, {80, 42}, {62, 60}, {80, 78}};
    for (const POINT& p : onRing) {
        const D3DCOLOR c = Pixel(p.x, p.y);
        EXPECT_GT(Red(c), 100) << "(" << p.x << ", " << p.y << ") = " << std::hex << c;
        EXPECT_EQ(Green(c), 0) << "(" << p.x << ", " << p.y << ") = " << std::hex << c;
        EXPECT_NEAR(Blue(c), 0x80, 1) << "(" << p.x << ", " << p.y << ") = " << std::hex << c;
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

TEST_F(ParticleDrawing, AlphaBlendedStatusBarCoversTheBackground) {
    float x = 0.0f, y = 0.0f, z = 3.0f;
    float maximum = 10.0f, current = 5.0f;
    int id = -1;
    CREATE_PARTSYSTEMSTRUCT record{};
    record.type = 2;
    record.externX = &x;
    record.externY = &y;
    record.externZ = &z;
    record.systemId = &id;
    record.barWidth = 6.0f;
    record.maximumValue = &maximum;
    record.currentValue = &current;
    ASSERT_TRUE(manager->CreatePartikelSystemEx(&record));
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BACKGROUND, 1.0f, 0);
    Frame();
    Save("particles_status_bar_alpha.png");

    // The bar runs from x = -3 to 3 at z = 3: pixels 50..110 on row 80. Half of it is lit red.
    const D3DCOLOR lit = Pixel(60, 80);
    const D3DCOLOR unlit = Pixel(100, 80);
    EXPECT_GT(Red(lit), Green(lit) + 20) << std::hex << lit;
    EXPECT_LT(Blue(lit), 0x80) << "alpha blending covers part of the background: " << std::hex << lit;
    EXPECT_NEAR(Red(unlit), Green(unlit), 2) << "grey: " << std::hex << unlit;
    EXPECT_GT(Red(unlit), 10) << std::hex << unlit;
    EXPECT_LT(Blue(unlit), 0x80) << std::hex << unlit;
    const POINT empty[] = {{80, 60}, {30, 80}, {130, 80}, {80, 95}, {80, 65}};
    for (const POINT& p : empty) {
        EXPECT_EQ(Pixel(p.x, p.y), BACKGROUND) << "(" << p.x << ", " << p.y << ")";
    }

    // Following the value: a full bar turns green, and moving the followed position moves the bar.
    current = 10.0f;
    z = 7.0f;
    device->Clear(0, nullptr, D3DCLEAR_TARGET, BACKGROUND, 1.0f, 0);
    Frame();
    Save("particles_status_bar_full.png");
    const D3DCOLOR full = Pixel(60, 40);
    EXPECT_GT(Green(full), Red(full) + 20) << std::hex << full;
    EXPECT_EQ(Pixel(60, 80), BACKGROUND);
}
