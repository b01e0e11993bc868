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
    // Stage 0 alone samples, with the point routine on affine coordinates: the rasteriser then steps
    // fixed-point texel positions itself from row to row.
    bool steppedTexels = false;
};

// Pixels handled per call of the pixel routines.
constexpr int SPAN_CHUNK = 128;

void RasterizeTriangle(const PixelPipeline& pipeline, const TriangleSetup& triangle,
                       const RenderTarget& target);

int64_t SpanFloorDiv(int64_t n, int64_t d);

// One edge's limit on the covered columns, stepped exactly from row to row: the limit is n / d for
// a numerator n that changes by a fixed amount per row, kept as quotient and remainder so that no
// row needs a division.
class EdgeLimit {
public:
    // Covered columns satisfy a*X + b*Y + c >= 0.
    void Start(int64_t a, int64_t b, int64_t c, int y) {
        if (a == 0) {
            kind = Kind::Constant;
            value = b * y + c;
            step = b;
            return;
        }
        kind = a > 0 ? Kind::Lower : Kind::Upper;
        divisor = a > 0 ? a : -a;
        // Lower: X >= ceil(-(b*y + c) / a). Upper: X <= floor((b*y + c) / -a).
        int64_t numerator = a > 0 ? -(b * y + c) : b * y + c;
        int64_t numeratorStep = a > 0 ? -b : b;
        quotient = SpanFloorDiv(numerator, divisor);
        remainder = numerator - quotient * divisor;
        quotientStep = SpanFloorDiv(numeratorStep, divisor);
        remainderStep = numeratorStep - quotientStep * divisor;
    }

    // Narrows [left, right] for the current row; false when the row is empty.
    bool Apply(int64_t* left, int64_t* right) const {
        switch (kind) {
        case Kind::Constant:
            return value >= 0;
        case Kind::Lower:
            *left = std::max(*left, quotient + (remainder != 0 ? 1 : 0));
            return true;
        default:
            *right = std::min(*right, quotient);
            return true;
        }
    }

    void NextRow() {
        if (kind == Kind::Constant) {
            value += step;
            return;
        }
        quotient += quotientStep;
        remainder += remainderStep;
        if (remainder >= divisor) {
            remainder -= divisor;
            ++quotient;
        }
    }

private:
    enum class Kind { Constant, Lower, Upper };
    Kind kind = Kind::Constant;
    int64_t value = 0, step = 0;
    int64_t divisor = 1, quotient = 0, remainder = 0, quotientStep = 0, remainderStep = 0;
};

// Calls span(y, firstX, lastX) for every row of the triangle that covers pixels.
template <class SpanFunction> void WalkTriangle(const TriangleSetup& t, SpanFunction&& span) {
    EdgeLimit edges[4];
    const int edgeCount = t.edgeCount;
    for (int e = 0; e < edgeCount; ++e) {
        edges[e].Start(t.edgeA[e], t.edgeB[e], t.edgeC[e], t.minY);
    }
    for (int y = t.minY; y <= t.maxY; ++y) {
        int64_t left = t.minX, right = t.maxX;
        bool covered = true;
        for (int e = 0; e < edgeCount; ++e) {
            covered &= edges[e].Apply(&left, &right);
            edges[e].NextRow();
        }
        if (covered && left <= right) {
            span(y, static_cast<int>(left), static_cast<int>(right));
        }
    }
}

} // namespace platform::d3d9
