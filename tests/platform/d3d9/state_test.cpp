// Device states: Direct3D 9's defaults, storage of every kind of state, and state blocks (recording
// leaves the device alone; Capture and Apply work on exactly the recorded states).
#include "device_fixture.h"

#include <tuple>

using namespace d3d9test;
namespace hooks = platform::d3d9;

namespace {

DWORD RenderState(IDirect3DDevice9* device, D3DRENDERSTATETYPE state) {
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(device->GetRenderState(state, &value), D3D_OK);
    return value;
}

DWORD StageState(IDirect3DDevice9* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(device->GetTextureStageState(stage, type, &value), D3D_OK);
    return value;
}

DWORD SamplerState(IDirect3DDevice9* device, DWORD sampler, D3DSAMPLERSTATETYPE type) {
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(device->GetSamplerState(sampler, type, &value), D3D_OK);
    return value;
}

// The font's state list, recorded into a block.
IDirect3DStateBlock9* RecordFontBlock(IDirect3DDevice9* device, IDirect3DTexture9* glyphs) {
    device->BeginStateBlock();
    device->SetTexture(0, glyphs);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 0x08);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    IDirect3DStateBlock9* block = nullptr;
    EXPECT_EQ(device->EndStateBlock(&block), D3D_OK);
    return block;
}

} // namespace

