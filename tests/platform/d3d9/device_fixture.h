// Shared set-up of the device tests: an offscreen window with a device like the engine creates it,
// vertex structures of the formats the engine uses, and helpers that draw and probe pixels.
#pragma once

#include "d3d9/d3d9.h"
#include "d3d9/d3d9_testing.h"
#include "win32/window_surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cmath>
#include <functional>
#include <vector>

namespace d3d9test {

struct ScreenVertex { // 0x144
    float x, y, z, rhw;
    DWORD colour;
    float tu, tv;
};
constexpr DWORD SCREEN_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct ColouredVertex { // 0x142
    float x, y, z;
    DWORD colour;
    float tu, tv;
};
constexpr DWORD COLOURED_FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct PointVertex { // 0x62
    float x, y, z;
    float size;
    DWORD colour;
};
constexpr DWORD POINT_FVF = D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE;

inline int Channel(D3DCOLOR c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}

// True when red, green and blue differ by at most tolerance.
inline bool Near(D3DCOLOR a, D3DCOLOR b, int tolerance = 1) {
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance) {
            return false;
        }
    }
    return true;
}

// Blending as documented: per colour channel (source * source factor + target * destination factor) / 255,
// rounded and clamped; the factor of a channel is 0, 255, the source's own channel, 255 less it, the
// source alpha or 255 less it.
inline uint32_t BlendFormula(uint32_t source, uint32_t target, DWORD sourceFactor, DWORD destinationFactor) {
    auto factor = [](DWORD f, uint32_t c, uint32_t a) -> uint32_t {
        switch (f) {
        case D3DBLEND_ONE:
            return 255;
        case D3DBLEND_SRCCOLOR:
            return c;
        case D3DBLEND_INVSRCCOLOR:
            return 255 - c;
        case D3DBLEND_SRCALPHA:
            return a;
        case D3DBLEND_INVSRCALPHA:
            return 255 - a;
        default:
            return 0;
        }
    };
    uint32_t a = source >> 24;
    uint32_t result = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t s = (source >> shift) & 255, d = (target >> shift) & 255;
        double value = (s * factor(sourceFactor, s, a) + d * factor(destinationFactor, s, a)) / 255.0;
        result |= static_cast<uint32_t>(std::min(value + 0.5, 255.0)) << shift;
    }
    return result;
}

inline D3DMATRIX Identity() {
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// A left-handed perspective projection with the vertical field of view fovY.
inline D3DMATRIX Perspective(float fovY, float aspect, float zn, float zf) {
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    float yScale = 1.0f / std::tan(fovY / 2);
    m._11 = yScale / aspect;
    m._22 = yScale;
    m._33 = zf / (zf - zn);
    m._34 = 1.0f;
    m._43 = -zn * zf / (zf - zn);
    return m;
}

inline DWORD FloatToDword(float f) {
    DWORD d;
    std::memcpy(&d, &f, 4);
    return d;
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = platform::CreateOffscreenWindow(WIDTH, HEIGHT);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DDISPLAYMODE mode{};
        ASSERT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferFormat = mode.Format;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.Windowed = TRUE;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D16;
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
                  D3D_OK);
        // The engine's start states.
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    }

    void TearDown() override {
        for (IUnknown* object : owned) {
            object->Release();
        }
        // Every reference a test took is given back.
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        platform::d3d9::ClearFaults();
        platform::d3d9::EnableCallTrace(false);
        platform::d3d9::ClearCallTrace();
        platform::d3d9::ResetMaxTextureSize();
        platform::DestroyOffscreenWindow(window);
    }

    template <class Vertex>
    IDirect3DVertexBuffer9* MakeBuffer(const std::vector<Vertex>& vertices, DWORD fvf) {
        IDirect3DVertexBuffer9* vb = nullptr;
        UINT bytes = static_cast<UINT>(vertices.size() * sizeof(Vertex));
        EXPECT_EQ(device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, fvf, D3DPOOL_MANAGED, &vb, nullptr),
                  D3D_OK);
        void* data = nullptr;
        EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, vertices.data(), bytes);
        vb->Unlock();
        owned.push_back(vb);
        return vb;
    }

    // A texture filled by texel(x, y) on level 0; further levels filled with levelColour(level).
    IDirect3DTexture9* MakeTexture(int w, int h, const std::function<DWORD(int, int)>& texel, UINT levels = 1,
                                   const std::function<DWORD(int)>& levelColour = nullptr) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(w, h, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
            D3DSURFACE_DESC desc;
            texture->GetLevelDesc(level, &desc);
            D3DLOCKED_RECT rect;
            EXPECT_EQ(texture->LockRect(level, &rect, nullptr, 0), D3D_OK);
            for (UINT y = 0; y < desc.Height; ++y) {
                DWORD* row = reinterpret_cast<DWORD*>(static_cast<uint8_t*>(rect.pBits) + y * rect.Pitch);
                for (UINT x = 0; x < desc.Width; ++x) {
                    row[x] = level == 0 || !levelColour ? texel(static_cast<int>(x), static_cast<int>(y))
                                                        : levelColour(static_cast<int>(level));
                }
            }
            texture->UnlockRect(level);
        }
        owned.push_back(texture);
        return texture;
    }

    // Quad corners in the 2D layer's order: bottom-left, top-left, bottom-right, top-right.
    static std::vector<ScreenVertex> Quad(float left, float top, float right, float bottom, DWORD colour,
                                          float z = 0.0f) {
        return {{left, bottom, z, 1.0f, colour, 0.0f, 1.0f},
                {left, top, z, 1.0f, colour, 0.0f, 0.0f},
                {right, bottom, z, 1.0f, colour, 1.0f, 1.0f},
                {right, top, z, 1.0f, colour, 1.0f, 0.0f}};
    }

    // Draws count primitives of the vertices in a scene of their own; returns the draw's result.
    template <class Vertex>
    HRESULT Draw(const std::vector<Vertex>& vertices, DWORD fvf, D3DPRIMITIVETYPE type, UINT count) {
        IDirect3DVertexBuffer9* vb = MakeBuffer(vertices, fvf);
        device->SetFVF(fvf);
        device->SetStreamSource(0, vb, 0, sizeof(Vertex));
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        HRESULT result = device->DrawPrimitive(type, 0, count);
        EXPECT_EQ(device->EndScene(), D3D_OK);
        return result;
    }

    void DrawScreenStrip(const std::vector<ScreenVertex>& vertices) {
        EXPECT_EQ(Draw(vertices, SCREEN_FVF, D3DPT_TRIANGLESTRIP, static_cast<UINT>(vertices.size() - 2)),
                  D3D_OK);
    }

    D3DCOLOR Pixel(int x, int y) { return platform::d3d9::ReadBackBufferPixel(device, x, y); }

    void ExpectPixel(int x, int y, D3DCOLOR expected, int tolerance = 1) {
        D3DCOLOR actual = Pixel(x, y);
        EXPECT_TRUE(Near(actual, expected, tolerance))
            << "pixel (" << x << ", " << y << ") is " << std::hex << actual << ", expected " << expected;
    }

    static constexpr int WIDTH = 160;
    static constexpr int HEIGHT = 120;
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    std::vector<IUnknown*> owned;
};

} // namespace d3d9test
