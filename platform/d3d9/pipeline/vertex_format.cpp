// Flexible vertex format decoding.
#include "d3d9/pipeline/vertex_format.h"

namespace platform::d3d9 {

VertexLayout DecodeVertexFormat(DWORD fvf) {
    VertexLayout layout;
    const DWORD known = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                        D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK;
    if ((fvf & ~known) != 0) {
        return layout;
    }
    int offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        offset = 12;
        break;
    case D3DFVF_XYZRHW:
        layout.pretransformed = true;
        offset = 16;
        break;
    default:
        return layout;
    }
    if (fvf & D3DFVF_NORMAL) {
        layout.normalOffset = offset;
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        layout.pointSizeOffset = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuseOffset = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specularOffset = offset;
        offset += 4;
    }
    layout.texCoordCount = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (layout.texCoordCount > 8) {
        return layout;
    }
    for (int set = 0; set < layout.texCoordCount; ++set) {
        layout.texCoordOffset[set] = offset;
        offset += 8;
    }
    layout.size = offset;
    layout.valid = true;
    return layout;
}

} // namespace platform::d3d9