TEST_F(DeviceTest, DefaultsAreDirect3DDefaults) {
    EXPECT_EQ(RenderState(device, D3DRS_ALPHATESTENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(device, D3DRS_ALPHAFUNC), static_cast<DWORD>(D3DCMP_ALWAYS));
    EXPECT_EQ(RenderState(device, D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(RenderState(device, D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_ZERO));
    EXPECT_EQ(RenderState(device, D3DRS_SHADEMODE), static_cast<DWORD>(D3DSHADE_GOURAUD));
    EXPECT_EQ(RenderState(device, D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
    EXPECT_EQ(RenderState(device, D3DRS_COLORWRITEENABLE), 0x0Fu);
    EXPECT_EQ(RenderState(device, D3DRS_POINTSIZE_MAX), FloatToDword(64.0f));
    EXPECT_EQ(StageState(device, 0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(StageState(device, 0, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_SELECTARG1));
    EXPECT_EQ(StageState(device, 1, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(StageState(device, 1, D3DTSS_TEXCOORDINDEX), 1u);
    EXPECT_EQ(SamplerState(device, 0, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    EXPECT_EQ(SamplerState(device, 0, D3DSAMP_MIPFILTER), static_cast<DWORD>(D3DTEXF_NONE));
    EXPECT_EQ(SamplerState(device, 0, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
    D3DMATRIX world{};
    ASSERT_EQ(device->GetTransform(D3DTS_WORLD, &world), D3D_OK);
    EXPECT_EQ(world._11, 1.0f);
    EXPECT_EQ(world._41, 0.0f);
}

TEST_F(DeviceTest, StatesKeepTheirFloatBitsAndOutOfRangeOnesAreRefused) {
    device->SetRenderState(D3DRS_POINTSCALE_C, 0x41F06666);
    EXPECT_EQ(RenderState(device, D3DRS_POINTSCALE_C), 0x41F06666u);
    EXPECT_EQ(device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(4000), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetPixelShader(nullptr), D3D_OK);
}

TEST_F(DeviceTest, RecordingAStateBlockDoesNotChangeTheDevice) {
    IDirect3DStateBlock9* block = RecordFontBlock(device, nullptr);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(RenderState(device, D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(RenderState(device, D3DRS_ALPHATESTENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(device, D3DRS_ALPHAREF), 0u);
    // An upside-down rectangle still draws after the font's blocks were recorded.
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    DrawScreenStrip(Quad(10, 40, 50, 10, 0xFFFFFFFF));
    ExpectPixel(30, 25, 0xFFFFFFFF);
    block->Release();
}

TEST_F(DeviceTest, CaptureAndApplyRestoreExactlyTheRecordedStates) {
    IDirect3DTexture9* glyphs = MakeTexture(4, 4, [](int, int) { return 0xFFFFFFFFu; });
    IDirect3DTexture9* other = MakeTexture(4, 4, [](int, int) { return 0xFFFFFFFFu; });
    IDirect3DStateBlock9* saved = RecordFontBlock(device, glyphs);
    IDirect3DStateBlock9* drawing = RecordFontBlock(device, glyphs);

    device->SetTexture(0, other);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF000004);
    ASSERT_EQ(saved->Capture(), D3D_OK);
    ASSERT_EQ(drawing->Apply(), D3D_OK);
    EXPECT_EQ(RenderState(device, D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(RenderState(device, D3DRS_ALPHAREF), 8u);
    EXPECT_EQ(RenderState(device, D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, glyphs);
    bound->Release();
    // Not in the block: left as the drawing code sets them.
    device->SetFVF(SCREEN_FVF);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);

    ASSERT_EQ(saved->Apply(), D3D_OK);
    EXPECT_EQ(RenderState(device, D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(RenderState(device, D3DRS_ALPHATESTENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(device, D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(RenderState(device, D3DRS_AMBIENT), 0xFF000004u);
    EXPECT_EQ(SamplerState(device, 0, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    EXPECT_EQ(SamplerState(device, 0, D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    DWORD fvf = 0;
    device->GetFVF(&fvf);
    EXPECT_EQ(fvf, SCREEN_FVF);
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, other);
    bound->Release();
    saved->Release();
    drawing->Release();
}

TEST_F(DeviceTest, StateBlockCallsAreRefusedWhileRecording) {
    EXPECT_EQ(device->BeginStateBlock(), D3D_OK);
    EXPECT_EQ(device->BeginStateBlock(), D3DERR_INVALIDCALL);
    IDirect3DStateBlock9* block = nullptr;
    EXPECT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->EndStateBlock(&block), D3D_OK);
    EXPECT_EQ(device->EndStateBlock(&block), D3DERR_INVALIDCALL);
    block->Release();
}

TEST_F(DeviceTest, CreatedStateBlockCapturesEveryStateOfItsKind) {
    // A block of all states, of the pixel states (render, stage, sampler) and of the vertex states (render,
    // transforms, viewport, vertex format).
    D3DMATRIX moved = Identity(), identity = Identity();
    moved._41 = 3.0f;
    D3DVIEWPORT9 small{10, 10, 20, 20, 0.0f, 1.0f}, whole{0, 0, WIDTH, HEIGHT, 0.0f, 1.0f};
    for (auto [type, pixel, vertex] : {std::tuple{D3DSBT_ALL, true, true},
                                       {D3DSBT_PIXELSTATE, true, false},
                                       {D3DSBT_VERTEXSTATE, false, true}}) {
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        device->SetSamplerState(1, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
        device->SetTransform(D3DTS_WORLD, &moved);
        device->SetViewport(&small);
        device->SetFVF(0);
        IDirect3DStateBlock9* block = nullptr;
        ASSERT_EQ(device->CreateStateBlock(type, &block), D3D_OK);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetSamplerState(1, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetViewport(&whole);
        device->SetFVF(0x62);
        block->Apply();
        block->Release();
        EXPECT_EQ(RenderState(device, D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CW)) << type;
        EXPECT_EQ(SamplerState(device, 1, D3DSAMP_MIPFILTER), pixel ? D3DTEXF_POINT : D3DTEXF_NONE) << type;
        D3DMATRIX world{};
        device->GetTransform(D3DTS_WORLD, &world);
        EXPECT_EQ(world._41, vertex ? 3.0f : 0.0f) << type;
        D3DVIEWPORT9 vp{};
        device->GetViewport(&vp);
        EXPECT_EQ(vp.Width, vertex ? 20u : 160u) << type;
        DWORD fvf = 1;
        device->GetFVF(&fvf);
        EXPECT_EQ(fvf, vertex ? 0u : 0x62u) << type;
    }
}
