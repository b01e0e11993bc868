// The device owner: releasing the device twice, and deleting the owner.
#include "engine/core/engine_device.h"

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
