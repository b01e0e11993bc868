// The device owner: the device made for a window, its projection, release and deletion.
#include "d3dx9/d3dx9_math.h"
#include "engine/core/engine_device.h"

TEST(InitManager, BackBufferFollowsTheClientAreaAndProjectionTheAskedSize) {
    InitManager* owner = InitManager::GetExemplar();
    ASSERT_TRUE(owner->InitDirect3D(platform::CreateOffscreenWindow(300, 500), 800, 600, true));
    D3DSURFACE_DESC desc{};
    IDirect3DSurface9* surface = nullptr;
    ASSERT_GE(owner->device->GetRenderTarget(0, &surface), 0);
    surface->GetDesc(&desc);
    surface->Release();
    EXPECT_EQ(desc.Width, 300u);
    EXPECT_EQ(desc.Height, 500u);

    D3DXMATRIX projection;
    D3DXMATRIX expected;
    owner->device->GetTransform(D3DTS_PROJECTION, &projection);
    D3DXMatrixPerspectiveFovLH(&expected, 0.7853982f, 800.0f / 600.0f, 10.0f, 200.0f);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(projection.m[i / 4][i % 4], expected.m[i / 4][i % 4]) << i;
    }
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
    delete InitManager::GetExemplar();
    InitManager* second = InitManager::GetExemplar();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->device, nullptr);
}
