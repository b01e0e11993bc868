// The device owner: the device, present parameters, projection and starting states of its set-up,
// releasing the device twice, and deleting the owner.
#include "d3dx9/d3dx9_math.h"
#include "engine/core/engine_device.h"

TEST(InitManager, SetUpMakesTheDeviceWithItsPresentParametersProjectionAndStatesAndReleasesItOnce) {
    InitManager* owner = InitManager::GetExemplar();
    // The window's client area is not the size asked for: a windowed back buffer takes the client area,
    // while the projection keeps the aspect of the size asked for.
    HWND window = platform::CreateOffscreenWindow(640, 480);
    const std::vector<std::string> states =
        TracedCalls([&] { ASSERT_TRUE(owner->InitDirect3D(window, 800, 600, true)); }, "SetRenderState");
    const struct {
        bool windowed;
        UINT width, height;
        HWND deviceWindow;
        DWORD flags;
        UINT backBufferWidth, backBufferHeight;
    } rows[] = {{true, 0, 0, nullptr, 0, 640, 480},
                {false, 800, 600, window, D3DPRESENTFLAG_LOCKABLE_BACKBUFFER, 800, 600}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.windowed ? "windowed" : "full screen");
        ASSERT_TRUE(row.windowed || owner->InitDirect3D(window, 800, 600, false));
        const D3DPRESENT_PARAMETERS& p = owner->presentParameters;
        EXPECT_EQ(p.BackBufferWidth, row.width);
        EXPECT_EQ(p.BackBufferHeight, row.height);
        EXPECT_EQ(p.BackBufferFormat, owner->displayMode.Format);
        EXPECT_EQ(p.BackBufferCount, 1u);
        EXPECT_EQ(p.MultiSampleType, D3DMULTISAMPLE_NONE);
        EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
        EXPECT_EQ(p.hDeviceWindow, row.deviceWindow);
        EXPECT_EQ(p.Windowed, row.windowed ? TRUE : FALSE);
        EXPECT_EQ(p.EnableAutoDepthStencil, TRUE);
        EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D16);
        EXPECT_EQ(p.Flags, row.flags);
        EXPECT_EQ(p.FullScreen_RefreshRateInHz, 0u);
        EXPECT_EQ(p.PresentationInterval, 0u);
        EXPECT_EQ(owner->window, window);

        IDirect3DSurface9* surface = nullptr;
        D3DSURFACE_DESC desc{};
        ASSERT_GE(owner->device->GetRenderTarget(0, &surface), 0);
        surface->GetDesc(&desc);
        surface->Release();
        EXPECT_EQ(desc.Width, row.backBufferWidth);
        EXPECT_EQ(desc.Height, row.backBufferHeight);
        ASSERT_GE(owner->device->GetDepthStencilSurface(&surface), 0);
        surface->GetDesc(&desc);
        surface->Release();
        EXPECT_EQ(desc.Format, D3DFMT_D16);

        // Vertical field of view pi/4, aspect 800/600, near plane 10, far plane 200, left-handed.
        D3DXMATRIX projection;
        owner->device->GetTransform(D3DTS_PROJECTION, &projection);
        const float expected[4][4] = {{1.8106602f, 0, 0, 0},
                                      {0, 2.4142136f, 0, 0},
                                      {0, 0, 200.0f / 190.0f, 1},
                                      {0, 0, -2000.0f / 190.0f, 0}};
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(projection.m[i / 4][i % 4], expected[i / 4][i % 4], 1e-5f) << i;
        }
        // Releasing twice gives up the owner's one reference once.
        IDirect3DDevice9* device = owner->device;
        device->AddRef();
        EXPECT_TRUE(owner->ReleaseDirect3D());
        EXPECT_EQ(owner->device, nullptr);
        EXPECT_TRUE(owner->ReleaseDirect3D());
        EXPECT_EQ(device->Release(), 0u);
    }

    const std::vector<std::string> expectedStates = {
        d3dtest::FormatCall("SetRenderState", {D3DRS_AMBIENT, 0xFF000004}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_ALPHABLENDENABLE, TRUE}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_LIGHTING, FALSE}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_CULLMODE, D3DCULL_NONE}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_ZENABLE, D3DZB_TRUE}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_ZFUNC, D3DCMP_LESSEQUAL}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_ZWRITEENABLE, TRUE}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_COLORVERTEX, TRUE})};
    EXPECT_EQ(states, expectedStates);

    char configuration[] = "any";
    EXPECT_TRUE(owner->InitDirect3D(window, configuration));
    EXPECT_EQ(owner->device, nullptr) << "a configuration string makes no device";
}

TEST(InitManager, DeletionClearsTheSingleton) {
    delete InitManager::GetExemplar();
    InitManager* second = InitManager::GetExemplar();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->device, nullptr);
}
