// The model tests' engine set-up and picture helpers.
#include "engine_setup.h"

#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "d3d9/d3d9_testing.h"
#include "md2_test_file.h"
#include "win32/window_surface.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace models_test {

void WriteStrip(const std::filesystem::path& path, int frameWidth, int height,
                const std::vector<uint32_t>& colours) {
    const int width = frameWidth * int(colours.size());
    std::vector<uint32_t> pixels(size_t(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = colours[i % size_t(width) / size_t(frameWidth)];
    }
    testing_support::WritePng(path, pixels.data(), width, height);
}

void EngineTest::SetUp() {
    {
#if defined(__SANITIZE_ADDRESS__)
        // The root keeps its 2D layer and engine font until the process ends, also once it is
        // deleted; what set-up allocates for them is not a leak of the code under test.
        __lsan::ScopedDisabler setUpAllocations;
#endif
        HWND window = platform::CreateOffscreenWindow(SCREEN_WIDTH, SCREEN_HEIGHT);
        GFXMain* root = GFXMain::GetExemplar();
        ASSERT_TRUE(root != nullptr && root->SetupEngine(window, nullptr));
        device = root->getInitManager()->device;
    }
    md2_test::WriteModel(folder / "cube.md2", md2_test::Cube({2.0f, 4.0f, 6.0f}));
    WriteStrip(folder / "skin.png", 16, 16, {SKIN});
    WriteStrip(folder / "strip.png", 16, 16, {STRIP[0], STRIP[1], STRIP[2], STRIP[3]});
}

int EngineTest::HeldTextures() const {
    TexturManager* cache = TexturManager::GetExemplar();
    int held = 0;
    for (int i = 0; i < cache->capacity; ++i) {
        held += cache->entries[i].texture != nullptr ? 1 : 0;
    }
    return held;
}

void PlaceCamera(IDirect3DDevice9* device, const D3DXVECTOR3& position) {
    KameraKlass* camera = KameraKlass::GetExemplar();
    camera->Init(position.x, position.y, position.z);
    D3DXMATRIX view;
    camera->SetupViewMatrix(&view);
    device->SetTransform(D3DTS_VIEW, &view);
}

POINT ProjectToScreen(IDirect3DDevice9* device, const D3DXVECTOR3& world) {
    D3DMATRIX view;
    D3DMATRIX projection;
    device->GetTransform(D3DTS_VIEW, &view);
    device->GetTransform(D3DTS_PROJECTION, &projection);
    const D3DXMATRIX viewProjection = D3DXMATRIX(view) * D3DXMATRIX(projection);
    D3DXVECTOR3 clip;
    D3DXVec3TransformCoord(&clip, &world, &viewProjection);
    return POINT{LONG((clip.x + 1.0f) * 0.5f * SCREEN_WIDTH), LONG((1.0f - clip.y) * 0.5f * SCREEN_HEIGHT)};
}

::testing::AssertionResult PixelNear(IDirect3DDevice9* device, POINT at, D3DCOLOR expected, int tolerance) {
    return ColourNear(platform::d3d9::ReadBackBufferPixel(device, int(at.x), int(at.y)), expected, tolerance)
           << " at (" << at.x << ", " << at.y << ")";
}

} // namespace models_test
