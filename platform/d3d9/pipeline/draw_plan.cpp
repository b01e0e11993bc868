// Resolving states into a draw plan, and primitive assembly.
#include "d3d9/pipeline/draw_plan.h"

#include "d3d9/pipeline/clipper.h"
#include "d3d9/pipeline/point_sprite.h"

#include <algorithm>
#include <cstring>

namespace platform::d3d9 {

DrawPlan BuildDrawPlan(const DeviceState& state, const VertexLayout& layout, const RenderTarget& target) {
    const auto& rs = state.renderStates;
    DrawPlan plan;
    plan.pretransformed = layout.pretransformed;
    plan.vertex.layout = layout;
    if (!layout.pretransformed) {
        const auto& t = state.transforms;
        plan.vertex.worldViewProjection =
            MultiplyMatrices(MultiplyMatrices(t[static_cast<size_t>(TransformSlot::World)],
                                              t[static_cast<size_t>(TransformSlot::View)]),
                             t[static_cast<size_t>(TransformSlot::Projection)]);
    }
    for (int stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
        plan.vertex.texCoordSet[stage] = static_cast<int>(state.stageStates[stage][D3DTSS_TEXCOORDINDEX] & 7);
    }
    plan.vertex.defaultPointSize = BitsFloat(rs[D3DRS_POINTSIZE]);
    plan.viewport = MapViewport(state.viewport);

    const D3DVIEWPORT9& vp = state.viewport;
    plan.triangle.cull = static_cast<D3DCULL>(rs[D3DRS_CULLMODE]);
    plan.triangle.scissorLeft = static_cast<int>(std::min<DWORD>(vp.X, static_cast<DWORD>(target.width)));
    plan.triangle.scissorTop = static_cast<int>(std::min<DWORD>(vp.Y, static_cast<DWORD>(target.height)));
    plan.triangle.scissorRight =
        static_cast<int>(std::min<uint64_t>(uint64_t{vp.X} + vp.Width, target.width));
    plan.triangle.scissorBottom =
        static_cast<int>(std::min<uint64_t>(uint64_t{vp.Y} + vp.Height, target.height));
    plan.triangle.flatShading = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;

    plan.pointSprites = rs[D3DRS_POINTSPRITEENABLE] != FALSE;
    plan.pointSizeMin = std::max(0.0f, BitsFloat(rs[D3DRS_POINTSIZE_MIN]));
    plan.pointSizeMax = std::min(64.0f, BitsFloat(rs[D3DRS_POINTSIZE_MAX]));

    PixelPipeline& pixel = plan.pixel;
    DWORD stageStates[D3D_STAGE_COUNT][D3DTSS_COUNT];
    for (int stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
        std::copy(state.stageStates[stage].begin(), state.stageStates[stage].end(), stageStates[stage]);
    }
    pixel.combine = MakeCombineSetup(stageStates, rs[D3DRS_TEXTUREFACTOR]);
    for (int stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
        pixel.sampleStage[stage] = StageReadsTexture(pixel.combine, stage);
        if (pixel.sampleStage[stage]) {
            pixel.sampler[stage] = MakeSamplerSetup(state.textures[stage], state.samplerStates[stage].data());
        }
    }
    pixel.combineConstant = ChooseCombineRoutine(pixel.combine, true);
    pixel.combineGouraud = ChooseCombineRoutine(pixel.combine, false);
    pixel.alphaTest = ChooseAlphaTest(rs[D3DRS_ALPHATESTENABLE] != FALSE, rs[D3DRS_ALPHAFUNC]);
    pixel.alphaReference = rs[D3DRS_ALPHAREF] & 0xFF;
    pixel.depthTest = ChooseDepthTest(rs[D3DRS_ZENABLE] != D3DZB_FALSE && target.depth != nullptr,
                                      rs[D3DRS_ZFUNC], rs[D3DRS_ZWRITEENABLE] != FALSE);
    pixel.blend = ChooseBlend(rs[D3DRS_ALPHABLENDENABLE] != FALSE, rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND]);
    return plan;
}

void FinishDrawPlan(DrawPlan* plan, bool perspective) {
    plan->triangle.perspective = perspective;
    for (int stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
        if (plan->pixel.sampleStage[stage]) {
            plan->pixel.sample[stage] = ChooseSampleRoutine(plan->pixel.sampler[stage], perspective);
        }
    }
    plan->pixel.steppedTexels = plan->pixel.sampleStage[0] && !plan->pixel.sampleStage[1] &&
                                IsPointAffineRoutine(plan->pixel.sample[0]);
}

bool NeedsPerspective(const PipelineVertex* vertices, int count) {
    for (int i = 1; i < count; ++i) {
        if (vertices[i].pos[3] != vertices[0].pos[3]) {
            return true;
        }
    }
    return false;
}

int VerticesForPrimitives(D3DPRIMITIVETYPE type, int primitiveCount) {
    switch (type) {
    case D3DPT_POINTLIST:
        return primitiveCount;
    case D3DPT_TRIANGLELIST:
        return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitiveCount + 2;
    default:
        return 0;
    }
}

