// The device's object model: creation, reference counts, queries, resources and their locks, scene
// brackets, Clear, Present, the call trace and fault injection.
#include "device_fixture.h"

#include <array>

using namespace d3d9test;
namespace hooks = platform::d3d9;

TEST_F(DeviceTest, WindowedDeviceTakesClientSizeAndReportsBlendingSupport) {
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    D3DVIEWPORT9 vp{};
    device->GetViewport(&vp);
    EXPECT_EQ(vp.X, 0u);
    EXPECT_EQ(vp.Width, 160u);
    EXPECT_EQ(vp.Height, 120u);
    EXPECT_EQ(vp.MaxZ, 1.0f);

    // The font's blending check, step by step.
    IDirect3D9* fromDevice = nullptr;
    ASSERT_EQ(device->GetDirect3D(&fromDevice), D3D_OK);
    EXPECT_EQ(fromDevice, d3d);
    D3DCAPS9 caps{};
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.MaxTextureWidth, 4096u);
    D3DDISPLAYMODE deviceMode{};
    ASSERT_EQ(device->GetDisplayMode(0, &deviceMode), D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &surface), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 160u);
    EXPECT_EQ(fromDevice->CheckDeviceFormat(caps.AdapterOrdinal, caps.DeviceType, deviceMode.Format,
                                            D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING,
                                            D3DRTYPE_SURFACE, desc.Format),
              D3D_OK);
    // Formats the device can make: the back buffer's as a target, D16 as depth, and the texture formats.
    const struct {
        DWORD usage;
        D3DRESOURCETYPE type;
        D3DFORMAT format;
        HRESULT result;
    } formats[] = {{D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE},
                   {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16, D3D_OK},
                   {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_X8R8G8B8, D3DERR_NOTAVAILABLE},
                   {0, D3DRTYPE_TEXTURE, D3DFMT_A4R4G4B4, D3D_OK},
                   {0, D3DRTYPE_TEXTURE, D3DFMT_DXT1, D3DERR_NOTAVAILABLE},
                   {0, D3DRTYPE_VERTEXBUFFER, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE}};
    for (const auto& row : formats) {
        EXPECT_EQ(fromDevice->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, row.usage, row.type,
                                                row.format),
                  row.result)
            << "usage " << row.usage << " type " << row.type << " format " << row.format;
    }
    EXPECT_EQ(fromDevice->CheckDeviceFormat(1, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE,
                                            D3DFMT_A8R8G8B8),
              D3DERR_NOTAVAILABLE);
    surface->Release();
    fromDevice->Release();
}

TEST(Direct3DCreation, AnyOtherSdkVersionAndAnUnknownWindowWithoutSizeAreRefused) {
    EXPECT_EQ(Direct3DCreate9(32), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(31);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
    EXPECT_LT(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &pp, &device), 0);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(d3d->Release(), 0u);
}

TEST_F(DeviceTest, ScenesCannotNestAndDrawsNeedASceneAndABoundStream) {
    device->SetFVF(SCREEN_FVF);
    IDirect3DVertexBuffer9* vb = MakeBuffer(Quad(0, 0, 10, 10, 0xFFFFFFFF), SCREEN_FVF);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetStreamSource(0, nullptr, 0, 28), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_TRUE(hooks::InScene(device));
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 0), D3DERR_INVALIDCALL);
    device->SetStreamSource(0, vb, 0, 28);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 0), D3D_OK);
    // More vertices than the buffer holds, or a stride shorter than the format's vertex.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 3), D3DERR_INVALIDCALL);
    device->SetStreamSource(0, vb, 0, 20);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 1), D3DERR_INVALIDCALL);
    device->SetStreamSource(0, vb, 0, 28);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
    ExpectPixel(5, 5, 0xFFFFFFFF);
}

TEST_F(DeviceTest, ClearFillsColourAndDepthWithinTheViewport) {
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00336699, 0.5f, 0), D3D_OK);
    ExpectPixel(0, 0, 0xFF336699);
    ExpectPixel(WIDTH - 1, HEIGHT - 1, 0xFF336699);
    EXPECT_EQ(hooks::ReadDepthValue(device, 3, 3), 32768);
    D3DRECT rect{10, 10, 20, 20};
    EXPECT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    ExpectPixel(15, 15, 0xFFFF0000);
    ExpectPixel(20, 20, 0xFF336699);
    D3DVIEWPORT9 vp{40, 40, 10, 10, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    ExpectPixel(45, 45, 0xFF00FF00);
    ExpectPixel(39, 45, 0xFF336699);
    ExpectPixel(50, 45, 0xFF336699);
}

