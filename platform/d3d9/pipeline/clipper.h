// Clipping of transformed triangles in clip space: against the near plane (z >= 0), the far plane
// (z <= w) and a guard band around the viewport (|x|, |y| <= GUARD_BAND * w) that keeps screen
// coordinates small enough for exact fixed-point rasterising. The viewport itself is enforced by the
// rasteriser's scissor.
#pragma once

#include "d3d9/pipeline/vertex_transform.h"

namespace platform::d3d9 {

constexpr float GUARD_BAND = 8.0f;
constexpr int MAX_CLIPPED_VERTICES = 12;

// True when the vertex is inside every clip plane.
bool InsideClipVolume(const PipelineVertex& v);

// Clips the triangle (a, b, c); writes the convex polygon (0 or 3 to MAX_CLIPPED_VERTICES vertices,
// in the triangle's winding) to out and returns its vertex count.
int ClipTriangle(const PipelineVertex& a, const PipelineVertex& b, const PipelineVertex& c,
                 PipelineVertex* out);

} // namespace platform::d3d9
