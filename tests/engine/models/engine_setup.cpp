// The model tests' engine set-up and picture helpers.
#include "engine_setup.h"

#include "core/kamera_klass.h"
#include "d3d9/d3d9_testing.h"
#include "support/test_files.h"
#include "win32/window_surface.h"

#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace models_test {

IDirect3DDevice9* SetUpEngine() {
#if defined(__SANITIZE_ADDRESS__)
    // The root keeps its 2D layer and engine font until the process ends, also once it is deleted; what
    // set-up allocates for them is not a leak of the code under test.
    __lsan::ScopedDisabler setUpAllocations;
#endif
    HWND window = platform::CreateOffscreenWindow(SCREEN_WIDTH, SCREEN_HEIGHT);
    GFXMain* root = GFXMain::GetExemplar();
    if (root == nullptr || !root->SetupEngine(window, nullptr)) {
        return nullptr;
    }
    return root->getInitManager()->device;
}

void WriteSolidPicture(const std::filesystem::path& path, int width, int height, uint32_t argb) {
    std::vector<uint32_t> pixels(size_t(width) * height, argb);
    testing_support::WritePng(path, pixels.data(), width, height);
}

void WriteStrip(const std::filesystem::path& path, int frameWidth, int height,
                const std::vector<uint32_t>& colours) {
    const int width = frameWidth * int(colours.size());
    std::vector<uint32_t> pixels(size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[size_t(y) * width + x] = colours[size_t(x / frameWidth)];
        }
    }
    testing_support::WritePng(path, pixels.data(), width, height);
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
    POINT point;
    point.x = LONG((clip.x + 1.0f) * 0.5f * SCREEN_WIDTH);
    point.y = LONG((1.0f - clip.y) * 0.5f * SCREEN_HEIGHT);
    return point;
}

void BeginFrame(IDirect3DDevice9* device, D3DCOLOR background) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0);
    device->BeginScene();
}

void EndFrame(IDirect3DDevice9* device) {
    device->EndScene();
}

::testing::AssertionResult PixelNear(IDirect3DDevice9* device, POINT at, D3DCOLOR expected, int tolerance) {
    const D3DCOLOR actual = platform::d3d9::ReadBackBufferPixel(device, int(at.x), int(at.y));
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = int((actual >> shift) & 0xFF);
        const int e = int((expected >> shift) & 0xFF);
        if (a - e > tolerance || e - a > tolerance) {
            char text[128];
            std::snprintf(text, sizeof text, "pixel (%d, %d) is %06X, expected %06X", int(at.x), int(at.y),
                          unsigned(actual & 0xFFFFFF), unsigned(expected & 0xFFFFFF));
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

void SavePicture(IDirect3DDevice9* device, const std::string& name) {
    const std::filesystem::path folder = std::filesystem::path(ZONKEL_BINARY_DIR) / "test-output" / "models";
    std::filesystem::create_directories(folder);
    platform::d3d9::WriteBackBufferPng(device, (folder / (name + ".png")).c_str());
}

int CountCalls(const std::string& method) {
    return int(platform::d3d9::CallTraceLines(method).size());
}

} // namespace models_test