TEST_F(DeviceTest, PresentHandsTheBackBufferToTheWindow) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    platform::PresentedFrame frame;
    ASSERT_TRUE(platform::LastPresentedFrame(window, &frame));
    EXPECT_EQ(frame.width, WIDTH);
    EXPECT_EQ(frame.height, HEIGHT);
    EXPECT_EQ(frame.pixels[5] & 0xFFFFFF, 0x102030u);
    // Another window named for this Present gets the frame; a handle that names no window fails.
    HWND other = platform::CreateOffscreenWindow(40, 30);
    EXPECT_EQ(device->Present(nullptr, nullptr, other, nullptr), D3D_OK);
    EXPECT_TRUE(platform::LastPresentedFrame(other, &frame));
    platform::DestroyOffscreenWindow(other);
    EXPECT_EQ(device->Present(nullptr, nullptr, other, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, BufferLocksCheckTheirRangeAndIndexBuffersTheirFormat) {
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(112, D3DUSAGE_WRITEONLY, SCREEN_FVF, D3DPOOL_MANAGED, &vb, nullptr),
              D3D_OK);
    owned.push_back(vb);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    std::memset(data, 0x5A, 112);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    ASSERT_EQ(vb->Lock(100, 12, &data, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(data)[11], 0x5A);
    vb->Unlock();
    EXPECT_EQ(vb->Lock(100, 13, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(113, 0, &data, 0), D3DERR_INVALIDCALL);
    D3DVERTEXBUFFER_DESC desc{};
    vb->GetDesc(&desc);
    EXPECT_EQ(desc.Size, 112u);
    EXPECT_EQ(desc.FVF, SCREEN_FVF);
    // Indices are 16 or 32 bits wide; no other format makes an index buffer.
    IDirect3DIndexBuffer9* ib = nullptr;
    EXPECT_LT(device->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib, nullptr), 0);
}

TEST_F(DeviceTest, TexturesBuildTheFullChainLockEachLevelExpandFourBitChannelsAndKeepTheSizeLimit) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(64, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    owned.push_back(texture);
    ASSERT_EQ(texture->GetLevelCount(), 7u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(6, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);
    ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 16u);
    EXPECT_EQ(desc.Height, 4u);
    EXPECT_EQ(texture->GetLevelDesc(7, &desc), D3DERR_INVALIDCALL);
    D3DLOCKED_RECT rect{};
    ASSERT_EQ(texture->LockRect(2, &rect, nullptr, 0), D3D_OK);
    EXPECT_EQ(rect.Pitch, 64);
    EXPECT_EQ(texture->LockRect(2, &rect, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->UnlockRect(2), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(2), D3DERR_INVALIDCALL);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(1, &level), D3D_OK);
    level->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 32u);
    level->Release();

    IDirect3DTexture9* glyphs = nullptr;
    ASSERT_EQ(device->CreateTexture(128, 128, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &glyphs, nullptr),
              D3D_OK);
    owned.push_back(glyphs);
    ASSERT_EQ(glyphs->LockRect(0, &rect, nullptr, 0), D3D_OK);
    EXPECT_EQ(rect.Pitch, 256);
    // Each 4-bit channel n reads as n * 17: alpha, red, green and blue differ per texel.
    auto nibbles = [](int x, int y) {
        return std::array<DWORD, 4>{DWORD(15 - x % 16), DWORD(x % 16), DWORD(y % 16),
                                    DWORD((x + 3 * y) % 16)};
    };
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            auto [a, r, g, b] = nibbles(x, y);
            WORD texel = static_cast<WORD>(a << 12 | r << 8 | g << 4 | b);
            std::memcpy(static_cast<uint8_t*>(rect.pBits) + y * rect.Pitch + x * 2, &texel, 2);
        }
    }
    glyphs->UnlockRect(0);
    device->SetTexture(0, glyphs);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    std::vector<ScreenVertex> quad = Quad(0, 0, 32, 32, 0xFFFFFFFF);
    quad[0].tv = quad[2].tv = quad[2].tu = quad[3].tu = 0.25f;
    DrawScreenStrip(quad);
    for (int y = 0; y < 32; y += 3) {
        for (int x = 0; x < 32; x += 5) {
            auto [a, r, g, b] = nibbles(x, y);
            ExpectPixel(x, y,
                        BlendFormula(a * 17 << 24 | r * 17 << 16 | g * 17 << 8 | b * 17, 0xFF000000,
                                     D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA),
                        0);
        }
    }
    device->SetTexture(0, nullptr);

    // The size limit a test can set is reported and kept.
    hooks::SetMaxTextureSize(256, 256);
    D3DCAPS9 caps{};
    device->GetDeviceCaps(&caps);
    EXPECT_EQ(caps.MaxTextureWidth, 256u);
    IDirect3DTexture9* large = nullptr;
    EXPECT_EQ(device->CreateTexture(512, 512, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &large, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(large, nullptr);
    ASSERT_EQ(device->CreateTexture(256, 256, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &large, nullptr),
              D3D_OK);
    owned.push_back(large);
}

TEST_F(DeviceTest, ReleasedTextureIsUnboundFromDeviceAndStateBlocks) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    device->SetTexture(0, texture);
    device->BeginStateBlock();
    device->SetTexture(0, texture);
    IDirect3DStateBlock9* block = nullptr;
    device->EndStateBlock(&block);
    EXPECT_EQ(texture->Release(), 0u);
    IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    block->Apply();
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    block->Release();
}

