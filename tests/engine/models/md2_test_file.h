// Writes MD2 model files for the model tests: a builder for hand-made models, a cube with outward faces
// and a skin of four coloured quadrants, and helpers to break a file on purpose.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
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

    // The file: header with ofs_* values that match the back-to-back sections, then skins, texture
    // coordinates, triangles, frames and an empty GL command list.
    std::vector<uint8_t> Bytes() const;
};

// Byte offsets of the header fields.
enum HeaderField : int {
    IDENT = 0,
    VERSION = 4,
    FRAME_SIZE = 16,
    NUM_SKINS = 20,
    NUM_XYZ = 24,
    NUM_ST = 28,
    NUM_TRIS = 32,
    NUM_FRAMES = 40,
    OFS_SKINS = 44,
    OFS_ST = 48,
    OFS_TRIS = 52,
    OFS_FRAMES = 56,
};

void PatchInt32(std::vector<uint8_t>* bytes, int offset, int32_t value);
int32_t ReadInt32(const std::vector<uint8_t>& bytes, int offset);

// A unit cube centred in the frame's space, faces pointing outward, texture coordinates spanning a
// 64 x 64 skin. Frame f is the cube scaled by frameSizes[f] (edge length in file units).
Model Cube(const std::vector<float>& frameSizes);

// A single triangle with one vertex whose decoded position is (1, 2, 3) in every frame.
Model OneTriangle(int frames);

void WriteModel(const std::filesystem::path& path, const Model& model);

} // namespace md2_test
