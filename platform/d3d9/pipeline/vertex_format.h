// Decoding a flexible vertex format code into the byte offsets of its fields and its size.
#pragma once

#include "d3d9/d3d9.h"

namespace platform::d3d9 {

struct VertexLayout {
    bool valid = false;
    bool pretransformed = false; // XYZRHW: x, y in pixels, z in 0..1, then 1/w
    int normalOffset = -1;
    int pointSizeOffset = -1;
    int diffuseOffset = -1;
    int specularOffset = -1;
    int texCoordCount = 0;
    int texCoordOffset[8] = {};
    int size = 0;
};

// Fields follow in the order position, normal, point size, diffuse, specular, texture coordinate
// pairs. Only XYZ and XYZRHW positions and two-component texture coordinates are supported; any
// other code gives an invalid layout.
VertexLayout DecodeVertexFormat(DWORD fvf);

} // namespace platform::d3d9