TEST_F(DeviceTest, InjectedFaultsFailTheNamedCallsOnly) {
    hooks::InjectFault(hooks::Fault::BeginScene, 1, 1);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_LT(device->BeginScene(), 0);
    EXPECT_FALSE(hooks::InScene(device));
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    device->EndScene();

    hooks::InjectFault(hooks::Fault::CreateVertexBuffer);
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_LT(device->CreateVertexBuffer(28, 0, 0, D3DPOOL_DEFAULT, &vb, nullptr), 0);
    EXPECT_EQ(vb, nullptr);
    ASSERT_EQ(device->CreateVertexBuffer(28, 0, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
    owned.push_back(vb);

    hooks::InjectFault(hooks::Fault::VertexBufferLock, 0, -1);
    void* data = nullptr;
    EXPECT_LT(vb->Lock(0, 0, &data, 0), 0);
    EXPECT_LT(vb->Lock(0, 0, &data, 0), 0);
    hooks::ClearFaults();
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    vb->Unlock();

    hooks::InjectFault(hooks::Fault::Direct3DCreate);
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
}

TEST_F(DeviceTest, CallTraceRecordsCallsInOrderWithTheirArguments) {
    hooks::EnableCallTrace(true);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_POINTSCALE_C, 0x41F06666);
    device->BeginScene();
    device->BeginScene();
    device->EndScene();
    hooks::EnableCallTrace(false);
    device->EndScene();
    std::vector<std::string> lines = hooks::CallTraceLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], hooks::FormatCall("SetRenderState", {D3DRS_ALPHABLENDENABLE, TRUE}));
    EXPECT_EQ(lines[1], hooks::FormatCall("SetRenderState", {D3DRS_POINTSCALE_C, 0x41F06666}));
    EXPECT_EQ(lines[3], "BeginScene()");
    std::vector<hooks::TracedCall> calls = hooks::CallTrace();
    EXPECT_EQ(calls[3].result, D3DERR_INVALIDCALL);
    EXPECT_EQ(calls[0].object, device);
    EXPECT_EQ(hooks::CallTraceLines("EndScene").size(), 1u);
}

