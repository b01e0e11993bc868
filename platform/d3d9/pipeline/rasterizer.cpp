// Span shading: colour, texture coordinates, the combiner and the output merger per chunk of a row.
#include "d3d9/pipeline/rasterizer.h"

#include <algorithm>
#include <cmath>

namespace platform::d3d9 {

int64_t SpanFloorDiv(int64_t n, int64_t d) {
    return n >= 0 ? n / d : -((-n + d - 1) / d);
}

namespace {

inline float PlaneAt(const AttributePlane& p, float fx, float fy) {
    return p.start + p.dx * fx + p.dy * fy;
}

// Gouraud colour in 16.16 fixed point per channel.
void FillGouraud(const TriangleSetup& t, float fx, float fy, int count, uint32_t* out) {
    int64_t value[4], step[4];
    for (int c = 0; c < 4; ++c) {
        const AttributePlane& p = t.attr[ATTR_B + c];
        value[c] = std::llround(std::clamp(PlaneAt(p, fx, fy), -1.0f, 256.0f) * 65536.0f) + 32768;
        step[c] = std::llround(std::clamp(p.dx, -256.0f, 256.0f) * 65536.0f);
    }
    for (int i = 0; i < count; ++i) {
        uint32_t pixel = 0;
        for (int c = 0; c < 4; ++c) {
            int64_t v = (value[c] + step[c] * i) >> 16;
            pixel |= static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 255)) << (8 * c);
        }
        out[i] = pixel;
    }
}

// Fixed-point texel positions of stage 0 over a triangle: at (minX, minY), per pixel and per row.
struct SteppedTexels {
    FixedTexelSpan origin;
    int64_t rowStepX, rowStepY;
};

SteppedTexels StepTexels(const PixelPipeline& p, const TriangleSetup& t) {
    const MipLevel& level = p.sampler[0].levels[0];
    const AttributePlane& u = t.attr[ATTR_U0];
    const AttributePlane& v = t.attr[ATTR_V0];
    const float fx = static_cast<float>(t.minX) - t.refX, fy = static_cast<float>(t.minY) - t.refY;
    SteppedTexels stepped;
    stepped.origin = FixedTexelSpan{FixedTexelPosition(PlaneAt(u, fx, fy), level.width),
                                    FixedTexelPosition(PlaneAt(v, fx, fy), level.height),
                                    FixedTexelStep(u.dx, level.width), FixedTexelStep(v.dx, level.height)};
    stepped.rowStepX = FixedTexelStep(u.dy, level.width);
    stepped.rowStepY = FixedTexelStep(v.dy, level.height);
    return stepped;
}

void ShadeSpan(const PixelPipeline& p, const TriangleSetup& t, const SteppedTexels* stepped,
               const RenderTarget& target, int y, int x0, int x1) {
    uint32_t* colourRow = target.colour + static_cast<size_t>(y) * target.colourPitch;
    uint16_t* depthRow = target.depth ? target.depth + static_cast<size_t>(y) * target.depthPitch : nullptr;
    const float fy = static_cast<float>(y) - t.refY;
    CombineRoutine combine = t.flatColour ? p.combineConstant : p.combineGouraud;
    alignas(32) uint32_t diffuse[SPAN_CHUNK];
    alignas(32) uint32_t texels[D3D_STAGE_COUNT][SPAN_CHUNK];
    alignas(32) uint32_t combined[SPAN_CHUNK];
    alignas(32) uint8_t mask[SPAN_CHUNK];
    for (int start = x0; start <= x1; start += SPAN_CHUNK) {
        const int count = std::min(SPAN_CHUNK, x1 - start + 1);
        const float fx = static_cast<float>(start) - t.refX;
        CombineInputs in;
        if (t.flatColour) {
            in.diffuseConstant = t.flatColourValue;
        } else {
            FillGouraud(t, fx, fy, count, diffuse);
            in.diffuse = diffuse;
        }
        if (stepped) {
            const int64_t columns = start - t.minX, rows = y - t.minY;
            const FixedTexelSpan& o = stepped->origin;
            FixedTexelSpan span{o.x + o.dx * columns + stepped->rowStepX * rows,
                                o.y + o.dy * columns + stepped->rowStepY * rows, o.dx, o.dy};
            in.texture[0] = PointTexels(p.sampler[0], span, count, texels[0]);
        }
        for (int stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
            if (!p.sampleStage[stage] || stepped) {
                continue;
            }
            const AttributePlane& s = t.attr[ATTR_U0 + 2 * stage];
            const AttributePlane& v = t.attr[ATTR_V0 + 2 * stage];
            TexCoordSpan span{PlaneAt(s, fx, fy),
                              PlaneAt(v, fx, fy),
                              PlaneAt(t.q, fx, fy),
                              s.dx,
                              v.dx,
                              t.q.dx,
                              s.dy,
                              v.dy,
                              t.q.dy};
            in.texture[stage] = p.sample[stage](p.sampler[stage], span, count, texels[stage]);
        }
        const uint32_t* colour = combine(p.combine, in, count, combined);
        bool masked = false;
        if (p.alphaTest) {
            if (!p.alphaTest(colour, count, p.alphaReference, mask)) {
                continue;
            }
            masked = true;
        }
        if (p.depthTest && depthRow) {
            if (!p.depthTest(PlaneAt(t.z, fx, fy), t.z.dx, count, depthRow + start, mask, masked)) {
                continue;
            }
            masked = true;
        }
        p.blend(colour, masked ? mask : nullptr, count, colourRow + start);
    }
}

} // namespace

void RasterizeTriangle(const PixelPipeline& pipeline, const TriangleSetup& triangle,
                       const RenderTarget& target) {
    SteppedTexels stepped;
    const SteppedTexels* steppedTexels = nullptr;
    if (pipeline.steppedTexels) {
        stepped = StepTexels(pipeline, triangle);
        steppedTexels = &stepped;
    }
    WalkTriangle(triangle, [&](int y, int x0, int x1) {
        ShadeSpan(pipeline, triangle, steppedTexels, target, y, x0, x1);
    });
}

} // namespace platform::d3d9
