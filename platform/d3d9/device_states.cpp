// The device's state entry points: render, texture-stage and sampler states, textures, transforms,
// viewport, vertex format, stream, indices and pixel shader, and state block recording.
#include "d3d9/call_trace.h"
#include "d3d9/device.h"
#include "d3d9/index_buffer.h"
#include "d3d9/texture.h"
#include "d3d9/vertex_buffer.h"

namespace platform::d3d9 {

// The frequent render, stage and sampler states are stored directly when nothing is recording; every
// other setting goes through a state entry.
void Device::Set(const StateEntry& entry) {
    if (recording) {
        recording->Record(entry);
    } else {
        WriteEntry(entry);
    }
}

void Device::WriteEntry(const StateEntry& e) {
    switch (e.kind) {
    case StateKind::Render:
        state.renderStates[e.type] = e.value;
        break;
    case StateKind::Stage:
        state.stageStates[e.stage][e.type] = e.value;
        break;
    case StateKind::Sampler:
        state.samplerStates[e.stage][e.type] = e.value;
        break;
    case StateKind::Texture:
        state.textures[e.stage] = static_cast<Texture*>(e.object);
        break;
    case StateKind::Transform:
        state.transforms[e.type] = e.matrix;
        break;
    case StateKind::Viewport:
        state.viewport = e.viewport;
        break;
    case StateKind::Fvf:
        state.fvf = e.value;
        break;
    case StateKind::Stream:
        state.stream = static_cast<VertexBuffer*>(e.object);
        state.streamOffset = e.offset;
        state.streamStride = e.stride;
        break;
    case StateKind::Indices:
        state.indices = static_cast<IndexBuffer*>(e.object);
        break;
    case StateKind::PixelShader:
        break;
    }
}

void Device::ReadEntry(StateEntry* e) const {
    switch (e->kind) {
    case StateKind::Render:
        e->value = state.renderStates[e->type];
        break;
    case StateKind::Stage:
        e->value = state.stageStates[e->stage][e->type];
        break;
    case StateKind::Sampler:
        e->value = state.samplerStates[e->stage][e->type];
        break;
    case StateKind::Texture:
        e->object = state.textures[e->stage];
        break;
    case StateKind::Transform:
        e->matrix = state.transforms[e->type];
        break;
    case StateKind::Viewport:
        e->viewport = state.viewport;
        break;
    case StateKind::Fvf:
        e->value = state.fvf;
        break;
    case StateKind::Stream:
        e->object = state.stream;
        e->offset = state.streamOffset;
        e->stride = state.streamStride;
        break;
    case StateKind::Indices:
        e->object = state.indices;
        break;
    case StateKind::PixelShader:
        break;
    }
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) {
    TransformSlot slot = SlotOf(type);
    if (!matrix || slot == TransformSlot::Count || FaultFires(Fault::SetTransform)) {
        return Traced(this, "SetTransform", {Arg(type), Arg(matrix)}, D3DERR_INVALIDCALL);
    }
    StateEntry entry;
    entry.kind = StateKind::Transform;
    entry.type = static_cast<DWORD>(slot);
    entry.matrix = *matrix;
    Set(entry);
    return Traced(this, "SetTransform", {Arg(type), Arg(matrix)}, D3D_OK);
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix) {
    TransformSlot slot = SlotOf(type);
    if (!matrix || slot == TransformSlot::Count) {
        return Traced(this, "GetTransform", {Arg(type)}, D3DERR_INVALIDCALL);
    }
    *matrix = state.transforms[static_cast<size_t>(slot)];
    return Traced(this, "GetTransform", {Arg(type)}, D3D_OK);
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
    if (!viewport || uint64_t{viewport->X} + viewport->Width > static_cast<uint64_t>(backBuffer->width) ||
        uint64_t{viewport->Y} + viewport->Height > static_cast<uint64_t>(backBuffer->height) ||
        viewport->Width == 0 || viewport->Height == 0 || !(viewport->MinZ >= 0.0f) ||
        !(viewport->MaxZ <= 1.0f) || !(viewport->MinZ <= viewport->MaxZ)) {
        return Traced(this, "SetViewport", {Arg(viewport)}, D3DERR_INVALIDCALL);
    }
    StateEntry entry;
    entry.kind = StateKind::Viewport;
    entry.viewport = *viewport;
    Set(entry);
    return Traced(this, "SetViewport", {Arg(viewport)}, D3D_OK);
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
    if (!viewport) {
        return Traced(this, "GetViewport", {}, D3DERR_INVALIDCALL);
    }
    *viewport = state.viewport;
    return Traced(this, "GetViewport", {}, D3D_OK);
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE type, DWORD value) {
    if (type >= D3DRS_COUNT) {
        return Traced(this, "SetRenderState", {Arg(type), Arg(value)}, D3DERR_INVALIDCALL);
    }
    if (!recording) {
        state.renderStates[type] = value;
    } else {
        StateEntry entry;
        entry.kind = StateKind::Render;
        entry.type = type;
        entry.value = value;
        recording->Record(entry);
    }
    return Traced(this, "SetRenderState", {Arg(type), Arg(value)}, D3D_OK);
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE type, DWORD* value) {
    if (type >= D3DRS_COUNT || !value) {
        return Traced(this, "GetRenderState", {Arg(type)}, D3DERR_INVALIDCALL);
    }
    *value = state.renderStates[type];
    return Traced(this, "GetRenderState", {Arg(type)}, D3D_OK);
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= D3D_STAGE_COUNT || type >= D3DTSS_COUNT) {
        return Traced(this, "SetTextureStageState", {Arg(stage), Arg(type), Arg(value)}, D3DERR_INVALIDCALL);
    }
    if (!recording) {
        state.stageStates[stage][type] = value;
    } else {
        StateEntry entry;
        entry.kind = StateKind::Stage;
        entry.stage = stage;
        entry.type = type;
        entry.value = value;
        recording->Record(entry);
    }
    return Traced(this, "SetTextureStageState", {Arg(stage), Arg(type), Arg(value)}, D3D_OK);
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (stage >= D3D_STAGE_COUNT || type >= D3DTSS_COUNT || !value) {
        return Traced(this, "GetTextureStageState", {Arg(stage), Arg(type)}, D3DERR_INVALIDCALL);
    }
    *value = state.stageStates[stage][type];
    return Traced(this, "GetTextureStageState", {Arg(stage), Arg(type)}, D3D_OK);
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (sampler >= D3D_STAGE_COUNT || type >= D3DSAMP_COUNT) {
        return Traced(this, "SetSamplerState", {Arg(sampler), Arg(type), Arg(value)}, D3DERR_INVALIDCALL);
    }
    if (!recording) {
        state.samplerStates[sampler][type] = value;
    } else {
        StateEntry entry;
        entry.kind = StateKind::Sampler;
        entry.stage = sampler;
        entry.type = type;
        entry.value = value;
        recording->Record(entry);
    }
    return Traced(this, "SetSamplerState", {Arg(sampler), Arg(type), Arg(value)}, D3D_OK);
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (sampler >= D3D_STAGE_COUNT || type >= D3DSAMP_COUNT || !value) {
        return Traced(this, "GetSamplerState", {Arg(sampler), Arg(type)}, D3DERR_INVALIDCALL);
    }
    *value = state.samplerStates[sampler][type];
    return Traced(this, "GetSamplerState", {Arg(sampler), Arg(type)}, D3D_OK);
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (stage >= D3D_STAGE_COUNT || FaultFires(Fault::SetTexture)) {
        return Traced(this, "SetTexture", {Arg(stage), Arg(texture)}, D3DERR_INVALIDCALL);
    }
    StateEntry entry;
    entry.kind = StateKind::Texture;
    entry.stage = stage;
    // Every texture object comes from this layer, and only 2D textures exist.
    entry.object = static_cast<Texture*>(static_cast<IDirect3DTexture9*>(texture));
    Set(entry);
    return Traced(this, "SetTexture", {Arg(stage), Arg(texture)}, D3D_OK);
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    if (stage >= D3D_STAGE_COUNT || !texture) {
        return Traced(this, "GetTexture", {Arg(stage)}, D3DERR_INVALIDCALL);
    }
    *texture = state.textures[stage];
    if (*texture) {
        (*texture)->AddRef();
    }
    return Traced(this, "GetTexture", {Arg(stage)}, D3D_OK);
}

