// Device construction, queries, resource creation, the scene bracket, Clear and Present.
#include "d3d9/device.h"

#include "d3d9/call_trace.h"
#include "d3d9/direct3d9.h"
#include "d3d9/index_buffer.h"
#include "d3d9/texture.h"
#include "d3d9/vertex_buffer.h"
#include "win32/window_surface.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform::d3d9 {

namespace {

// Fills a row with a repeating little-endian 32-bit pattern; bytes is a multiple of 2 (depth rows
// use a pattern whose two halves are equal).
void FillRow(uint8_t* row, uint32_t pattern, size_t bytes) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i value = _mm_set1_epi32(static_cast<int>(pattern));
    for (; i + 16 <= bytes; i += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), value);
    }
#endif
    for (; i < bytes; i += 2) {
        uint16_t half = static_cast<uint16_t>(i % 4 == 0 ? pattern : pattern >> 16);
        std::memcpy(row + i, &half, 2);
    }
}

} // namespace

HRESULT Device::Create(Direct3D9* direct3d, HWND window, const D3DPRESENT_PARAMETERS& requested, DWORD,
                       Device** result) {
    D3DPRESENT_PARAMETERS parameters = requested;
    int clientWidth = 0, clientHeight = 0;
    bool knownWindow = window && platform::GetWindowClientSize(window, &clientWidth, &clientHeight);
    if (parameters.BackBufferWidth == 0 || parameters.BackBufferHeight == 0) {
        // A windowed device without a size takes the window's client area at creation time.
        if (!knownWindow || !parameters.Windowed) {
            return D3DERR_INVALIDCALL;
        }
        if (parameters.BackBufferWidth == 0) {
            parameters.BackBufferWidth = static_cast<UINT>(clientWidth);
        }
        if (parameters.BackBufferHeight == 0) {
            parameters.BackBufferHeight = static_cast<UINT>(clientHeight);
        }
    }
    if (parameters.BackBufferFormat == D3DFMT_UNKNOWN) {
        parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    }
    if (parameters.BackBufferFormat != D3DFMT_X8R8G8B8 && parameters.BackBufferFormat != D3DFMT_A8R8G8B8) {
        return D3DERR_NOTAVAILABLE;
    }
    if (parameters.EnableAutoDepthStencil && parameters.AutoDepthStencilFormat != D3DFMT_D16) {
        return D3DERR_NOTAVAILABLE;
    }
    if (parameters.BackBufferCount == 0) {
        parameters.BackBufferCount = 1;
    }
    auto backBuffer = std::make_shared<Image>();
    if (!backBuffer->Allocate(D3DFMT_X8R8G8B8, static_cast<int>(parameters.BackBufferWidth),
                              static_cast<int>(parameters.BackBufferHeight), false)) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    std::shared_ptr<Image> depthBuffer;
    if (parameters.EnableAutoDepthStencil) {
        depthBuffer = std::make_shared<Image>();
        depthBuffer->Allocate(D3DFMT_D16, backBuffer->width, backBuffer->height, false);
        std::fill(depthBuffer->bits.begin(), depthBuffer->bits.end(), uint8_t{0xFF});
    }
    Device* device = new Device(direct3d, window, parameters);
    device->backBuffer = std::move(backBuffer);
    device->depthBuffer = std::move(depthBuffer);
    D3DVIEWPORT9 full{0, 0, parameters.BackBufferWidth, parameters.BackBufferHeight, 0.0f, 1.0f};
    device->state.SetDefaults(parameters.EnableAutoDepthStencil != FALSE, full);
    *result = device;
    return D3D_OK;
}

Device::Device(Direct3D9* direct3d, HWND window, const D3DPRESENT_PARAMETERS& parameters)
    : direct3d(direct3d), window(window), parameters(parameters) {
    direct3d->AddRef();
}

Device::~Device() {
    if (recording) {
        recording->Release();
        recording = nullptr;
    }
    direct3d->Release();
}

void Device::ForgetResource(const void* resource) {
    if (state.stream == resource) {
        state.stream = nullptr;
    }
    if (state.indices == resource) {
        state.indices = nullptr;
    }
    for (Texture*& texture : state.textures) {
        if (texture == resource) {
            texture = nullptr;
        }
    }
    for (StateBlock* block : stateBlocks) {
        block->Forget(resource);
    }
}

void Device::RegisterStateBlock(StateBlock* block) {
    stateBlocks.push_back(block);
}

