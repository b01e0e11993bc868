// Set-up and builders shared by the terrain tests.
#include "terrain_test_support.h"

#include "core/gfx_main.h"
#include "core/init_manager.h"
#include "core/kamera_klass.h"
#include "d3d9/d3d9_testing.h"
#include "win32/window_surface.h"

#include <cstring>

namespace terrain_test {

namespace {

void PushLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(uint8_t(value >> (8 * i)));
    }
}

} // namespace

bool Engine::Setup() {
    window = platform::CreateOffscreenWindow(800, 600);
    root = GFXMain::GetExemplar();
    if (window == nullptr || root == nullptr || !root->SetupEngine(window, nullptr)) {
        return false;
    }
    device = root->getInitManager()->device;
    terrain = root->getTerrainManager();
    return terrain != nullptr && terrain->InitTerrainSystem();
}

void Engine::ApplyView() {
    D3DXMATRIX view = {};
    KameraKlass::GetExemplar()->SetupViewMatrix(&view);
    device->SetTransform(D3DTS_VIEW, &view);
}

void Engine::PlaceCamera(float x, float y, float z, float pitch) {
    KameraKlass* camera = KameraKlass::GetExemplar();
    camera->position = D3DXVECTOR3(x, y, z);
    camera->pitch = pitch;
    ApplyView();
}

bool Engine::LoadFlat(int size, uint8_t height, unsigned char tile) {
    auto image = MakeMapImage(
        size, size, [=](int, int) { return height; }, [](int, int) { return 255; }, tile);
    return LoadImage(terrain, image);
}

int Engine::CountDraws() {
    device->BeginScene();
    const size_t draws = TracedCalls([this] { terrain->RenderAll(); }, "DrawIndexedPrimitive").size();
    device->EndScene();
    return int(draws);
}

std::vector<unsigned char> MakeMapImage(int w, int h, const SampleFunction& height,
                                        const SampleFunction& light, unsigned char tile) {
    const uint32_t wh = uint32_t(w * h);
    const uint32_t fields = uint32_t((w / 4) * (h / 4));
    const uint32_t total = 680 + 6 * wh + 2 * fields;
    // Total, reserved, width, height and the offsets of the light, height, offset, level and tile blocks.
    std::vector<unsigned char> image;
    for (uint32_t word : {total, 0u, 0u, uint32_t(w), uint32_t(h), 680 + wh, 680u, 680 + 2 * wh, 680 + 6 * wh,
                          680 + 6 * wh + fields}) {
        PushLittleEndian(image, word, 4);
    }
    image.resize(total, 0);
    for (int sz = 0; sz < h; ++sz) {
        for (int sx = 0; sx < w; ++sx) {
            image[680 + sx + sz * w] = height(sx, sz);
            image[680 + wh + sx + sz * w] = light(sx, sz);
        }
    }
    std::memset(&image[680 + 6 * wh + fields], tile, fields);
    return image;
}

bool LoadImage(TerrainManager* terrain, std::vector<unsigned char>& image) {
    unsigned char* data = image.data();
    return terrain->LoadMap(&data);
}

std::vector<uint8_t> MakeBitmap8(int w, int h, const SampleFunction& sample) {
    const uint32_t stride = (uint32_t(w) + 3) & ~3u;
    const uint32_t dataOffset = 54 + 256 * 4;
    std::vector<uint8_t> out = {'B', 'M'};
    // File header, then the info header: size, width, height, planes 1 and 8 bits, no compression,
    // image bytes, resolution and a palette of 256 greys.
    for (uint32_t word : {dataOffset + stride * uint32_t(h), 0u, dataOffset, 40u, uint32_t(w), uint32_t(h),
                          1u | 8u << 16, 0u, stride * uint32_t(h), 2835u, 2835u, 256u, 0u}) {
        PushLittleEndian(out, word, 4);
    }
    for (uint32_t i = 0; i < 256; ++i) {
        PushLittleEndian(out, i << 16 | i << 8 | i, 4);
    }
    for (int row = 0; row < h; ++row) {
        for (uint32_t x = 0; x < stride; ++x) {
            // Padding bytes carry a value that would show if they were taken as samples.
            out.push_back(x < uint32_t(w) ? sample(int(x), row) : 0xEE);
        }
    }
    return out;
}

float MeshHeight(int byte, float offset) {
    return float(byte) * 0.025f + 6.0f + (offset < -5.0f ? -5.0f : offset);
}

} // namespace terrain_test