HRESULT Device::SetFVF(DWORD fvf) {
    if (FaultFires(Fault::SetFVF)) {
        return Traced(this, "SetFVF", {Arg(fvf)}, D3DERR_INVALIDCALL);
    }
    StateEntry entry;
    entry.kind = StateKind::Fvf;
    entry.value = fvf;
    Set(entry);
    return Traced(this, "SetFVF", {Arg(fvf)}, D3D_OK);
}

HRESULT Device::GetFVF(DWORD* fvf) {
    if (!fvf) {
        return Traced(this, "GetFVF", {}, D3DERR_INVALIDCALL);
    }
    *fvf = state.fvf;
    return Traced(this, "GetFVF", {}, D3D_OK);
}

HRESULT Device::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData, UINT offsetInBytes,
                                UINT stride) {
    auto trace = [&](HRESULT hr) {
        return Traced(this, "SetStreamSource",
                      {Arg(streamNumber), Arg(streamData), Arg(offsetInBytes), Arg(stride)}, hr);
    };
    if (streamNumber != 0 || FaultFires(Fault::SetStreamSource)) {
        return trace(D3DERR_INVALIDCALL);
    }
    StateEntry entry;
    entry.kind = StateKind::Stream;
    entry.object = static_cast<VertexBuffer*>(streamData);
    entry.offset = offsetInBytes;
    entry.stride = stride;
    Set(entry);
    return trace(D3D_OK);
}

