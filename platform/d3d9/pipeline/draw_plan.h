// A draw's plan: the device states resolved once into the vertex setup, the viewport mapping, the
// triangle options and the pixel routines; and the primitive assembly that runs a draw through
// clipping, projection, culling, setup and rasterising.
#pragma once

#include "d3d9/device_state.h"
#include "d3d9/pipeline/rasterizer.h"
#include "d3d9/pipeline/vertex_transform.h"

#include <vector>

namespace platform::d3d9 {

struct DrawPlan {
    VertexStageSetup vertex;
    ViewportMapping viewport{};
    SetupOptions triangle;
    PixelPipeline pixel;
    bool pretransformed = false;
    bool pointSprites = false;
    float pointSizeMin = 0.0f;
    float pointSizeMax = 64.0f;
};

// Resolves the states for a draw of the given vertex layout into the target.
DrawPlan BuildDrawPlan(const DeviceState& state, const VertexLayout& layout, const RenderTarget& target);

// Chooses the sampling routines once the draw knows whether its coordinates need perspective.
void FinishDrawPlan(DrawPlan* plan, bool perspective);

// Whether the draw's vertices need perspective-correct interpolation (their w or rhw differ).
bool NeedsPerspective(const PipelineVertex* vertices, int count);

struct PrimitiveStream {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    const PipelineVertex* vertices = nullptr; // output of the vertex stage
    const uint32_t* indices = nullptr;        // into vertices; null: vertices in order
    int primitiveCount = 0;
};

// Number of vertices a primitive count uses; 0 for an unsupported type.
int VerticesForPrimitives(D3DPRIMITIVETYPE type, int primitiveCount);

// Working memory kept between draws to save allocations.
struct DrawScratch {
    std::vector<PipelineVertex> screen;
    std::vector<uint8_t> inside;
};

// Draws the primitives; vertexCount is the number of vertices in stream.vertices.
void ExecuteDraw(const DrawPlan& plan, const RenderTarget& target, const PrimitiveStream& stream,
                 int vertexCount, DrawScratch* scratch);

} // namespace platform::d3d9
