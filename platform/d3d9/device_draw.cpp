// The draw entry points: validation against the scene, the bound stream, the vertex format and the
// buffer sizes, then the vertex stage and the pipeline.
#include "d3d9/call_trace.h"
#include "d3d9/device.h"
#include "d3d9/index_buffer.h"
#include "d3d9/texture.h"
#include "d3d9/vertex_buffer.h"

#include <cstring>

namespace platform::d3d9 {

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    auto trace = [&](HRESULT hr) {
        return Traced(this, "DrawPrimitive", {Arg(type), Arg(startVertex), Arg(primitiveCount)}, hr);
    };
    if (!inScene || !state.stream || FaultFires(Fault::DrawPrimitive)) {
        return trace(D3DERR_INVALIDCALL);
    }
    if (primitiveCount == 0) {
        return trace(D3D_OK);
    }
    int vertexCount = VerticesForPrimitives(type, static_cast<int>(std::min<UINT>(primitiveCount, 1u << 24)));
    if (vertexCount == 0 || primitiveCount > (1u << 24)) {
        return trace(D3DERR_INVALIDCALL);
    }
    return trace(Draw(type, 0, startVertex, static_cast<UINT>(vertexCount), nullptr, 0,
                      static_cast<int>(primitiveCount)));
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                     UINT numVertices, UINT startIndex, UINT primitiveCount) {
    auto trace = [&](HRESULT hr) {
        return Traced(this, "DrawIndexedPrimitive",
                      {Arg(type), Arg(baseVertexIndex), Arg(minVertexIndex), Arg(numVertices),
                       Arg(startIndex), Arg(primitiveCount)},
                      hr);
    };
    if (!inScene || !state.stream || !state.indices || FaultFires(Fault::DrawIndexedPrimitive)) {
        return trace(D3DERR_INVALIDCALL);
    }
    if (primitiveCount == 0) {
        return trace(D3D_OK);
    }
    int indexCount = VerticesForPrimitives(type, static_cast<int>(std::min<UINT>(primitiveCount, 1u << 24)));
    const IndexBuffer& ib = *state.indices;
    const size_t available = ib.Size() / static_cast<size_t>(ib.IndexSize());
    if (indexCount == 0 || primitiveCount > (1u << 24) || uint64_t{startIndex} + indexCount > available) {
        return trace(D3DERR_INVALIDCALL);
    }
    indexScratch.resize(static_cast<size_t>(indexCount));
    uint32_t lowest = UINT32_MAX, highest = 0;
    const uint8_t* source = ib.Data() + static_cast<size_t>(startIndex) * ib.IndexSize();
    for (int i = 0; i < indexCount; ++i) {
        uint32_t index;
        if (ib.IndexSize() == 2) {
            uint16_t small;
            std::memcpy(&small, source + 2 * static_cast<size_t>(i), 2);
            index = small;
        } else {
            std::memcpy(&index, source + 4 * static_cast<size_t>(i), 4);
        }
        indexScratch[static_cast<size_t>(i)] = index;
        lowest = std::min(lowest, index);
        highest = std::max(highest, index);
    }
    // The vertex range the caller declares (minVertexIndex, numVertices) is a hint that is not trusted:
    // the indices themselves decide which vertices are processed, and Draw checks that all of them lie
    // inside the stream.
    for (uint32_t& index : indexScratch) {
        index -= lowest;
    }
    return trace(Draw(type, baseVertexIndex, lowest, highest - lowest + 1, indexScratch.data(),
                      indexScratch.size(), static_cast<int>(primitiveCount)));
}

HRESULT Device::Draw(D3DPRIMITIVETYPE type, int baseVertex, UINT firstVertex, UINT vertexCount,
                     const uint32_t* indices, size_t indexCount, int primitiveCount) {
    VertexLayout layout = DecodeVertexFormat(state.fvf);
    const UINT stride = state.streamStride;
    if (!layout.valid || stride < static_cast<UINT>(layout.size)) {
        return D3DERR_INVALIDCALL;
    }
    const int64_t first = static_cast<int64_t>(baseVertex) + firstVertex;
    const VertexBuffer& vb = *state.stream;
    const int64_t start = static_cast<int64_t>(state.streamOffset) + first * stride;
    const int64_t end = start + static_cast<int64_t>(vertexCount - 1) * stride + layout.size;
    if (first < 0 || end > static_cast<int64_t>(vb.Size()) || vertexCount > (1u << 24)) {
        return D3DERR_INVALIDCALL;
    }
    DrawCall call;
    call.type = type;
    call.primitiveCount = primitiveCount;
    call.vertexCount = vertexCount;
    call.stride = stride;
    call.vertexBytes = vb.Data() + start;
    call.vertexByteCount = static_cast<size_t>(end - start);
    call.indices = indices;
    call.indexCount = indexCount;
    call.state = &state;
    for (size_t stage = 0; stage < state.textures.size(); ++stage) {
        call.textureVersions[stage] = state.textures[stage] ? state.textures[stage]->ContentVersion() : 0;
    }
    if (!Repeats(call)) {
        Rasterize(call);
    }
    return D3D_OK;
}

void Device::Rasterize(const DrawCall& call) {
    pictureDrawn = true;
    const DeviceState& drawState = *call.state;
    const VertexLayout layout = DecodeVertexFormat(drawState.fvf);
    const int vertexCount = static_cast<int>(call.vertexCount);
    vertexScratch.resize(call.vertexCount);
    const RenderTarget target = Target();
    DrawPlan plan = BuildDrawPlan(drawState, layout, target);
    RunVertexStage(plan.vertex, call.vertexBytes, static_cast<int>(call.stride), vertexCount, vertexScratch.data());
    bool perspective = call.type != D3DPT_POINTLIST && NeedsPerspective(vertexScratch.data(), vertexCount);
    FinishDrawPlan(&plan, perspective);
    PrimitiveStream stream;
    stream.type = call.type;
    stream.vertices = vertexScratch.data();
    stream.indices = call.indices;
    stream.primitiveCount = call.primitiveCount;
    ExecuteDraw(plan, target, stream, vertexCount, &drawScratch);
}

} // namespace platform::d3d9
