// The vertex stage: reads vertices from a stream and produces pipeline vertices, either clip-space
// positions (XYZ through world x view x projection) or screen positions (XYZRHW), with the two texture
// coordinate sets the stages read, the colour and the point size.
#pragma once

#include "d3d9/pipeline/vertex_format.h"

#include <cstdint>

namespace platform::d3d9 {

enum : int { ATTR_U0, ATTR_V0, ATTR_U1, ATTR_V1, ATTR_B, ATTR_G, ATTR_R, ATTR_A, ATTR_COUNT };

// pos is (x, y, z, w) in clip space, or after projection (screen x, screen y, depth 0..1, 1/w).
struct PipelineVertex {
    float pos[4];
    float attr[ATTR_COUNT]; // colour channels 0..255
    float pointSize;
};

struct VertexStageSetup {
    VertexLayout layout;
    D3DMATRIX worldViewProjection{};
    int texCoordSet[D3D_STAGE_COUNT] = {0, 1}; // the coordinate set each stage reads
    float defaultPointSize = 1.0f;
};

void RunVertexStage(const VertexStageSetup& setup, const uint8_t* vertices, int stride, int count,
                    PipelineVertex* out);

// Row vector times matrix: a x b.
D3DMATRIX MultiplyMatrices(const D3DMATRIX& a, const D3DMATRIX& b);

struct ViewportMapping {
    float x, y, halfWidth, halfHeight, minZ, depthRange;
};

ViewportMapping MapViewport(const D3DVIEWPORT9& viewport);

// Perspective division and the viewport transform; the vertex must have w > 0.
void ProjectToScreen(const ViewportMapping& viewport, PipelineVertex* vertex);

} // namespace platform::d3d9
