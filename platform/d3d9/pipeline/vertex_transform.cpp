// Vertex fetch, transformation and projection.
#include "d3d9/pipeline/vertex_transform.h"

#include <cstring>

namespace platform::d3d9 {

namespace {

float ReadFloat(const uint8_t* p) {
    float value;
    std::memcpy(&value, p, 4);
    return value;
}

} // namespace

D3DMATRIX MultiplyMatrices(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX result;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            result.m[row][column] = a.m[row][0] * b.m[0][column] + a.m[row][1] * b.m[1][column] +
                                    a.m[row][2] * b.m[2][column] + a.m[row][3] * b.m[3][column];
        }
    }
    return result;
}

void RunVertexStage(const VertexStageSetup& setup, const uint8_t* vertices, int stride, int count,
                    PipelineVertex* out) {
    const VertexLayout& layout = setup.layout;
    const D3DMATRIX& m = setup.worldViewProjection;
    for (int i = 0; i < count; ++i) {
        const uint8_t* v = vertices + static_cast<size_t>(i) * stride;
        PipelineVertex& o = out[i];
        float x = ReadFloat(v), y = ReadFloat(v + 4), z = ReadFloat(v + 8);
        if (layout.pretransformed) {
            o.pos[0] = x;
            o.pos[1] = y;
            o.pos[2] = z;
            o.pos[3] = ReadFloat(v + 12);
        } else {
            o.pos[0] = x * m._11 + y * m._21 + z * m._31 + m._41;
            o.pos[1] = x * m._12 + y * m._22 + z * m._32 + m._42;
            o.pos[2] = x * m._13 + y * m._23 + z * m._33 + m._43;
            o.pos[3] = x * m._14 + y * m._24 + z * m._34 + m._44;
        }
        // Lighting is never computed: a vertex without a colour is opaque white.
        DWORD colour = 0xFFFFFFFF;
        if (layout.diffuseOffset >= 0) {
            std::memcpy(&colour, v + layout.diffuseOffset, 4);
        }
        o.attr[ATTR_B] = static_cast<float>(colour & 0xFF);
        o.attr[ATTR_G] = static_cast<float>((colour >> 8) & 0xFF);
        o.attr[ATTR_R] = static_cast<float>((colour >> 16) & 0xFF);
        o.attr[ATTR_A] = static_cast<float>(colour >> 24);
        for (int stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
            int set = setup.texCoordSet[stage];
            float u = 0.0f, w = 0.0f;
            if (set < layout.texCoordCount) {
                u = ReadFloat(v + layout.texCoordOffset[set]);
                w = ReadFloat(v + layout.texCoordOffset[set] + 4);
            }
            o.attr[ATTR_U0 + 2 * stage] = u;
            o.attr[ATTR_V0 + 2 * stage] = w;
        }
        o.pointSize =
            layout.pointSizeOffset >= 0 ? ReadFloat(v + layout.pointSizeOffset) : setup.defaultPointSize;
    }
}

ViewportMapping MapViewport(const D3DVIEWPORT9& viewport) {
    return ViewportMapping{static_cast<float>(viewport.X),
                           static_cast<float>(viewport.Y),
                           viewport.Width * 0.5f,
                           viewport.Height * 0.5f,
                           viewport.MinZ,
                           viewport.MaxZ - viewport.MinZ};
}

void ProjectToScreen(const ViewportMapping& viewport, PipelineVertex* vertex) {
    float q = 1.0f / vertex->pos[3];
    vertex->pos[0] = viewport.x + (1.0f + vertex->pos[0] * q) * viewport.halfWidth;
    vertex->pos[1] = viewport.y + (1.0f - vertex->pos[1] * q) * viewport.halfHeight;
    vertex->pos[2] = viewport.minZ + vertex->pos[2] * q * viewport.depthRange;
    vertex->pos[3] = q;
}

} // namespace platform::d3d9
