// The device owner: the device, present parameters, projection and starting states of its set-up,
// releasing the device twice, and deleting the owner.
#include "d3dx9/d3dx9_math.h"
#include "engine/core/engine_device.h"

#include <tuple>

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
        EXPECT_EQ(std::tuple(p.BackBufferWidth, p.BackBufferHeight, p.hDeviceWindow, p.Windowed, p.Flags),
                  std::tuple(row.width, row.height, row.deviceWindow, BOOL(row.windowed), row.flags));
        EXPECT_EQ(std::tuple(p.BackBufferFormat, p.BackBufferCount, p.MultiSampleType, p.SwapEffect),
                  std::tuple(owner->displayMode.Format, 1u, D3DMULTISAMPLE_NONE, D3DSWAPEFFECT_DISCARD));
        EXPECT_EQ(std::tuple(p.EnableAutoDepthStencil, p.AutoDepthStencilFormat, p.FullScreen_RefreshRateInHz,
                             p.PresentationInterval),
                  std::tuple(TRUE, D3DFMT_D16, 0u, 0u));
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
        ExpectNear(projection,
                   D3DXMATRIX(1.8106602f, 0, 0, 0, 0, 2.4142136f, 0, 0, 0, 0, 200.0f / 190.0f, 1, 0, 0,
                              -2000.0f / 190.0f, 0),
                   1e-5f);
        // Releasing twice gives up the owner's one reference once.
        IDirect3DDevice9* device = owner->device;
        device->AddRef();
        EXPECT_TRUE(owner->ReleaseDirect3D());
        EXPECT_EQ(owner->device, nullptr);
        EXPECT_TRUE(owner->ReleaseDirect3D());
        EXPECT_EQ(device->Release(), 0u);
    }

    std::vector<std::string> expectedStates;
    for (const auto& [state, value] : {std::pair<uint64_t, uint64_t>{D3DRS_AMBIENT, 0xFF000004},
                                       {D3DRS_ALPHABLENDENABLE, TRUE},
                                       {D3DRS_LIGHTING, FALSE},
                                       {D3DRS_CULLMODE, D3DCULL_NONE},
                                       {D3DRS_ZENABLE, D3DZB_TRUE},
                                       {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
                                       {D3DRS_ZWRITEENABLE, TRUE},
                                       {D3DRS_COLORVERTEX, TRUE}}) {
        expectedStates.push_back(d3dtest::FormatCall("SetRenderState", {state, value}));
    }
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
