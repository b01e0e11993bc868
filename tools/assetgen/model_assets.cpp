// The engine's model data: "Grafik\Models\crystal.md2", a three-frame crystal (an elongated octahedron
// that turns and stretches from frame to frame) with its skin "Grafik\Models\crystal.dds", and
// "Grafik\Models\flame.dds", a billboard strip of four flame frames on black (the colour key).
#include "asset_registry.h"
#include "image_writers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace assetgen {
namespace {

constexpr int SKIN_SIZE = 64;
constexpr int FLAME_FRAMES = 4;
constexpr int FLAME_SIZE = 32;
constexpr float PI = 3.14159265f;

struct Md2Writer {
    std::vector<uint8_t> bytes;

    void Int32(int32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(uint8_t(uint32_t(value) >> (8 * i)));
        }
    }
    void Int16(int value) {
        bytes.push_back(uint8_t(uint16_t(value)));
        bytes.push_back(uint8_t(uint16_t(value) >> 8));
    }
    void Float(float value) {
        int32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        Int32(bits);
    }
};

using Point = std::array<float, 3>;

// The crystal in MD2 file space (z up): tip, bottom, and four points round the waist, turned by `turn`
// radians and with the tips at +-height.
std::array<Point, 6> CrystalCorners(float turn, float height) {
    std::array<Point, 6> corners{};
    corners[0] = {0.0f, 0.0f, height};
    corners[1] = {0.0f, 0.0f, -height};
    for (int i = 0; i < 4; ++i) {
        const float angle = turn + float(i) * PI / 2.0f;
        corners[size_t(2 + i)] = {2.0f * std::cos(angle), 2.0f * std::sin(angle), 0.0f};
    }
    return corners;
}

// Triangles with (v1 - v0) x (v2 - v0) pointing outward: the upper four fan round the tip, the lower
// four round the bottom.
struct Face {
    int vertex[3];
    int texcoord[3];
};

std::vector<Face> CrystalFaces() {
    std::vector<Face> faces;
    for (int i = 0; i < 4; ++i) {
        const int a = 2 + i;
        const int b = 2 + (i + 1) % 4;
        // Texture coordinate pairs: 5 across the top edge of the skin (0..4), 5 across the waist
        // (5..9), 5 across the bottom (10..14).
        faces.push_back({{0, a, b}, {i, 5 + i, 6 + i}});
        faces.push_back({{1, b, a}, {10 + i, 6 + i, 5 + i}});
    }
    return faces;
}

void CheckOutward(std::vector<Face>& faces, const std::array<Point, 6>& corners) {
    for (Face& f : faces) {
        const Point& p0 = corners[size_t(f.vertex[0])];
        const Point& p1 = corners[size_t(f.vertex[1])];
        const Point& p2 = corners[size_t(f.vertex[2])];
        const Point e1 = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        const Point e2 = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        const Point n = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
        const Point centre = {(p0[0] + p1[0] + p2[0]) / 3, (p0[1] + p1[1] + p2[1]) / 3,
                              (p0[2] + p1[2] + p2[2]) / 3};
        if (n[0] * centre[0] + n[1] * centre[1] + n[2] * centre[2] < 0.0f) {
            std::swap(f.vertex[1], f.vertex[2]);
            std::swap(f.texcoord[1], f.texcoord[2]);
        }
    }
}

