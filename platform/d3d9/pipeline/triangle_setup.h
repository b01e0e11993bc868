// Triangle setup: culling by screen winding, fixed-point edge functions with the top-left fill rule
// (pixel centres at integer coordinates), the bounding box within the scissor rectangle, and the
// planes of depth, 1/w and the attributes.
#pragma once

#include "d3d9/pipeline/vertex_transform.h"

#include <cstdint>

namespace platform::d3d9 {

constexpr int SUBPIXEL_BITS = 8;
constexpr int SUBPIXEL_ONE = 1 << SUBPIXEL_BITS;
// Screen coordinates beyond this many pixels are not rasterised (the clipper's guard band keeps
// transformed geometry well inside it).
constexpr float MAX_SCREEN_COORDINATE = 1 << 20;

// value(X, Y) = start + dx * (X - refX) + dy * (Y - refY)
struct AttributePlane {
    float start = 0.0f;
    float dx = 0.0f;
    float dy = 0.0f;
};

// A triangle, or a convex quad made of two triangles that share their attribute planes.
struct TriangleSetup {
    // Edge i covers pixel (X, Y) when a*X + b*Y + c >= 0 (the fill rule is folded into c).
    int edgeCount;
    int64_t edgeA[4];
    int64_t edgeB[4];
    int64_t edgeC[4];
    int minX, maxX, minY, maxY;
    float refX, refY;
    AttributePlane z;
    AttributePlane q;
    // With perspective set, the texture coordinate planes hold u/w and v/w, and q holds 1/w.
    AttributePlane attr[ATTR_COUNT];
    bool perspective;
    bool flatColour; // every pixel gets flatColourValue
    uint32_t flatColourValue;
};

struct SetupOptions {
    D3DCULL cull = D3DCULL_NONE;
    int scissorLeft = 0, scissorTop = 0, scissorRight = 0, scissorBottom = 0; // right, bottom exclusive
    bool perspective = false;
    bool flatShading = false; // colour of the first vertex for the whole triangle
};

// False when the triangle is culled, degenerate, or covers no pixel of the scissor rectangle.
bool SetupTriangle(const PipelineVertex& a, const PipelineVertex& b, const PipelineVertex& c,
                   const SetupOptions& options, TriangleSetup* setup);

enum class QuadSetup { Drawn, Empty, NotAQuad };

// The triangles (a, b, c) and (c, b, d) as one convex quad a, b, d, c: it covers exactly the pixels
// of the two triangles, and is used when d's attributes lie on the plane of the first triangle (then
// both triangles interpolate alike) and coordinates are affine. NotAQuad: draw the two triangles.
QuadSetup SetupQuad(const PipelineVertex& a, const PipelineVertex& b, const PipelineVertex& c,
                    const PipelineVertex& d, const SetupOptions& options, TriangleSetup* setup);

} // namespace platform::d3d9
