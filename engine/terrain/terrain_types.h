// The terrain's records: the vertex of the patches and the water quad, a patch's bounding box and its
// system-memory copy of vertices and indices, and the sizes that the map image and the meshes share.
#pragma once

#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9_math.h"

#include <cstdint>

// Position, ARGB colour and two texture coordinate pairs: D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX2.
struct TerrainVertex {
    float x;
    float y;
    float z;
    D3DCOLOR diffuse;
    float tu0;
    float tv0;
    float tu1;
    float tv1;
};

constexpr DWORD TERRAIN_FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX2;
static_assert(TERRAIN_FVF == 0x242, "the terrain's vertex format");
static_assert(sizeof(TerrainVertex) == 32, "the terrain's vertex stride");

// A patch is 4 x 4 cells: 5 x 5 vertices, two triangles per cell.
constexpr int PATCH_VERTEX_COUNT = 25;
constexpr int PATCH_INDEX_COUNT = 96;
constexpr int PATCH_VERTEX_BYTES = PATCH_VERTEX_COUNT * int(sizeof(TerrainVertex));
constexpr int PATCH_INDEX_BYTES = PATCH_INDEX_COUNT * int(sizeof(uint16_t));

// The map sides, in samples, that the bitmaps and the map image may have: a map smaller than two
// patches per side has no patch at all; the upper bound keeps the sample arrays, the patch tables and
// every file read for them within reason.
constexpr int SMALLEST_MAP_SIDE = 8;
constexpr int LARGEST_MAP_SIDE = 4096;

// The axis-aligned bounds of a patch in world coordinates.
struct PatchBox {
    D3DXVECTOR3 min;
    D3DXVECTOR3 max;
};

// A patch's vertices and indices in system memory (malloc blocks), the same data as its buffers.
struct PatchCopy {
    TerrainVertex* vertices;
    uint16_t* indices;
};
