// Rasterising a set-up triangle: walks its rows, finds each row's covered span exactly from the
// fixed-point edge functions, and runs the draw's pixel routines over the span in chunks.
#pragma once

#include "d3d9/pipeline/output_merger.h"
#include "d3d9/pipeline/sampler.h"
#include "d3d9/pipeline/stage_combiner.h"
#include "d3d9/pipeline/triangle_setup.h"

#include <algorithm>

namespace platform::d3d9 {

struct RenderTarget {
    uint32_t* colour = nullptr;
    int colourPitch = 0; // pixels
    uint16_t* depth = nullptr;
    int depthPitch = 0; // values
    int width = 0;
    int height = 0;
};

// The pixel routines of one draw, chosen once from its states.
struct PixelPipeline {
    bool sampleStage[D3D_STAGE_COUNT] = {false, false};
    SamplerSetup sampler[D3D_STAGE_COUNT];
    SampleRoutine sample[D3D_STAGE_COUNT] = {nullptr, nullptr};
    CombineSetup combine;
    CombineRoutine combineConstant = nullptr; // for triangles of one colour
    CombineRoutine combineGouraud = nullptr;
    AlphaTestRoutine alphaTest = nullptr;
    uint32_t alphaReference = 0;
    DepthRoutine depthTest = nullptr;
    BlendRoutine blend = nullptr;
};

// Pixels handled per call of the pixel routines.
constexpr int SPAN_CHUNK = 64;

void RasterizeTriangle(const PixelPipeline& pipeline, const TriangleSetup& triangle,
                       const RenderTarget& target);

// Calls span(y, firstX, lastX) for every row of the triangle that covers pixels.
template <class SpanFunction> void WalkTriangle(const TriangleSetup& t, SpanFunction&& span);

int64_t SpanFloorDiv(int64_t n, int64_t d);
int64_t SpanCeilDiv(int64_t n, int64_t d);

template <class SpanFunction> void WalkTriangle(const TriangleSetup& t, SpanFunction&& span) {
    for (int y = t.minY; y <= t.maxY; ++y) {
        int64_t left = t.minX, right = t.maxX;
        bool empty = false;
        for (int e = 0; e < 3 && !empty; ++e) {
            int64_t rowValue = t.edgeB[e] * y + t.edgeC[e];
            int64_t a = t.edgeA[e];
            if (a > 0) {
                left = std::max(left, SpanCeilDiv(-rowValue, a));
            } else if (a < 0) {
                right = std::min(right, SpanFloorDiv(rowValue, -a));
            } else if (rowValue < 0) {
                empty = true;
            }
        }
        if (!empty && left <= right) {
            span(y, static_cast<int>(left), static_cast<int>(right));
        }
    }
}

} // namespace platform::d3d9
