// Fill rate of the software device: a 512 x 512 quad textured from a 256 x 256 picture with partial
// alpha, alpha-blended over the back buffer, with point and with linear filtering. Items are pixels.
#include "d3d9/d3d9.h"
#include "win32/window_surface.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

struct ScreenVertex {
    float x, y, z, rhw;
    DWORD colour;
    float tu, tv;
};
constexpr DWORD SCREEN_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr int QUAD_SIZE = 512;

void Fill(benchmark::State& state, DWORD filter) {
    HWND window = platform::CreateOffscreenWindow(QUAD_SIZE, QUAD_SIZE);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    IDirect3DDevice9* device = nullptr;
    d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                      &device);
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    D3DLOCKED_RECT rect;
    texture->LockRect(0, &rect, nullptr, 0);
    for (int y = 0; y < 256; ++y) {
        DWORD* row = reinterpret_cast<DWORD*>(static_cast<uint8_t*>(rect.pBits) + y * rect.Pitch);
        for (int x = 0; x < 256; ++x) {
            row[x] = static_cast<DWORD>((x + y) & 255) << 24 | static_cast<DWORD>(x) << 16 | y << 8 | 0x80;
        }
    }
    texture->UnlockRect(0);
    const float size = QUAD_SIZE;
    ScreenVertex quad[4] = {{0, size, 0, 1, 0xFFFFFFFF, 0, 1},
                            {0, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                            {size, size, 0, 1, 0xFFFFFFFF, 1, 1},
                            {size, 0, 0, 1, 0xFFFFFFFF, 1, 0}};
    IDirect3DVertexBuffer9* vb = nullptr;
    device->CreateVertexBuffer(sizeof quad, D3DUSAGE_WRITEONLY, SCREEN_FVF, D3DPOOL_MANAGED, &vb, nullptr);
    void* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, quad, sizeof quad);
    vb->Unlock();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    device->SetFVF(SCREEN_FVF);
    device->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
    for (auto _ : state) {
        device->BeginScene();
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        device->EndScene();
    }
    state.SetItemsProcessed(state.iterations() * QUAD_SIZE * QUAD_SIZE);
    vb->Release();
    texture->Release();
    device->Release();
    d3d->Release();
    platform::DestroyOffscreenWindow(window);
}

// A textured floor in perspective with mip levels and the depth test, as the terrain draws: the
// general sampling path. Items are covered pixels (about half the target).
void BM_PerspectiveMippedFloor(benchmark::State& state) {
    struct Vertex {
        float x, y, z;
        DWORD colour;
        float tu, tv;
    };
    HWND window = platform::CreateOffscreenWindow(800, 600);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    IDirect3DDevice9* device = nullptr;
    d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                      &device);
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(256, 256, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT rect;
        texture->LockRect(level, &rect, nullptr, 0);
        for (UINT y = 0; y < desc.Height; ++y) {
            DWORD* row = reinterpret_cast<DWORD*>(static_cast<uint8_t*>(rect.pBits) + y * rect.Pitch);
            for (UINT x = 0; x < desc.Width; ++x) {
                row[x] = 0xFF000000u | ((x ^ y) & 1 ? 0x00C08040u : 0x00406080u);
            }
        }
        texture->UnlockRect(level);
    }
    // Row-vector perspective: field of view 45 degrees, aspect 4:3, near 10, far 200.
    D3DMATRIX projection{};
    const float yScale = 2.4142135f, zf = 200.0f, zn = 10.0f;
    projection._11 = yScale / (4.0f / 3.0f);
    projection._22 = yScale;
    projection._33 = zf / (zf - zn);
    projection._34 = 1.0f;
    projection._43 = -zn * zf / (zf - zn);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    Vertex floor[4] = {{-100, -10, 12, 0xFFFFFFFF, 0, 20},
                       {-100, -10, 190, 0xFFFFFFFF, 0, 0},
                       {100, -10, 12, 0xFFFFFFFF, 20, 20},
                       {100, -10, 190, 0xFFFFFFFF, 20, 0}};
    IDirect3DVertexBuffer9* vb = nullptr;
    device->CreateVertexBuffer(sizeof floor, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_MANAGED, &vb, nullptr);
    void* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, floor, sizeof floor);
    vb->Unlock();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    device->SetFVF(0x142);
    device->SetStreamSource(0, vb, 0, sizeof(Vertex));
    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->BeginScene();
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        device->EndScene();
    }
    state.SetItemsProcessed(state.iterations() * 800 * 300);
    vb->Release();
    texture->Release();
    device->Release();
    d3d->Release();
    platform::DestroyOffscreenWindow(window);
}
BENCHMARK(BM_PerspectiveMippedFloor)->Unit(benchmark::kMillisecond);

void BM_TexturedFillPoint(benchmark::State& state) {
    Fill(state, D3DTEXF_POINT);
}
void BM_TexturedFillLinear(benchmark::State& state) {
    Fill(state, D3DTEXF_LINEAR);
}
BENCHMARK(BM_TexturedFillPoint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TexturedFillLinear)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
