// Writes MD2 model files for the model tests: a builder for hand-made models, a cube with outward
// faces, a single triangle, and a helper to break a file's header on purpose.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace md2_test {

struct Triangle {
    int16_t vertex[3];
    int16_t texcoord[3];
};

struct Frame {
    float scale[3] = {1.0f, 1.0f, 1.0f};
    float translate[3] = {0.0f, 0.0f, 0.0f};
    std::vector<std::array<uint8_t, 3>> vertices;
};

struct Model {
    int skinCount = 0;
    std::vector<std::array<int16_t, 2>> texcoords;
    std::vector<Triangle> triangles;
    std::vector<Frame> frames;
    int skinWidth = 64;
    int skinHeight = 64;

    // The file: a header whose offsets match the back-to-back sections, then skins, texture
    // coordinates, triangles, frames and an empty GL command list.
    std::vector<uint8_t> Bytes() const;
};

// Byte offsets of the header fields.
enum HeaderField : int {
    IDENT = 0,
    VERSION = 4,
    FRAME_SIZE = 16,
    NUM_TRIS = 32,
    NUM_FRAMES = 40,
    OFS_SKINS = 44,
    OFS_ST = 48,
    OFS_TRIS = 52,
    OFS_FRAMES = 56,
};

void PatchInt32(std::vector<uint8_t>* bytes, int offset, int32_t value);

// A cube centred in the frame's space, faces pointing outward, texture coordinates spanning a 64 x 64
// skin. Frame f is the cube with an edge of frameSizes[f] file units.
Model Cube(const std::vector<float>& frameSizes);

// A single triangle whose file vertex 0 decodes to (1, 2 + f, 3) in frame f.
Model OneTriangle(int frames);

// Two triangles away from the origin whose frame-0 extremes all lie in the second triangle's corners:
// after the y/z swap, frame 0 spans x -9 to -2, y 3 to 11 and z -4 to 5; frame 1 reaches three times as
// far.
Model ExtremesLast();

void WriteModel(const std::filesystem::path& path, const Model& model);

} // namespace md2_test
