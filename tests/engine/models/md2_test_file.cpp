// The MD2 test file writer.
#include "md2_test_file.h"

#include "support/test_files.h"

#include <cstring>

namespace md2_test {

namespace {

void PutInt32(std::vector<uint8_t>* out, int32_t value) {
    for (int i = 0; i < 4; ++i) {
        out->push_back(uint8_t(uint32_t(value) >> (8 * i)));
    }
}

void PutInt16(std::vector<uint8_t>* out, int16_t value) {
    out->push_back(uint8_t(uint16_t(value)));
    out->push_back(uint8_t(uint16_t(value) >> 8));
}

void PutFloat(std::vector<uint8_t>* out, float value) {
    int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutInt32(out, bits);
}

} // namespace

std::vector<uint8_t> Model::Bytes() const {
    const int numXyz = frames.empty() ? 0 : int(frames[0].vertices.size());
    const int frameSize = 40 + 4 * numXyz;
    const int ofsSkins = 68;
    const int ofsSt = ofsSkins + 64 * skinCount;
    const int ofsTris = ofsSt + 4 * int(texcoords.size());
    const int ofsFrames = ofsTris + 12 * int(triangles.size());
    const int ofsGl = ofsFrames + frameSize * int(frames.size());

    std::vector<uint8_t> out;
    const int32_t header[17] = {0x32504449,
                                8,
                                skinWidth,
                                skinHeight,
                                frameSize,
                                skinCount,
                                numXyz,
                                int(texcoords.size()),
                                int(triangles.size()),
                                0,
                                int(frames.size()),
                                ofsSkins,
                                ofsSt,
                                ofsTris,
                                ofsFrames,
                                ofsGl,
                                ofsGl};
    for (int32_t field : header) {
        PutInt32(&out, field);
    }
    for (int s = 0; s < skinCount; ++s) {
        std::string name = "skin" + std::to_string(s) + ".pcx";
        name.resize(64, '\0');
        out.insert(out.end(), name.begin(), name.end());
    }
    for (const auto& st : texcoords) {
        PutInt16(&out, st[0]);
        PutInt16(&out, st[1]);
    }
    for (const Triangle& t : triangles) {
        for (int16_t v : t.vertex) {
            PutInt16(&out, v);
        }
        for (int16_t st : t.texcoord) {
            PutInt16(&out, st);
        }
    }
    for (const Frame& f : frames) {
        for (float s : f.scale) {
            PutFloat(&out, s);
        }
        for (float t : f.translate) {
            PutFloat(&out, t);
        }
        const char name[16] = "frame";
        out.insert(out.end(), name, name + 16);
        for (const auto& v : f.vertices) {
            out.insert(out.end(), v.begin(), v.end());
            out.push_back(0); // normal index
        }
    }
    return out;
}

void PatchInt32(std::vector<uint8_t>* bytes, int offset, int32_t value) {
    for (int i = 0; i < 4; ++i) {
        (*bytes)[size_t(offset + i)] = uint8_t(uint32_t(value) >> (8 * i));
    }
}

int32_t ReadInt32(const std::vector<uint8_t>& bytes, int offset) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= uint32_t(bytes[size_t(offset + i)]) << (8 * i);
    }
    return int32_t(value);
}

Model Cube(const std::vector<float>& frameSizes) {
    Model model;
    // Texture coordinates: the four corners of the skin; each face shows the whole skin.
    model.texcoords = {{0, 0}, {64, 0}, {0, 64}, {64, 64}};
    // Corner c of the cube has file coordinates ((c & 1), (c >> 1) & 1, (c >> 2) & 1) in {0, 1}.
    struct Face {
        int corners[4]; // a, b, c, d going round the face
        int axis;
        int side; // +1 or -1 along the axis
    };
    const Face faces[6] = {{{0, 2, 6, 4}, 0, -1}, {{1, 5, 7, 3}, 0, +1}, {{0, 4, 5, 1}, 1, -1},
                           {{2, 3, 7, 6}, 1, +1}, {{0, 1, 3, 2}, 2, -1}, {{4, 6, 7, 5}, 2, +1}};
    auto corner = [](int c) {
        return std::array<float, 3>{float(c & 1), float((c >> 1) & 1), float((c >> 2) & 1)};
    };
    auto addTriangle = [&](int a, int b, int c, int axis, int side, int16_t ta, int16_t tb, int16_t tc) {
        // Orient so that (v1 - v0) x (v2 - v0) points out of the cube.
        const auto p0 = corner(a), p1 = corner(b), p2 = corner(c);
        const float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        const float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                            e1[0] * e2[1] - e1[1] * e2[0]};
        if (n[axis] * float(side) < 0.0f) {
            std::swap(b, c);
            std::swap(tb, tc);
        }
        model.triangles.push_back({{int16_t(a), int16_t(b), int16_t(c)}, {ta, tb, tc}});
    };
    for (const Face& f : faces) {
        addTriangle(f.corners[0], f.corners[1], f.corners[2], f.axis, f.side, 0, 1, 3);
        addTriangle(f.corners[0], f.corners[2], f.corners[3], f.axis, f.side, 0, 3, 2);
    }
    for (float size : frameSizes) {
        Frame frame;
        // Corners at 0 and 255 scaled to the edge length, centred on the origin.
        const float s = size / 255.0f;
        for (int a = 0; a < 3; ++a) {
            frame.scale[a] = s;
            frame.translate[a] = -size / 2.0f;
        }
        for (int c = 0; c < 8; ++c) {
            frame.vertices.push_back(
                {uint8_t((c & 1) * 255), uint8_t(((c >> 1) & 1) * 255), uint8_t(((c >> 2) & 1) * 255)});
        }
        model.frames.push_back(frame);
    }
    return model;
}

Model OneTriangle(int frames) {
    Model model;
    // Pair 2 is larger than any pair in use and must not enter the normalisation.
    model.texcoords = {{64, 0}, {128, 16}, {200, 100}, {0, 64}};
    model.triangles = {{{0, 1, 2}, {0, 1, 3}}};
    for (int f = 0; f < frames; ++f) {
        Frame frame;
        frame.scale[0] = 0.5f;
        frame.scale[1] = 1.0f;
        frame.scale[2] = 0.25f;
        frame.translate[0] = 0.0f;
        frame.translate[1] = 1.0f + float(f);
        frame.translate[2] = 2.0f;
        // Vertex 0 decodes to (1, 2 + f, 3); the others lie beside it.
        frame.vertices = {{2, 1, 4}, {10, 1, 4}, {2, 5, 8}};
        model.frames.push_back(frame);
    }
    return model;
}

void WriteModel(const std::filesystem::path& path, const Model& model) {
    testing_support::WriteFile(path, model.Bytes());
}

} // namespace md2_test
