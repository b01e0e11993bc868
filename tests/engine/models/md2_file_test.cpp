// The MD2 reader: vertex layout (corner order, axis swap, both scales, texture coordinates) and the
// refusal of every file that does not fit the reader's data model.
#include "md2_test_file.h"
#include "models/md2_file.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using md2_test::Model;

struct ReadResult {
    bool ok = false;
    Md2Mesh mesh;
    std::string reason;
};

ReadResult ReadBytes(const std::vector<uint8_t>& bytes, float scale = 1.0f) {
    testing_support::TemporaryFolder folder;
    const auto path = folder / "model.md2";
    testing_support::WriteFile(path, bytes);
    ReadResult result;
    FILE* file = std::fopen(path.c_str(), "rb");
    result.ok = ReadMd2Mesh(file, scale, &result.mesh, &result.reason);
    std::fclose(file);
    return result;
}

void ExpectVertex(const MD2Vertex& v, float x, float y, float z, float tu, float tv, const char* what) {
    EXPECT_FLOAT_EQ(v.position.x, x) << what;
    EXPECT_FLOAT_EQ(v.position.y, y) << what;
    EXPECT_FLOAT_EQ(v.position.z, z) << what;
    EXPECT_FLOAT_EQ(v.tu, tu) << what;
    EXPECT_FLOAT_EQ(v.tv, tv) << what;
}

TEST(Md2Reader, CornersReversedAxesSwappedBothScalesApplied) {
    const ReadResult r = ReadBytes(md2_test::OneTriangle(1).Bytes(), 2.0f);
    ASSERT_TRUE(r.ok) << r.reason;
    ASSERT_EQ(r.mesh.vertices.size(), 3u);
    // Stored corner k is file corner 2 - k. File vertex 0 decodes to (1, 2, 3) and becomes (2, 6, 4).
    ExpectVertex(r.mesh.vertices[0], 2.0f, 8.0f, 12.0f, 0.0f, 1.0f, "file corner 2");
    ExpectVertex(r.mesh.vertices[1], 10.0f, 6.0f, 4.0f, 1.0f, 0.25f, "file corner 1");
    ExpectVertex(r.mesh.vertices[2], 2.0f, 6.0f, 4.0f, 0.5f, 0.0f, "file corner 0");
}

TEST(Md2Reader, TextureCoordinatesNormalisedByLargestUsedPairNotSkinSize) {
    Model model = md2_test::OneTriangle(1);
    model.skinWidth = 1024; // ignored
    model.skinHeight = 7;
    const ReadResult r = ReadBytes(model.Bytes());
    ASSERT_TRUE(r.ok) << r.reason;
    // s = 64 with a largest used s of 128 is 0.5; the unused pair (200, 100) plays no part.
    EXPECT_FLOAT_EQ(r.mesh.vertices[2].tu, 0.5f);
    EXPECT_FLOAT_EQ(r.mesh.vertices[1].tu, 1.0f);
    EXPECT_FLOAT_EQ(r.mesh.vertices[0].tv, 1.0f);
}

TEST(Md2Reader, FramesFollowOneAnotherAndCountsAreKept) {
    Model model = md2_test::Cube({2.0f, 4.0f, 6.0f});
    model.skinCount = 3; // names are skipped
    const ReadResult r = ReadBytes(model.Bytes());
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.mesh.frameCount, 3);
    EXPECT_EQ(r.mesh.triangleCount, 12);
    EXPECT_EQ(r.mesh.vertexCount, 8);
    ASSERT_EQ(r.mesh.vertices.size(), 3u * 12u * 3u);
    for (int f = 0; f < 3; ++f) {
        const float half = float(f + 1);
        float largest = 0.0f;
        for (int i = 0; i < 36; ++i) {
            const MD2Vertex& v = r.mesh.vertices[size_t(f * 36 + i)];
            largest =
                std::max({largest, std::abs(v.position.x), std::abs(v.position.y), std::abs(v.position.z)});
        }
        EXPECT_NEAR(largest, half, 1e-5f) << "frame " << f;
    }
}

// A broken variant: a change to the model, then a header field patched, then the file cut (keep > 0:
// the first bytes only; keep < 0: all but the last bytes).
struct Refusal {
    const char* name;
    const char* reason; // a part of the reader's reason
    void (*change)(Model& model) = nullptr;
    int field = -1;
    int32_t value = 0;
    int keep = 0;
};

