// Point lists: each point becomes a screen-aligned square of its size in pixels centred on the
// projected point. With point sprites on, texture coordinates run from (0, 0) at the top-left corner
// to (1, 1) at the bottom-right; otherwise the square takes the vertex's coordinates. One colour per
// square. Points whose centre lies outside the near or far plane are dropped.
#pragma once

#include "d3d9/pipeline/draw_plan.h"

namespace platform::d3d9 {

// vertices: output of the vertex stage (clip space, or screen space for pretransformed formats).
void DrawPoints(const DrawPlan& plan, const RenderTarget& target, const PipelineVertex* vertices,
                const uint32_t* indices, int pointCount);

} // namespace platform::d3d9
