// The game's frame on the software device: Clear, an 800 x 600 background quad, 352 alpha-blended
// 48 x 48 stones and three translucent rectangles, each draw in its own scene with the 2D layer's
// state calls and vertex-buffer lock, then Present to an offscreen window. The game frame changes its
// last rectangle every time, so that all of it is drawn; the unchanged frame draws the same frame again.
#include "d3d9/d3d9.h"
#include "win32/window_surface.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

struct ScreenVertex {
    float x, y, z, rhw;
    DWORD colour;
    float tu, tv;
};
constexpr DWORD SCREEN_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class Frame {
public:
    Frame() {
        window = platform::CreateOffscreenWindow(800, 600);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.Windowed = TRUE;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D16;
        d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                          &pp, &device);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        background =
            MakeTexture(800, 600, [](int x, int y) { return 0xFF000000u | (x & 255) << 16 | (y & 255); });
        for (int i = 0; i < 6; ++i) {
            stones.push_back(MakeTexture(48, 48, [i](int x, int y) {
                int dx = x - 24, dy = y - 24;
                DWORD alpha = dx * dx + dy * dy < 22 * 22 ? 0xFF : 0x00;
                return alpha << 24 | static_cast<DWORD>(i * 40) << 16 | static_cast<DWORD>(x * 5) << 8 |
                       y * 5;
            }));
        }
        device->CreateVertexBuffer(4 * sizeof(ScreenVertex), D3DUSAGE_WRITEONLY, SCREEN_FVF, D3DPOOL_MANAGED,
                                   &quad, nullptr);
    }

    ~Frame() {
        quad->Release();
        background->Release();
        for (IDirect3DTexture9* stone : stones) {
            stone->Release();
        }
        device->Release();
        d3d->Release();
        platform::DestroyOffscreenWindow(window);
    }

    // lastColour: the colour of the last rectangle, the frame's last draw.
    void Draw(DWORD lastColour = 0x80204080) {
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->EndScene();
        DrawTextur(background, 0, 0, 800, 600, 0xFFFFFFFF, false);
        for (int row = 0; row < 16; ++row) {
            for (int column = 0; column < 22; ++column) {
                DrawTextur(stones[static_cast<size_t>((row + column) % 6)], 16 + column * 35, 20 + row * 35,
                           48, 48, 0xFFFFFFFF, true);
            }
        }
        for (int i = 0; i < 3; ++i) {
            DrawRect(100 + i * 200, 540, 260 + i * 200, 590, i == 2 ? lastColour : 0x80204080);
        }
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    // The same draw calls with one-pixel quads: the cost of the calls themselves.
    void DrawCallsOnly() {
        for (int i = 0; i < 370; ++i) {
            DrawTextur(stones[static_cast<size_t>(i % 6)], static_cast<float>(i % 700), 300, 1, 1, 0xFFFFFFFF,
                       true);
        }
    }

private:
    template <class F> IDirect3DTexture9* MakeTexture(int w, int h, F texel) {
        IDirect3DTexture9* texture = nullptr;
        device->CreateTexture(w, h, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
        D3DLOCKED_RECT rect;
        texture->LockRect(0, &rect, nullptr, 0);
        for (int y = 0; y < h; ++y) {
            DWORD* out = reinterpret_cast<DWORD*>(static_cast<uint8_t*>(rect.pBits) + y * rect.Pitch);
            for (int x = 0; x < w; ++x) {
                out[x] = texel(x, y);
            }
        }
        texture->UnlockRect(0);
        return texture;
    }

    void FillQuad(float x, float y, float w, float h, DWORD colour) {
        ScreenVertex v[4] = {{x, y + h, 0, 1, colour, 0, 1},
                             {x, y, 0, 1, colour, 0, 0},
                             {x + w, y + h, 0, 1, colour, 1, 1},
                             {x + w, y, 0, 1, colour, 1, 0}};
        void* data = nullptr;
        quad->Lock(0, 0, &data, 0);
        std::memcpy(data, v, sizeof v);
        quad->Unlock();
    }

    // The 2D layer's textured quad.
    void DrawTextur(IDirect3DTexture9* texture, float x, float y, float w, float h, DWORD colour,
                    bool alphaBlend) {
        FillQuad(x, y, w, h, colour);
        device->BeginScene();
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        if (alphaBlend) {
            device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        }
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        device->SetTexture(0, texture);
        device->SetTexture(1, nullptr);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetFVF(SCREEN_FVF);
        device->SetStreamSource(0, quad, 0, sizeof(ScreenVertex));
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        device->EndScene();
    }

    // The 2D layer's filled rectangle.
    void DrawRect(float left, float top, float right, float bottom, DWORD colour) {
        FillQuad(left, top, right - left, bottom - top, colour);
        device->BeginScene();
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        device->SetTexture(0, nullptr);
        device->SetTexture(1, nullptr);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetFVF(SCREEN_FVF);
        device->SetStreamSource(0, quad, 0, sizeof(ScreenVertex));
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        device->EndScene();
    }

    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DTexture9* background = nullptr;
    std::vector<IDirect3DTexture9*> stones;
    IDirect3DVertexBuffer9* quad = nullptr;
};

void BM_GameFrame(benchmark::State& state) {
    Frame frame;
    DWORD lastColour = 0x80204080;
    for (auto _ : state) {
        lastColour ^= 0x00010000;
        frame.Draw(lastColour);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMillisecond);

// The game's frame drawn again without any change: what a still board costs.
void BM_UnchangedGameFrame(benchmark::State& state) {
    Frame frame;
    frame.Draw();
    for (auto _ : state) {
        frame.Draw();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UnchangedGameFrame)->Unit(benchmark::kMillisecond);

void BM_FrameDrawCallsOnly(benchmark::State& state) {
    Frame frame;
    for (auto _ : state) {
        frame.DrawCallsOnly();
    }
    state.SetItemsProcessed(state.iterations() * 370);
}
BENCHMARK(BM_FrameDrawCallsOnly)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