HRESULT Device::GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9** streamData, UINT* offsetInBytes,
                                UINT* stride) {
    if (streamNumber != 0 || !streamData || !offsetInBytes || !stride) {
        return Traced(this, "GetStreamSource", {Arg(streamNumber)}, D3DERR_INVALIDCALL);
    }
    *streamData = state.stream;
    if (*streamData) {
        (*streamData)->AddRef();
    }
    *offsetInBytes = state.streamOffset;
    *stride = state.streamStride;
    return Traced(this, "GetStreamSource", {Arg(streamNumber)}, D3D_OK);
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indexData) {
    if (FaultFires(Fault::SetIndices)) {
        return Traced(this, "SetIndices", {Arg(indexData)}, D3DERR_INVALIDCALL);
    }
    StateEntry entry;
    entry.kind = StateKind::Indices;
    entry.object = static_cast<IndexBuffer*>(indexData);
    Set(entry);
    return Traced(this, "SetIndices", {Arg(indexData)}, D3D_OK);
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** indexData) {
    if (!indexData) {
        return Traced(this, "GetIndices", {}, D3DERR_INVALIDCALL);
    }
    *indexData = state.indices;
    if (*indexData) {
        (*indexData)->AddRef();
    }
    return Traced(this, "GetIndices", {}, D3D_OK);
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9* shader) {
    // Only the fixed-function pixel stages exist.
    if (shader) {
        return Traced(this, "SetPixelShader", {Arg(shader)}, D3DERR_INVALIDCALL);
    }
    StateEntry entry;
    entry.kind = StateKind::PixelShader;
    Set(entry);
    return Traced(this, "SetPixelShader", {Arg(shader)}, D3D_OK);
}

HRESULT Device::GetPixelShader(IDirect3DPixelShader9** shader) {
    if (!shader) {
        return Traced(this, "GetPixelShader", {}, D3DERR_INVALIDCALL);
    }
    *shader = nullptr;
    return Traced(this, "GetPixelShader", {}, D3D_OK);
}

HRESULT Device::BeginStateBlock() {
    if (recording) {
        return Traced(this, "BeginStateBlock", {}, D3DERR_INVALIDCALL);
    }
    recording = new StateBlock(this);
    return Traced(this, "BeginStateBlock", {}, D3D_OK);
}

HRESULT Device::EndStateBlock(IDirect3DStateBlock9** stateBlock) {
    if (!recording || !stateBlock) {
        return Traced(this, "EndStateBlock", {}, D3DERR_INVALIDCALL);
    }
    *stateBlock = recording;
    recording = nullptr;
    return Traced(this, "EndStateBlock", {}, D3D_OK);
}

HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** stateBlock) {
    if (!stateBlock || recording ||
        (type != D3DSBT_ALL && type != D3DSBT_PIXELSTATE && type != D3DSBT_VERTEXSTATE)) {
        return Traced(this, "CreateStateBlock", {Arg(type)}, D3DERR_INVALIDCALL);
    }
    StateBlock* block = new StateBlock(this);
    auto add = [&](StateKind kind, DWORD stage, DWORD stateType) {
        StateEntry entry;
        entry.kind = kind;
        entry.stage = stage;
        entry.type = stateType;
        block->Record(entry);
    };
    // Pixel states: render states, stage and sampler states. Vertex states: render states, transforms,
    // viewport and vertex format. All: both, plus textures, stream and indices.
    for (DWORD rs = 0; rs < D3DRS_COUNT; ++rs) {
        add(StateKind::Render, 0, rs);
    }
    if (type != D3DSBT_VERTEXSTATE) {
        for (DWORD stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
            for (DWORD t = 1; t < D3DTSS_COUNT; ++t) {
                add(StateKind::Stage, stage, t);
            }
            for (DWORD t = 1; t < D3DSAMP_COUNT; ++t) {
                add(StateKind::Sampler, stage, t);
            }
        }
    }
    if (type != D3DSBT_PIXELSTATE) {
        for (DWORD slot = 0; slot < static_cast<DWORD>(TransformSlot::Count); ++slot) {
            add(StateKind::Transform, 0, slot);
        }
        add(StateKind::Viewport, 0, 0);
        add(StateKind::Fvf, 0, 0);
    }
    if (type == D3DSBT_ALL) {
        for (DWORD stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
            add(StateKind::Texture, stage, 0);
        }
        add(StateKind::Stream, 0, 0);
        add(StateKind::Indices, 0, 0);
    }
    block->CaptureValues();
    *stateBlock = block;
    return Traced(this, "CreateStateBlock", {Arg(type)}, D3D_OK);
}

} // namespace platform::d3d9
