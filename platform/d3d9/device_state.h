// Everything a draw depends on: render states, texture-stage and sampler states, transforms, the
// viewport, the vertex format and the bound resources, initialised to Direct3D 9's defaults.
#pragma once

#include "d3d9/d3d9.h"

#include <array>
#include <bit>
#include <cstring>

namespace platform::d3d9 {

class Texture;
class VertexBuffer;
class IndexBuffer;

inline DWORD FloatBits(float value) {
    return std::bit_cast<DWORD>(value);
}
inline float BitsFloat(DWORD value) {
    return std::bit_cast<float>(value);
}

inline D3DMATRIX IdentityMatrix() {
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

enum class TransformSlot { World, View, Projection, Count };

// The slot of a transform type; Count for types the device does not keep.
inline TransformSlot SlotOf(D3DTRANSFORMSTATETYPE type) {
    switch (type) {
    case D3DTS_WORLD:
        return TransformSlot::World;
    case D3DTS_VIEW:
        return TransformSlot::View;
    case D3DTS_PROJECTION:
        return TransformSlot::Projection;
    default:
        return TransformSlot::Count;
    }
}

struct DeviceState {
    std::array<DWORD, D3DRS_COUNT> renderStates{};
    std::array<std::array<DWORD, D3DTSS_COUNT>, D3D_STAGE_COUNT> stageStates{};
    std::array<std::array<DWORD, D3DSAMP_COUNT>, D3D_STAGE_COUNT> samplerStates{};
    std::array<D3DMATRIX, static_cast<size_t>(TransformSlot::Count)> transforms{};
    D3DVIEWPORT9 viewport{};
    DWORD fvf = 0;
    // Bound objects are not referenced: a resource that goes away unbinds itself (Device::ForgetResource).
    VertexBuffer* stream = nullptr;
    UINT streamOffset = 0;
    UINT streamStride = 0;
    IndexBuffer* indices = nullptr;
    std::array<Texture*, D3D_STAGE_COUNT> textures{};

    // Direct3D 9's defaults; depthEnabled says whether the device has an automatic depth buffer.
    void SetDefaults(bool depthEnabled, const D3DVIEWPORT9& fullViewport) {
        renderStates.fill(0);
        renderStates[D3DRS_ZENABLE] = depthEnabled ? D3DZB_TRUE : D3DZB_FALSE;
        renderStates[D3DRS_FILLMODE] = D3DFILL_SOLID;
        renderStates[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
        renderStates[D3DRS_ZWRITEENABLE] = TRUE;
        renderStates[D3DRS_ALPHATESTENABLE] = FALSE;
        renderStates[D3DRS_LASTPIXEL] = TRUE;
        renderStates[D3DRS_SRCBLEND] = D3DBLEND_ONE;
        renderStates[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
        renderStates[D3DRS_CULLMODE] = D3DCULL_CCW;
        renderStates[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
        renderStates[D3DRS_ALPHAREF] = 0;
        renderStates[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
        renderStates[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
        renderStates[D3DRS_CLIPPING] = TRUE;
        renderStates[D3DRS_LIGHTING] = TRUE;
        renderStates[D3DRS_COLORVERTEX] = TRUE;
        renderStates[D3DRS_VERTEXBLEND] = D3DVBF_DISABLE;
        renderStates[D3DRS_POINTSIZE] = FloatBits(1.0f);
        renderStates[D3DRS_POINTSIZE_MIN] = FloatBits(1.0f);
        renderStates[D3DRS_POINTSCALE_A] = FloatBits(1.0f);
        renderStates[D3DRS_POINTSCALE_B] = FloatBits(0.0f);
        renderStates[D3DRS_POINTSCALE_C] = FloatBits(0.0f);
        renderStates[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
        renderStates[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
        renderStates[D3DRS_COLORWRITEENABLE] = 0x0F;
        renderStates[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
        for (DWORD stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
            auto& s = stageStates[stage];
            s.fill(0);
            s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
            s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
            s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
            s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
            s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
            s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
            s[D3DTSS_TEXCOORDINDEX] = stage;
            s[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
            s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
            auto& sampler = samplerStates[stage];
            sampler.fill(0);
            sampler[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
            sampler[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
            sampler[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
            sampler[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
            sampler[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
            sampler[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
            sampler[D3DSAMP_MAXANISOTROPY] = 1;
        }
        transforms.fill(IdentityMatrix());
        viewport = fullViewport;
        fvf = 0;
        stream = nullptr;
        streamOffset = 0;
        streamStride = 0;
        indices = nullptr;
        textures.fill(nullptr);
    }
};

} // namespace platform::d3d9