TEST_F(DeviceTest, CallsWithMissingResultsOrOutOfRangeArgumentsAreRefusedAndChangeNothing) {
    IDirect3DTexture9* texture = nullptr;
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    IDirect3DSurface9* surface = nullptr;
    IDirect3DStateBlock9* block = nullptr;
    HANDLE shared = reinterpret_cast<HANDLE>(8);
    D3DDISPLAYMODE mode{};
    D3DMATRIX matrix = Identity();
    matrix._41 = 7.0f;
    const struct {
        const char* what;
        std::function<HRESULT()> call;
    } rows[] = {
        {"texture without a result",
         [&] {
             return device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr);
         }},
        {"shared texture",
         [&] {
             return device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, &shared);
         }},
        {"texture 0 wide",
         [&] {
             return device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
         }},
        {"texture of a depth format",
         [&] { return device->CreateTexture(4, 4, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &texture, nullptr); }},
        {"texture of more levels than its chain",
         [&] {
             return device->CreateTexture(4, 4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
         }},
        {"vertex buffer without a result",
         [&] { return device->CreateVertexBuffer(28, 0, 0, D3DPOOL_MANAGED, nullptr, nullptr); }},
        {"shared vertex buffer",
         [&] { return device->CreateVertexBuffer(28, 0, 0, D3DPOOL_MANAGED, &vb, &shared); }},
        {"empty vertex buffer",
         [&] { return device->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &vb, nullptr); }},
        {"vertex buffer over 1 GiB",
         [&] { return device->CreateVertexBuffer((1u << 30) + 1, 0, 0, D3DPOOL_MANAGED, &vb, nullptr); }},
        {"index buffer without a result",
         [&] { return device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, nullptr, nullptr); }},
        {"shared index buffer",
         [&] { return device->CreateIndexBuffer(12, 0, D3DFMT_INDEX32, D3DPOOL_MANAGED, &ib, &shared); }},
        {"empty index buffer",
         [&] { return device->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr); }},
        {"Direct3D without a result", [&] { return device->GetDirect3D(nullptr); }},
        {"caps without a result", [&] { return device->GetDeviceCaps(nullptr); }},
        {"display mode of swap chain 1", [&] { return device->GetDisplayMode(1, &mode); }},
        {"render target 1", [&] { return device->GetRenderTarget(1, &surface); }},
        {"depth surface without a result", [&] { return device->GetDepthStencilSurface(nullptr); }},
        {"world matrix from null", [&] { return device->SetTransform(D3DTS_WORLD, nullptr); }},
        {"transform the device does not keep",
         [&] { return device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(17), &matrix); }},
        {"texture on stage 2", [&] { return device->SetTexture(2, nullptr); }},
        {"sampler 2", [&] { return device->SetSamplerState(2, D3DSAMP_MIPFILTER, D3DTEXF_POINT); }},
        {"sampler state beyond the last",
         [&] { return device->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(D3DSAMP_COUNT), 1); }},
        {"stage state beyond the last",
         [&] {
             return device->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(D3DTSS_COUNT), 1);
         }},
        {"render state without a result", [&] { return device->GetRenderState(D3DRS_CULLMODE, nullptr); }},
        {"stream 1", [&] { return device->SetStreamSource(1, nullptr, 0, 28); }},
        {"clear of the stencil",
         [&] { return device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFFFF0000, 1.0f, 0); }},
        {"clear of an unknown kind",
         [&] { return device->Clear(0, nullptr, D3DCLEAR_TARGET | 0x10, 0xFFFF0000, 1.0f, 0); }},
        {"clear of one missing rectangle",
         [&] { return device->Clear(1, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0); }},
        {"state block of no type",
         [&] { return device->CreateStateBlock(static_cast<D3DSTATEBLOCKTYPE>(0), &block); }},
        {"end of a state block never begun", [&] { return device->EndStateBlock(&block); }},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.call(), D3DERR_INVALIDCALL) << row.what;
    }
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(vb, nullptr);
    EXPECT_EQ(ib, nullptr);
    EXPECT_EQ(surface, nullptr);
    EXPECT_EQ(block, nullptr);
    D3DMATRIX world{};
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(world._41, 0.0f);
    ExpectPixel(3, 3, 0xFF000000, 0);

    // A viewport must lie inside the back buffer with 0 <= MinZ <= MaxZ <= 1; the whole buffer is allowed.
    const D3DVIEWPORT9 refused[] = {{0, 0, 161, 120, 0.0f, 1.0f}, {1, 0, 160, 120, 0.0f, 1.0f},
                                    {0, 1, 160, 120, 0.0f, 1.0f}, {0, 0, 0, 120, 0.0f, 1.0f},
                                    {0, 0, 160, 0, 0.0f, 1.0f},   {0, 0, 10, 10, -0.1f, 1.0f},
                                    {0, 0, 10, 10, 0.0f, 1.5f},   {0, 0, 10, 10, 0.6f, 0.5f}};
    const D3DVIEWPORT9 kept{20, 10, 30, 40, 0.25f, 0.75f};
    ASSERT_EQ(device->SetViewport(&kept), D3D_OK);
    for (const D3DVIEWPORT9& vp : refused) {
        EXPECT_EQ(device->SetViewport(&vp), D3DERR_INVALIDCALL)
            << vp.X << " " << vp.Y << " " << vp.Width << " " << vp.Height << " " << vp.MinZ << " " << vp.MaxZ;
    }
    EXPECT_EQ(device->SetViewport(nullptr), D3DERR_INVALIDCALL);
    D3DVIEWPORT9 vp{};
    device->GetViewport(&vp);
    EXPECT_EQ(vp.X, 20u);
    EXPECT_EQ(vp.Height, 40u);
    EXPECT_EQ(vp.MinZ, 0.25f);
    const D3DVIEWPORT9 whole{0, 0, 160, 120, 0.0f, 1.0f};
    EXPECT_EQ(device->SetViewport(&whole), D3D_OK);
    const D3DVIEWPORT9 flat{159, 119, 1, 1, 0.5f, 0.5f};
    EXPECT_EQ(device->SetViewport(&flat), D3D_OK);
}