namespace {

void DrawScreenTriangle(const DrawPlan& plan, const RenderTarget& target, const PipelineVertex& a,
                        const PipelineVertex& b, const PipelineVertex& c) {
    TriangleSetup triangle;
    if (SetupTriangle(a, b, c, plan.triangle, &triangle)) {
        RasterizeTriangle(plan.pixel, triangle, target);
    }
}

bool SameVertex(const PipelineVertex& a, const PipelineVertex& b) {
    return std::memcmp(a.pos, b.pos, sizeof a.pos) == 0 && std::memcmp(a.attr, b.attr, sizeof a.attr) == 0;
}

// Vertex numbers of triangle p.
void TriangleIndices(const PrimitiveStream& stream, int p, uint32_t* out) {
    uint32_t i0, i1, i2;
    if (stream.type == D3DPT_TRIANGLELIST) {
        i0 = 3 * p;
        i1 = 3 * p + 1;
        i2 = 3 * p + 2;
    } else if (stream.type == D3DPT_TRIANGLESTRIP) {
        // Odd triangles swap their first two vertices so that the strip keeps one facing.
        i0 = (p & 1) ? p + 1 : p;
        i1 = (p & 1) ? p : p + 1;
        i2 = p + 2;
    } else {
        i0 = 0;
        i1 = p + 1;
        i2 = p + 2;
    }
    if (stream.indices) {
        i0 = stream.indices[i0];
        i1 = stream.indices[i1];
        i2 = stream.indices[i2];
    }
    out[0] = i0;
    out[1] = i1;
    out[2] = i2;
}

// When the second triangle is the first one's (c, b, d) (in any rotation), finds d.
bool FindQuadCorner(const PipelineVertex* v, const uint32_t* first, const uint32_t* second, uint32_t* d) {
    const PipelineVertex& b = v[first[1]];
    const PipelineVertex& c = v[first[2]];
    for (int rotation = 0; rotation < 3; ++rotation) {
        if (SameVertex(v[second[rotation]], c) && SameVertex(v[second[(rotation + 1) % 3]], b)) {
            *d = second[(rotation + 2) % 3];
            return true;
        }
    }
    return false;
}

} // namespace

void ExecuteDraw(const DrawPlan& plan, const RenderTarget& target, const PrimitiveStream& stream,
                 int vertexCount, DrawScratch* scratch) {
    if (stream.type == D3DPT_POINTLIST) {
        DrawPoints(plan, target, stream.vertices, stream.indices, stream.primitiveCount);
        return;
    }
    const PipelineVertex* clip = stream.vertices;
    const PipelineVertex* screen = clip;
    const uint8_t* inside = nullptr;
    if (!plan.pretransformed) {
        scratch->screen.resize(static_cast<size_t>(vertexCount));
        scratch->inside.resize(static_cast<size_t>(vertexCount));
        for (int i = 0; i < vertexCount; ++i) {
            bool in = InsideClipVolume(clip[i]);
            scratch->inside[static_cast<size_t>(i)] = in ? 1 : 0;
            scratch->screen[static_cast<size_t>(i)] = clip[i];
            if (in) {
                ProjectToScreen(plan.viewport, &scratch->screen[static_cast<size_t>(i)]);
            }
        }
        screen = scratch->screen.data();
        inside = scratch->inside.data();
    }
    auto allInside = [&](const uint32_t* i) {
        return !inside || (inside[i[0]] && inside[i[1]] && inside[i[2]]);
    };
    const bool pairs = stream.type == D3DPT_TRIANGLELIST || stream.type == D3DPT_TRIANGLESTRIP;
    for (int p = 0; p < stream.primitiveCount; ++p) {
        uint32_t first[3];
        TriangleIndices(stream, p, first);
        // Two triangles that make a quad are rasterised together: half the rows to walk.
        if (pairs && (p & 1) == 0 && p + 1 < stream.primitiveCount && !plan.triangle.perspective) {
            uint32_t second[3], d;
            TriangleIndices(stream, p + 1, second);
            if (allInside(first) && allInside(second) && FindQuadCorner(screen, first, second, &d)) {
                TriangleSetup quad;
                QuadSetup result = SetupQuad(screen[first[0]], screen[first[1]], screen[first[2]], screen[d],
                                             plan.triangle, &quad);
                if (result != QuadSetup::NotAQuad) {
                    if (result == QuadSetup::Drawn) {
                        RasterizeTriangle(plan.pixel, quad, target);
                    }
                    ++p;
                    continue;
                }
            }
        }
        if (allInside(first)) {
            DrawScreenTriangle(plan, target, screen[first[0]], screen[first[1]], screen[first[2]]);
            continue;
        }
        PipelineVertex polygon[MAX_CLIPPED_VERTICES];
        int count = ClipTriangle(clip[first[0]], clip[first[1]], clip[first[2]], polygon);
        for (int i = 0; i < count; ++i) {
            ProjectToScreen(plan.viewport, &polygon[i]);
        }
        for (int i = 1; i + 1 < count; ++i) {
            DrawScreenTriangle(plan, target, polygon[0], polygon[i], polygon[i + 1]);
        }
    }
}

} // namespace platform::d3d9