void Device::UnregisterStateBlock(StateBlock* block) {
    std::erase(stateBlocks, block);
}

HRESULT Device::GetDirect3D(IDirect3D9** result) {
    if (!result) {
        return Traced(this, "GetDirect3D", {}, D3DERR_INVALIDCALL);
    }
    direct3d->AddRef();
    *result = direct3d;
    return Traced(this, "GetDirect3D", {}, D3D_OK);
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
    if (!caps) {
        return Traced(this, "GetDeviceCaps", {}, D3DERR_INVALIDCALL);
    }
    FillCaps(caps);
    return Traced(this, "GetDeviceCaps", {}, D3D_OK);
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
    if (swapChain != 0 || !mode) {
        return Traced(this, "GetDisplayMode", {Arg(swapChain)}, D3DERR_INVALIDCALL);
    }
    D3DDISPLAYMODE desktop{};
    direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop);
    *mode = desktop;
    return Traced(this, "GetDisplayMode", {Arg(swapChain)}, D3D_OK);
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    if (index != 0 || !surface) {
        return Traced(this, "GetRenderTarget", {Arg(index)}, D3DERR_INVALIDCALL);
    }
    *surface = new Surface(this, this, backBuffer, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
    return Traced(this, "GetRenderTarget", {Arg(index)}, D3D_OK);
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** surface) {
    if (!surface || !depthBuffer) {
        return Traced(this, "GetDepthStencilSurface", {}, depthBuffer ? D3DERR_INVALIDCALL : D3DERR_NOTFOUND);
    }
    *surface = new Surface(this, this, depthBuffer, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
    return Traced(this, "GetDepthStencilSurface", {}, D3D_OK);
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) {
    auto trace = [&](HRESULT hr) {
        return Traced(
            this, "CreateTexture",
            {Arg(width), Arg(height), Arg(levels), Arg(usage), Arg(format), Arg(pool), Arg(sharedHandle)},
            hr);
    };
    if (!texture || sharedHandle) {
        return trace(D3DERR_INVALIDCALL);
    }
    *texture = nullptr;
    if (FaultFires(Fault::CreateTexture)) {
        return trace(D3DERR_OUTOFVIDEOMEMORY);
    }
    Texture* created = Texture::Create(this, width, height, levels, usage, format, pool);
    if (!created) {
        return trace(D3DERR_INVALIDCALL);
    }
    *texture = created;
    return trace(D3D_OK);
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** vertexBuffer, HANDLE* sharedHandle) {
    auto trace = [&](HRESULT hr) {
        return Traced(this, "CreateVertexBuffer",
                      {Arg(length), Arg(usage), Arg(fvf), Arg(pool), Arg(sharedHandle)}, hr);
    };
    if (!vertexBuffer || sharedHandle || length == 0 || length > (1u << 30)) {
        return trace(D3DERR_INVALIDCALL);
    }
    *vertexBuffer = nullptr;
    if (FaultFires(Fault::CreateVertexBuffer)) {
        return trace(D3DERR_OUTOFVIDEOMEMORY);
    }
    *vertexBuffer = new VertexBuffer(this, length, usage, fvf, pool);
    return trace(D3D_OK);
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** indexBuffer, HANDLE* sharedHandle) {
    auto trace = [&](HRESULT hr) {
        return Traced(this, "CreateIndexBuffer",
                      {Arg(length), Arg(usage), Arg(format), Arg(pool), Arg(sharedHandle)}, hr);
    };
    if (!indexBuffer || sharedHandle || length == 0 || length > (1u << 30) ||
        (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) {
        return trace(D3DERR_INVALIDCALL);
    }
    *indexBuffer = nullptr;
    if (FaultFires(Fault::CreateIndexBuffer)) {
        return trace(D3DERR_OUTOFVIDEOMEMORY);
    }
    *indexBuffer = new IndexBuffer(this, length, usage, format, pool);
    return trace(D3D_OK);
}

HRESULT Device::BeginScene() {
    if (inScene || FaultFires(Fault::BeginScene)) {
        return Traced(this, "BeginScene", {}, D3DERR_INVALIDCALL);
    }
    inScene = true;
    return Traced(this, "BeginScene", {}, D3D_OK);
}

HRESULT Device::EndScene() {
    if (!inScene || FaultFires(Fault::EndScene)) {
        return Traced(this, "EndScene", {}, D3DERR_INVALIDCALL);
    }
    inScene = false;
    return Traced(this, "EndScene", {}, D3D_OK);
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
    auto trace = [&](HRESULT hr) {
        return Traced(this, "Clear", {Arg(count), Arg(rects), Arg(flags), Arg(color), Arg(z), Arg(stencil)},
                      hr);
    };
    if ((flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0 ||
        (flags & D3DCLEAR_STENCIL) != 0 || ((flags & D3DCLEAR_ZBUFFER) && !depthBuffer) ||
        (count > 0 && !rects) || FaultFires(Fault::Clear)) {
        return trace(D3DERR_INVALIDCALL);
    }
    ClearCall call;
    call.rectCount = count;
    call.rects = rects;
    call.flags = flags;
    call.colour = color;
    call.z = z;
    call.viewport = state.viewport;
    if (!Repeats(call)) {
        ClearTarget(call);
    }
    return trace(D3D_OK);
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const RGNDATA* dirtyRegion) {
    auto trace = [&](HRESULT hr) {
        return Traced(this, "Present",
                      {Arg(sourceRect), Arg(destRect), Arg(destWindowOverride), Arg(dirtyRegion)}, hr);
    };
    if (FaultFires(Fault::Present)) {
        return trace(D3DERR_INVALIDCALL);
    }
    FinishFrame();
    HWND target = destWindowOverride ? destWindowOverride : window;
    if (!platform::GetWindowClientSize(target, nullptr, nullptr)) {
        return trace(D3DERR_INVALIDCALL);
    }
    platform::FrameView frame;
    frame.pixels = reinterpret_cast<const uint32_t*>(backBuffer->bits.data());
    frame.width = backBuffer->width;
    frame.height = backBuffer->height;
    frame.pitchPixels = backBuffer->pitch / 4;
    frame.version = backBuffer->version;
    platform::PresentFrame(target, frame);
    return trace(D3D_OK);
}

void Device::ClearTarget(const ClearCall& call) {
    const D3DVIEWPORT9& vp = call.viewport;
    const LONG viewLeft = static_cast<LONG>(vp.X), viewTop = static_cast<LONG>(vp.Y);
    const LONG viewRight =
        static_cast<LONG>(std::min<uint64_t>(uint64_t{vp.X} + vp.Width, backBuffer->width));
    const LONG viewBottom =
        static_cast<LONG>(std::min<uint64_t>(uint64_t{vp.Y} + vp.Height, backBuffer->height));
    const D3DRECT whole{viewLeft, viewTop, viewRight, viewBottom};
    const DWORD rectCount = call.rectCount == 0 ? 1 : call.rectCount;
    const uint32_t colour = call.colour | 0xFF000000u;
    const uint16_t depth = DepthToD16(call.z);
    for (DWORD r = 0; r < rectCount; ++r) {
        const D3DRECT& rect = call.rectCount == 0 ? whole : call.rects[r];
        LONG left = std::max(rect.x1, viewLeft), right = std::min(rect.x2, viewRight);
        LONG top = std::max(rect.y1, viewTop), bottom = std::min(rect.y2, viewBottom);
        if (left >= right || top >= bottom) {
            continue;
        }
        pictureDrawn = true;
        for (LONG y = top; y < bottom; ++y) {
            if (call.flags & D3DCLEAR_TARGET) {
                FillRow(backBuffer->bits.data() + static_cast<size_t>(y) * backBuffer->pitch + left * 4,
                        colour, static_cast<size_t>(right - left) * 4);
            }
            if (call.flags & D3DCLEAR_ZBUFFER) {
                FillRow(depthBuffer->bits.data() + static_cast<size_t>(y) * depthBuffer->pitch + left * 2,
                        static_cast<uint32_t>(depth) * 0x10001u, static_cast<size_t>(right - left) * 2);
            }
        }
    }
}

RenderTarget Device::Target() const {
    RenderTarget target;
    target.colour = reinterpret_cast<uint32_t*>(backBuffer->bits.data());
    target.colourPitch = backBuffer->pitch / 4;
    if (depthBuffer) {
        target.depth = reinterpret_cast<uint16_t*>(depthBuffer->bits.data());
        target.depthPitch = depthBuffer->pitch / 2;
    }
    target.width = backBuffer->width;
    target.height = backBuffer->height;
    return target;
}

} // namespace platform::d3d9