const Refusal REFUSALS[] = {
    {"wrong magic", "magic", nullptr, md2_test::IDENT, 0x32504450},
    {"wrong version", "version", nullptr, md2_test::VERSION, 7},
    {"33 skins", "skin count", [](Model& m) { m.skinCount = 33; }},
    {"2049 texture coordinates", "texture coordinate count",
     [](Model& m) {
         m.texcoords.resize(2049, {1, 1});
     }},
    {"2071 vertices per frame", "vertex count", [](Model& m) { m.frames[0].vertices.resize(2071); }},
    {"no triangles", "no triangles", [](Model& m) { m.triangles.clear(); }},
    {"no frames", "no frames", nullptr, md2_test::NUM_FRAMES, 0},
    {"negative triangle count", "no triangles", nullptr, md2_test::NUM_TRIS, -1},
    {"vertex index past the end", "vertex index", [](Model& m) { m.triangles[0].vertex[1] = 3; }},
    {"negative vertex index", "vertex index", [](Model& m) { m.triangles[0].vertex[2] = -1; }},
    {"texture coordinate index past the end", "texture coordinate index",
     [](Model& m) { m.triangles[0].texcoord[0] = 4; }},
    {"largest s is 0", "positive extent",
     [](Model& m) {
         m.texcoords = {{0, 1}, {0, 2}, {0, 3}, {0, 4}};
     }},
    {"largest t is negative", "positive extent",
     [](Model& m) {
         m.texcoords = {{1, -1}, {2, -2}, {3, -3}, {4, -4}};
     }},
    {"frame size disagrees with the vertex count", "frame size", nullptr, md2_test::FRAME_SIZE, 56},
    {"skins not right after the header", "back to back", nullptr, md2_test::OFS_SKINS, 0},
    {"texture coordinates not right after the skins", "back to back", nullptr, md2_test::OFS_ST, 68 + 64},
    {"triangles elsewhere", "back to back", nullptr, md2_test::OFS_TRIS, 68 + 16 + 4},
    {"frames elsewhere", "back to back", nullptr, md2_test::OFS_FRAMES, 68 + 16},
    {"truncated header", "truncated header", nullptr, -1, 0, 60},
    {"truncated texture coordinates", "shorter", nullptr, -1, 0, 68 + 6},
    {"truncated triangles", "shorter", nullptr, -1, 0, 68 + 16 + 6},
    {"truncated last frame", "shorter", nullptr, -1, 0, -1},
    {"more frames announced than written", "shorter", nullptr, md2_test::NUM_FRAMES, 1000000},
};

TEST(Md2Reader, RefusesEveryFileOutsideTheDataModelAndLeavesNothing) {
    for (const Refusal& refusal : REFUSALS) {
        Model model = md2_test::OneTriangle(2);
        if (refusal.change != nullptr) {
            refusal.change(model);
        }
        std::vector<uint8_t> bytes = model.Bytes();
        if (refusal.field >= 0) {
            md2_test::PatchInt32(&bytes, refusal.field, refusal.value);
        }
        if (refusal.keep != 0) {
            bytes.resize(refusal.keep > 0 ? size_t(refusal.keep) : bytes.size() - size_t(-refusal.keep));
        }
        const ReadResult r = ReadBytes(bytes);
        EXPECT_FALSE(r.ok) << refusal.name;
        EXPECT_NE(r.reason.find(refusal.reason), std::string::npos) << refusal.name << ": " << r.reason;
        EXPECT_TRUE(r.mesh.vertices.empty()) << refusal.name;
        EXPECT_EQ(r.mesh.frameCount, 0) << refusal.name;
    }
}

TEST(Md2Reader, AcceptsTheLimitsOfTheDataModel) {
    Model model = md2_test::OneTriangle(1);
    model.skinCount = 32;
    model.texcoords.resize(2048, {1, 1});
    model.frames[0].vertices.resize(2070, {0, 0, 0});
    const ReadResult r = ReadBytes(model.Bytes());
    EXPECT_TRUE(r.ok) << r.reason;
}

} // namespace

namespace {

TEST(Md2Reader, GeneratedCrystalModelIsReadable) {
    const std::string path = std::string(ZONKEL_RUN_DIR) + "/Grafik/Models/crystal.md2";
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr) << path;
    Md2Mesh mesh;
    std::string reason;
    EXPECT_TRUE(ReadMd2Mesh(file, 1.0f, &mesh, &reason)) << reason;
    std::fclose(file);
    EXPECT_EQ(mesh.frameCount, 3);
    EXPECT_EQ(mesh.triangleCount, 8);
    // Outward faces: every triangle's normal points away from the crystal's centre.
    for (size_t j = 0; j < 8; ++j) {
        const D3DXVECTOR3 a = mesh.vertices[3 * j].position, b = mesh.vertices[3 * j + 1].position,
                          c = mesh.vertices[3 * j + 2].position;
        D3DXVECTOR3 e1 = b - a, e2 = c - a, n;
        D3DXVec3Cross(&n, &e1, &e2);
        const D3DXVECTOR3 centre = (a + b + c) / 3.0f;
        EXPECT_GT(D3DXVec3Dot(&n, &centre), 0.0f) << "triangle " << j;
    }
}

} // namespace
