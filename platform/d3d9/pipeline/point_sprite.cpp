// Point expansion into two triangles per point.
#include "d3d9/pipeline/point_sprite.h"

#include <algorithm>

namespace platform::d3d9 {

void DrawPoints(const DrawPlan& plan, const RenderTarget& target, const PipelineVertex* vertices,
                const uint32_t* indices, int pointCount) {
    SetupOptions options = plan.triangle;
    options.cull = D3DCULL_NONE;
    options.perspective = false;
    options.flatShading = false;
    for (int i = 0; i < pointCount; ++i) {
        PipelineVertex centre = vertices[indices ? indices[i] : static_cast<uint32_t>(i)];
        if (!plan.pretransformed) {
            float z = centre.pos[2], w = centre.pos[3];
            if (!(w > 0.0f) || !(z >= 0.0f) || !(z <= w)) {
                continue;
            }
            ProjectToScreen(plan.viewport, &centre);
        }
        float size = std::clamp(centre.pointSize, plan.pointSizeMin, plan.pointSizeMax);
        if (!(size > 0.0f)) {
            continue;
        }
        float half = size * 0.5f;
        PipelineVertex corners[4];
        for (int c = 0; c < 4; ++c) {
            corners[c] = centre;
            bool right = (c & 1) != 0, bottom = (c & 2) != 0;
            corners[c].pos[0] = centre.pos[0] + (right ? half : -half);
            corners[c].pos[1] = centre.pos[1] + (bottom ? half : -half);
            corners[c].pos[3] = 1.0f;
            if (plan.pointSprites) {
                for (int stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
                    corners[c].attr[ATTR_U0 + 2 * stage] = right ? 1.0f : 0.0f;
                    corners[c].attr[ATTR_V0 + 2 * stage] = bottom ? 1.0f : 0.0f;
                }
            }
        }
        TriangleSetup triangle;
        QuadSetup quad = SetupQuad(corners[0], corners[1], corners[2], corners[3], options, &triangle);
        if (quad == QuadSetup::Drawn) {
            RasterizeTriangle(plan.pixel, triangle, target);
        } else if (quad == QuadSetup::NotAQuad) {
            if (SetupTriangle(corners[0], corners[1], corners[2], options, &triangle)) {
                RasterizeTriangle(plan.pixel, triangle, target);
            }
            if (SetupTriangle(corners[2], corners[1], corners[3], options, &triangle)) {
                RasterizeTriangle(plan.pixel, triangle, target);
            }
        }
    }
}

} // namespace platform::d3d9
