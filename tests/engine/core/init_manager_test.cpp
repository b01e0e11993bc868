// The device owner: the device made for a window, the projection, the starting render states and the
// failure paths of set-up.
#include "core/init_manager.h"
#include "d3d9/d3d9_testing.h"
#include "d3dx9/d3dx9_math.h"
#include "win32/window_surface.h"

#include <gtest/gtest.h>

namespace d3dtest = platform::d3d9;

TEST(InitManager, WindowedSetupTakesTheClientSizeAndA16BitDepthBuffer) {
    HWND window = platform::CreateOffscreenWindow(640, 480);
    InitManager* owner = InitManager::GetExemplar();
    ASSERT_TRUE(owner->InitDirect3D(window, 800, 600, true));
    ASSERT_NE(owner->device, nullptr);
    EXPECT_EQ(owner->window, window);
    EXPECT_EQ(owner->width, 800);
    EXPECT_EQ(owner->height, 600);

    const D3DPRESENT_PARAMETERS& parameters = owner->presentParameters;
    EXPECT_EQ(parameters.BackBufferWidth, 0u);
    EXPECT_EQ(parameters.BackBufferHeight, 0u);
    EXPECT_EQ(parameters.BackBufferFormat, owner->displayMode.Format);
    EXPECT_EQ(parameters.BackBufferCount, 1u);
    EXPECT_EQ(parameters.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(parameters.hDeviceWindow, nullptr);
    EXPECT_EQ(parameters.Windowed, TRUE);
    EXPECT_EQ(parameters.EnableAutoDepthStencil, TRUE);
    EXPECT_EQ(parameters.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(parameters.Flags, 0u);

    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_GE(owner->device->GetRenderTarget(0, &backBuffer), 0);
    D3DSURFACE_DESC desc{};
    backBuffer->GetDesc(&desc);
    backBuffer->Release();
    EXPECT_EQ(desc.Width, 640u) << "the back buffer follows the client area, not the asked width";
    EXPECT_EQ(desc.Height, 480u);

    IDirect3DSurface9* depth = nullptr;
    ASSERT_GE(owner->device->GetDepthStencilSurface(&depth), 0);
    depth->GetDesc(&desc);
    depth->Release();
    EXPECT_EQ(desc.Format, D3DFMT_D16);
}

TEST(InitManager, ProjectionUsesTheAskedAspectRatio) {
    HWND window = platform::CreateOffscreenWindow(300, 500);
    InitManager* owner = InitManager::GetExemplar();
    ASSERT_TRUE(owner->InitDirect3D(window, 800, 600, true));
    D3DXMATRIX projection;
    owner->device->GetTransform(D3DTS_PROJECTION, &projection);
    D3DXMATRIX expected;
    D3DXMatrixPerspectiveFovLH(&expected, 0.7853982f, 800.0f / 600.0f, 10.0f, 200.0f);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_FLOAT_EQ(projection.m[row][column], expected.m[row][column]) << row << "," << column;
        }
    }
    EXPECT_NEAR(projection._22 / projection._11, 1.3333334f, 1e-6f);
}

TEST(InitManager, SetsTheStartingRenderStatesInOrder) {
    HWND window = platform::CreateOffscreenWindow(800, 600);
    d3dtest::EnableCallTrace(true);
    d3dtest::ClearCallTrace();
    ASSERT_TRUE(InitManager::GetExemplar()->InitDirect3D(window, 800, 600, true));
    d3dtest::EnableCallTrace(false);
    const std::vector<std::string> expected = {
        d3dtest::FormatCall("SetRenderState", {D3DRS_AMBIENT, 0xFF000004}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_ALPHABLENDENABLE, TRUE}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_LIGHTING, FALSE}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_CULLMODE, D3DCULL_NONE}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_ZENABLE, D3DZB_TRUE}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_ZFUNC, D3DCMP_LESSEQUAL}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_ZWRITEENABLE, TRUE}),
        d3dtest::FormatCall("SetRenderState", {D3DRS_COLORVERTEX, TRUE}),
    };
    EXPECT_EQ(d3dtest::CallTraceLines("SetRenderState"), expected);

    IDirect3DDevice9* device = InitManager::GetExemplar()->device;
    DWORD value = 0;
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, static_cast<DWORD>(FALSE));
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_NONE));
    device->GetRenderState(D3DRS_AMBIENT, &value);
    EXPECT_EQ(value, 0xFF000004u);
}

TEST(InitManager, ConfigurationStringCreatesNoDevice) {
    InitManager* owner = InitManager::GetExemplar();
    char configuration[] = "windowed";
    EXPECT_TRUE(owner->InitDirect3D(platform::CreateOffscreenWindow(800, 600), configuration));
    EXPECT_EQ(owner->device, nullptr);
    EXPECT_EQ(owner->direct3D, nullptr);
}

TEST(InitManager, FailedSetupReportsFalseAndLeavesNoDevice) {
    HWND window = platform::CreateOffscreenWindow(800, 600);
    InitManager* owner = InitManager::GetExemplar();
    d3dtest::InjectFault(d3dtest::Fault::Direct3DCreate);
    EXPECT_FALSE(owner->InitDirect3D(window, 800, 600, true));
    d3dtest::ClearFaults();
    d3dtest::InjectFault(d3dtest::Fault::CreateDevice);
    EXPECT_FALSE(owner->InitDirect3D(window, 800, 600, true));
    EXPECT_EQ(owner->device, nullptr);
    d3dtest::ClearFaults();
}

TEST(InitManager, ReleaseDirect3DTwiceReleasesOnlyOnce) {
    InitManager* owner = InitManager::GetExemplar();
    ASSERT_TRUE(owner->InitDirect3D(platform::CreateOffscreenWindow(800, 600), 800, 600, true));
    IDirect3DDevice9* device = owner->device;
    device->AddRef();
    EXPECT_TRUE(owner->ReleaseDirect3D());
    EXPECT_EQ(owner->device, nullptr);
    EXPECT_TRUE(owner->ReleaseDirect3D());
    EXPECT_EQ(device->Release(), 0u) << "the owner gave up exactly its one reference";
}

TEST(InitManager, DeletionClearsTheSingleton) {
    InitManager* first = InitManager::GetExemplar();
    delete first;
    InitManager* second = InitManager::GetExemplar();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->device, nullptr);
}
