// The MD2 test file writer.
#include "md2_test_file.h"

#include "support/test_files.h"

#include <cstring>
#include <string>

namespace md2_test {

namespace {

// Fields are little-endian, as on the machines the tests run on.
template <typename Value> void Put(std::vector<uint8_t>* out, const Value& value) {
    uint8_t bytes[sizeof(Value)];
    std::memcpy(bytes, &value, sizeof(Value));
    out->insert(out->end(), bytes, bytes + sizeof(Value));
}

} // namespace

std::vector<uint8_t> Model::Bytes() const {
    const int numXyz = frames.empty() ? 0 : int(frames[0].vertices.size());
    const int frameSize = 40 + 4 * numXyz;
    const int ofsSt = 68 + 64 * skinCount;
    const int ofsTris = ofsSt + 4 * int(texcoords.size());
    const int ofsFrames = ofsTris + 12 * int(triangles.size());
    const int ofsGl = ofsFrames + frameSize * int(frames.size());
    std::vector<uint8_t> out;
    for (int field :
         {0x32504449, 8, skinWidth, skinHeight, frameSize, skinCount, numXyz, int(texcoords.size()),
          int(triangles.size()), 0, int(frames.size()), 68, ofsSt, ofsTris, ofsFrames, ofsGl, ofsGl}) {
        Put(&out, int32_t(field));
    }
    for (int s = 0; s < skinCount; ++s) {
        std::string name = "skin" + std::to_string(s) + ".pcx";
        name.resize(64, '\0');
        out.insert(out.end(), name.begin(), name.end());
    }
    for (const auto& st : texcoords) {
        Put(&out, st);
    }
    for (const Triangle& t : triangles) {
        Put(&out, t);
    }
    for (const Frame& f : frames) {
        Put(&out, f.scale);
        Put(&out, f.translate);
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
    std::memcpy(bytes->data() + offset, &value, sizeof value);
}

Model Cube(const std::vector<float>& frameSizes) {
    Model model;
    // Corner c lies at ((c & 1), (c >> 1) & 1, (c >> 2) & 1). Two triangles per face, each face
    // showing the whole skin, wound so that (v1 - v0) x (v2 - v0) points out of the cube.
    model.texcoords = {{0, 0}, {64, 0}, {0, 64}, {64, 64}};
    model.triangles = {{{0, 6, 2}, {0, 3, 1}}, {{0, 4, 6}, {0, 2, 3}}, {{1, 7, 5}, {0, 3, 1}},
                       {{1, 3, 7}, {0, 2, 3}}, {{0, 5, 4}, {0, 3, 1}}, {{0, 1, 5}, {0, 2, 3}},
                       {{2, 7, 3}, {0, 3, 1}}, {{2, 6, 7}, {0, 2, 3}}, {{0, 3, 1}, {0, 3, 1}},
                       {{0, 2, 3}, {0, 2, 3}}, {{4, 7, 6}, {0, 3, 1}}, {{4, 5, 7}, {0, 2, 3}}};
    for (float size : frameSizes) {
        Frame frame; // corners at 0 and 255 scaled to the edge length, centred on the origin
        for (int a = 0; a < 3; ++a) {
            frame.scale[a] = size / 255.0f;
            frame.translate[a] = -size / 2.0f;
        }
        for (int c = 0; c < 8; ++c) {
            frame.vertices.push_back(
                {uint8_t((c & 1) * 255), uint8_t(((c >> 1) & 1) * 255), uint8_t((c >> 2) * 255)});
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
        model.frames.push_back(
            {{0.5f, 1.0f, 0.25f}, {0.0f, 1.0f + float(f), 2.0f}, {{2, 1, 4}, {10, 1, 4}, {2, 5, 8}}});
    }
    return model;
}

Model ExtremesLast() {
    Model model;
    model.texcoords = {{64, 0}, {0, 32}, {64, 32}};
    model.triangles = {{{0, 1, 2}, {0, 1, 2}}, {{3, 4, 5}, {2, 1, 0}}};
    // File (x, y, z) decodes to (x - 10, y - 5, z) and lands at (x - 10, z, y - 5). Vertices 0 to 2 and 5
    // lie inside; vertex 3 holds the least x and y and the largest z, vertex 4 the others.
    Frame frame{{1.0f, 1.0f, 1.0f},
                {-10.0f, -5.0f, 0.0f},
                {{5, 5, 7}, {4, 6, 6}, {6, 4, 8}, {1, 10, 3}, {8, 1, 11}, {5, 5, 5}}};
    model.frames.push_back(frame);
    for (float& scale : frame.scale) {
        scale = 3.0f;
    }
    for (float& shift : frame.translate) {
        shift *= 3.0f;
    }
    model.frames.push_back(frame);
    return model;
}

void WriteModel(const std::filesystem::path& path, const Model& model) {
    testing_support::WriteFile(path, model.Bytes());
}

} // namespace md2_test
