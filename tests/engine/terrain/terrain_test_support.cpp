// Set-up and builders shared by the terrain tests.
#include "terrain_test_support.h"

#include "core/buffer_manager.h"
#include "core/gfx_main.h"
#include "core/init_manager.h"
#include "core/kamera_klass.h"
#include "win32/window_surface.h"

#include <cstring>

namespace terrain_test {

namespace {

void PutU32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

void PushU16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void PushU32(std::vector<uint8_t>& out, uint32_t value) {
    PushU16(out, value & 0xFFFF);
    PushU16(out, value >> 16);
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

std::vector<unsigned char> MakeMapImage(int w, int h, const SampleFunction& height,
                                        const SampleFunction& light, unsigned char tile) {
    const uint32_t wh = uint32_t(w * h);
    const uint32_t fields = uint32_t((w / 4) * (h / 4));
    const uint32_t total = 680 + 6 * wh + 2 * fields;
    std::vector<unsigned char> image(total, 0);
    PutU32(&image[0], total);
    PutU32(&image[12], uint32_t(w));
    PutU32(&image[16], uint32_t(h));
    PutU32(&image[20], 680 + wh);
    PutU32(&image[24], 680);
    PutU32(&image[28], 680 + 2 * wh);
    PutU32(&image[32], 680 + 6 * wh);
    PutU32(&image[36], 680 + 6 * wh + fields);
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

std::vector<uint8_t> MakeBitmap8(int w, int h, const SampleFunction& sample, const BitmapOptions& options) {
    const uint32_t stride = (uint32_t(w) + 3) & ~3u;
    const uint32_t dataOffset = 54 + 256 * 4;
    std::vector<uint8_t> out;
    out.push_back(options.badSignature ? 'M' : 'B');
    out.push_back(options.badSignature ? 'B' : 'M');
    PushU32(out, dataOffset + stride * uint32_t(h));
    PushU32(out, 0);
    PushU32(out, dataOffset);
    PushU32(out, 40);
    PushU32(out, uint32_t(w));
    PushU32(out, uint32_t(options.topDown ? -h : h));
    PushU16(out, 1);
    PushU16(out, uint32_t(options.bitCount));
    PushU32(out, uint32_t(options.compression));
    PushU32(out, stride * uint32_t(h));
    PushU32(out, 2835);
    PushU32(out, 2835);
    PushU32(out, 256);
    PushU32(out, 0);
    for (uint32_t i = 0; i < 256; ++i) {
        PushU32(out, i << 16 | i << 8 | i);
    }
    for (int row = 0; row < h; ++row) {
        for (uint32_t x = 0; x < stride; ++x) {
            // Padding bytes carry a value that would show if they were taken as samples.
            out.push_back(x < uint32_t(w) ? sample(int(x), row) : 0xEE);
        }
    }
    out.resize(out.size() - std::min(options.cutBytes, out.size()));
    return out;
}

float MeshHeight(int byte, float offset) {
    return float(byte) * 0.025f + 6.0f + (offset < -5.0f ? -5.0f : offset);
}

std::vector<TerrainVertex> ReadVertexBuffer(int id, int count) {
    std::vector<TerrainVertex> vertices(static_cast<size_t>(count));
    IDirect3DVertexBuffer9* buffer = BufferManager::GetExemplar()->GetVertexBuffer(id);
    void* data = nullptr;
    if (buffer == nullptr || buffer->Lock(0, 0, &data, 0) < 0) {
        return {};
    }
    std::memcpy(vertices.data(), data, vertices.size() * sizeof(TerrainVertex));
    buffer->Unlock();
    return vertices;
}

std::vector<uint16_t> ReadIndexBuffer(int id, int count) {
    std::vector<uint16_t> indices(static_cast<size_t>(count));
    IDirect3DIndexBuffer9* buffer = BufferManager::GetExemplar()->GetIndexBuffer(id);
    void* data = nullptr;
    if (buffer == nullptr || buffer->Lock(0, 0, &data, 0) < 0) {
        return {};
    }
    std::memcpy(indices.data(), data, indices.size() * sizeof(uint16_t));
    buffer->Unlock();
    return indices;
}

} // namespace terrain_test