std::vector<uint8_t> CrystalModel() {
    const float turns[3] = {0.0f, PI / 12.0f, PI / 6.0f};
    const float heights[3] = {3.0f, 3.5f, 4.0f};
    std::vector<Face> faces = CrystalFaces();
    CheckOutward(faces, CrystalCorners(turns[0], heights[0]));

    const int numXyz = 6;
    const int numSt = 15;
    const int numTris = int(faces.size());
    const int numFrames = 3;
    const int frameSize = 40 + 4 * numXyz;
    const int ofsSt = 68;
    const int ofsTris = ofsSt + 4 * numSt;
    const int ofsFrames = ofsTris + 12 * numTris;
    const int ofsEnd = ofsFrames + frameSize * numFrames;

    Md2Writer w;
    const int32_t header[17] = {0x32504449, 8,       SKIN_SIZE, SKIN_SIZE, frameSize, 0,
                                numXyz,     numSt,   numTris,   0,         numFrames, ofsSt,
                                ofsSt,      ofsTris, ofsFrames, ofsEnd,    ofsEnd};
    for (int32_t field : header) {
        w.Int32(field);
    }
    for (int row = 0; row < 3; ++row) {
        for (int i = 0; i < 5; ++i) {
            w.Int16(i * SKIN_SIZE / 4);
            w.Int16(row * SKIN_SIZE / 2);
        }
    }
    for (const Face& f : faces) {
        for (int v : f.vertex) {
            w.Int16(v);
        }
        for (int t : f.texcoord) {
            w.Int16(t);
        }
    }
    for (int frame = 0; frame < numFrames; ++frame) {
        const std::array<Point, 6> corners = CrystalCorners(turns[frame], heights[frame]);
        float low[3] = {1e9f, 1e9f, 1e9f};
        float high[3] = {-1e9f, -1e9f, -1e9f};
        for (const Point& p : corners) {
            for (int a = 0; a < 3; ++a) {
                low[a] = std::min(low[a], p[size_t(a)]);
                high[a] = std::max(high[a], p[size_t(a)]);
            }
        }
        float scale[3];
        for (int a = 0; a < 3; ++a) {
            scale[a] = (high[a] - low[a]) / 255.0f;
            w.Float(scale[a]);
        }
        for (int a = 0; a < 3; ++a) {
            w.Float(low[a]);
        }
        char name[16] = {};
        std::snprintf(name, sizeof name, "shine%d", frame);
        w.bytes.insert(w.bytes.end(), name, name + 16);
        for (const Point& p : corners) {
            for (int a = 0; a < 3; ++a) {
                const float q = std::round((p[size_t(a)] - low[a]) / scale[a]);
                w.bytes.push_back(uint8_t(std::clamp(q, 0.0f, 255.0f)));
            }
            w.bytes.push_back(0);
        }
    }
    return w.bytes;
}

// The skin: the upper half (tip faces) light, the lower half deeper; four vertical facet bands each.
Image CrystalSkin() {
    Image image(SKIN_SIZE, SKIN_SIZE);
    for (int y = 0; y < SKIN_SIZE; ++y) {
        for (int x = 0; x < SKIN_SIZE; ++x) {
            const int band = x / (SKIN_SIZE / 4);
            const bool upper = y < SKIN_SIZE / 2;
            const float shade = 0.65f + 0.35f * float(band % 2) - 0.25f * float(upper ? 0 : 1);
            const float glint = std::max(0.0f, 1.0f - std::fabs(float(x % 16) - 8.0f) / 3.0f) * 0.2f;
            const int r = int(std::clamp(40.0f + 60.0f * shade + 120.0f * glint, 16.0f, 255.0f));
            const int g = int(std::clamp(120.0f + 100.0f * shade + 100.0f * glint, 16.0f, 255.0f));
            const int b = int(std::clamp(180.0f + 75.0f * shade, 16.0f, 255.0f));
            image.At(x, y) = 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
        }
    }
    return image;
}

// A flame per frame: a teardrop whose height and lean change from frame to frame, yellow at its core
// and red at its rim, on opaque black that the texture loader keys out.
Image FlameStrip() {
    Image image(FLAME_SIZE * FLAME_FRAMES, FLAME_SIZE, 0xFF000000u);
    const float heights[FLAME_FRAMES] = {0.80f, 0.95f, 0.70f, 0.88f};
    const float leans[FLAME_FRAMES] = {0.0f, 0.08f, -0.06f, 0.04f};
    for (int frame = 0; frame < FLAME_FRAMES; ++frame) {
        for (int y = 0; y < FLAME_SIZE; ++y) {
            for (int x = 0; x < FLAME_SIZE; ++x) {
                // u across the frame -1..1, v from the base (0) to the top (1).
                const float v = 1.0f - (float(y) + 0.5f) / FLAME_SIZE;
                const float t = v / heights[frame];
                if (t >= 1.0f) {
                    continue;
                }
                const float centre = leans[frame] * t * t;
                const float u = (float(x) + 0.5f) / (FLAME_SIZE / 2.0f) - 1.0f - centre;
                const float halfWidth = 0.75f * std::sqrt(std::max(0.0f, t)) * (1.0f - t) * 1.6f + 0.02f;
                const float d = std::fabs(u) / halfWidth;
                if (d >= 1.0f) {
                    continue;
                }
                const float heat = (1.0f - d) * (1.0f - 0.6f * t);
                const int r = 255;
                const int g = int(std::clamp(60.0f + 220.0f * heat, 30.0f, 255.0f));
                const int b = int(std::clamp(220.0f * (heat - 0.6f), 10.0f, 255.0f));
                image.At(frame * FLAME_SIZE + x, y) =
                    0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
            }
        }
    }
    return image;
}

} // namespace

ASSETGEN_REGISTER(models, [](const std::filesystem::path& runFolder) {
    const std::filesystem::path folder = runFolder / "Grafik" / "Models";
    WriteBytes(folder / "crystal.md2", CrystalModel());
    WriteDds(folder / "crystal.dds", CrystalSkin());
    WriteDds(folder / "flame.dds", FlameStrip());
});

} // namespace assetgen
