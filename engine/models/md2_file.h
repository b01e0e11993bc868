// The MD2 file reader: checks a keyframe model file against the loader's data model and expands every
// frame into an unindexed triangle list of MD2Vertex records, all frames one after another.
#pragma once

#include "d3dx9/d3dx9.h"

#include <cstdio>
#include <string>
#include <vector>

// One vertex of a model's buffer: position, then texture coordinates (FVF 0x102, 20 bytes).
struct MD2Vertex {
    D3DXVECTOR3 position;
    float tu;
    float tv;
};
static_assert(sizeof(MD2Vertex) == 20, "the stride that the buffers are drawn with");

constexpr DWORD MD2_VERTEX_FVF = 0x102;

// Limits of the loader's data model.
constexpr int MD2_MAX_SKINS = 32;
constexpr int MD2_MAX_TEXCOORDS = 2048;
constexpr int MD2_MAX_FRAME_VERTICES = 2070;
// Limits of the MD2 format itself.
constexpr int MD2_MAX_TRIANGLES = 4096;
constexpr int MD2_MAX_FRAMES = 512;
// Every frame is expanded into its own triangle list, so a small file of many triangles and frames
// asks for a large buffer; a model whose vertices take more than this is refused unread.
constexpr long long MD2_MAX_EXPANDED_BYTES = 64ll << 20;

struct Md2Mesh {
    int vertexCount = 0;   // file vertices per frame (num_xyz)
    int triangleCount = 0; // triangles per frame
    int frameCount = 0;
    // frameCount * triangleCount * 3 vertices; frame f, triangle j, corner k at (f * triangleCount + j) * 3 +
    // k.
    std::vector<MD2Vertex> vertices;
};

// Reads the file from its current position (its start). Every count, index and offset is checked before
// it is used and every read must be complete; on any failure the result is false, `mesh` is left empty
// and `reason` (when given) says why. `scale` is applied on top of each frame's own scale, and the
// file's y and z axes are swapped.
bool ReadMd2Mesh(FILE* file, float scale, Md2Mesh* mesh, std::string* reason);
