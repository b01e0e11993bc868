// The MD2 reader: vertex layout (corner order, axis swap, both scales, texture coordinates) and the
// refusal of every file that does not fit the reader's data model.
#include "md2_test_file.h"
#include "models/md2_file.h"

#include "support/process_probes.h"
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

// Reads `bytes` from a file, where they follow `offset` bytes of something else.
ReadResult ReadBytes(const std::vector<uint8_t>& bytes, float scale = 1.0f, size_t offset = 0) {
    testing_support::TemporaryFolder folder;
    std::vector<uint8_t> contents(offset, 0x5A);
    contents.insert(contents.end(), bytes.begin(), bytes.end());
    testing_support::WriteFile(folder / "model.md2", contents);
    ReadResult result;
    FILE* file = std::fopen((folder / "model.md2").c_str(), "rb");
    std::fseek(file, long(offset), SEEK_SET);
    result.ok = ReadMd2Mesh(file, scale, &result.mesh, &result.reason);
    std::fclose(file);
    return result;
}

} // namespace

TEST(Md2Reader, CornersReversedAxesSwappedBothScalesAppliedCoordinatesNormalisedByTheLargestUsed) {
    Model model = md2_test::OneTriangle(1);
    model.skinWidth = 1024; // the skin size in the header plays no part
    model.skinCount = 3;    // skipped on the way to the texture coordinates
    const ReadResult r = ReadBytes(model.Bytes(), 2.0f);
    ASSERT_TRUE(r.ok) << r.reason;
    ASSERT_EQ(r.mesh.vertices.size(), 3u);
    // Stored corner k is file corner 2 - k. File vertex 0 decodes to (1, 2, 3) and becomes (2, 6, 4).
    // Texture coordinates are divided by the largest pair in use (128, 64), not the unused (200, 100).
    const float expected[3][5] = {{2, 8, 12, 0, 1}, {10, 6, 4, 1, 0.25f}, {2, 6, 4, 0.5f, 0}};
    for (int k = 0; k < 3; ++k) {
        const MD2Vertex& v = r.mesh.vertices[size_t(k)];
        const float actual[5] = {v.position.x, v.position.y, v.position.z, v.tu, v.tv};
        for (int i = 0; i < 5; ++i) {
            EXPECT_FLOAT_EQ(actual[i], expected[k][i]) << "corner " << k << ", value " << i;
        }
    }
}

TEST(Md2Reader, RefusesEveryFileOutsideTheDataModelAndLeavesNothing) {
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
    using namespace md2_test;
    const Refusal refusals[] = {
        {"wrong magic", "magic", nullptr, IDENT, 0x32504450},
        {"wrong version", "version", nullptr, VERSION, 7},
        {"33 skins", "skin count", [](Model& m) { m.skinCount = 33; }},
        {"2049 texture coordinates", "texture coordinate count", [](Model& m) { m.texcoords.resize(2049); }},
        {"2071 vertices per frame", "vertex count", [](Model& m) { m.frames[0].vertices.resize(2071); }},
        {"no triangles", "no triangles", [](Model& m) { m.triangles.clear(); }},
        {"4097 triangles", "triangle count", [](Model& m) { m.triangles.resize(4097, m.triangles[0]); }},
        {"no frames", "no frames", nullptr, NUM_FRAMES, 0},
        {"513 frames", "frame count", [](Model& m) { m.frames.resize(513, m.frames[0]); }},
        {"negative triangle count", "no triangles", nullptr, NUM_TRIS, -1},
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
        {"frame size disagrees with the vertex count", "frame size", nullptr, FRAME_SIZE, 56},
        {"skins not right after the header", "back to back", nullptr, OFS_SKINS, 0},
        {"texture coordinates not right after the skins", "back to back", nullptr, OFS_ST, 68 + 64},
        {"triangles elsewhere", "back to back", nullptr, OFS_TRIS, 68 + 16 + 4},
        {"frames elsewhere", "back to back", nullptr, OFS_FRAMES, 68 + 16},
        {"truncated header", "truncated header", nullptr, -1, 0, 60},
        {"truncated texture coordinates", "shorter", nullptr, -1, 0, 68 + 6},
        {"truncated triangles", "shorter", nullptr, -1, 0, 68 + 16 + 6},
        {"truncated last frame", "shorter", nullptr, -1, 0, -1},
        {"more frames announced than written", "shorter", nullptr, NUM_FRAMES, 3},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
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
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.reason.find(refusal.reason), std::string::npos) << r.reason;
        EXPECT_TRUE(r.mesh.vertices.empty());
        EXPECT_EQ(r.mesh.frameCount, 0);
    }

    // The limits themselves are accepted: the most triangles in one frame, the most frames of one
    // triangle.
    Model largest = md2_test::OneTriangle(1);
    largest.skinCount = 32;
    largest.texcoords.resize(2048, {1, 1});
    largest.frames[0].vertices.resize(2070, {0, 0, 0});
    largest.triangles.resize(4096, largest.triangles[0]);
    const ReadResult r = ReadBytes(largest.Bytes());
    EXPECT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.mesh.triangleCount, 4096);
    const ReadResult longest = ReadBytes(md2_test::OneTriangle(512).Bytes());
    EXPECT_TRUE(longest.ok) << longest.reason;
    EXPECT_EQ(longest.mesh.frameCount, 512);

    // Read from where the file stands: a model 1000 bytes into a file, whole or one byte short.
    std::vector<uint8_t> bytes = md2_test::OneTriangle(2).Bytes();
    EXPECT_TRUE(ReadBytes(bytes, 1.0f, 1000).ok);
    bytes.pop_back();
    const ReadResult cut = ReadBytes(bytes, 1.0f, 1000);
    EXPECT_FALSE(cut.ok);
    EXPECT_NE(cut.reason.find("shorter"), std::string::npos) << cut.reason;
}

// Every frame is expanded into its own triangle list: a small file that announces many triangles and
// frames of one vertex each once grew into gigabytes of vertices. The counts and the expansion are
// bounded before anything is allocated; 64 MiB of vertices is the most a model may take.
TEST(Md2Reader, SmallFileOfManyTrianglesAndFramesIsRefusedBeforeItsExpansionIsAllocated) {
    const auto pointModel = [](int triangles, int frames) {
        Model model;
        model.texcoords = {{3, 5}};
        model.triangles.assign(size_t(triangles), {{0, 0, 0}, {0, 0, 0}});
        model.frames.assign(size_t(frames), {{1, 1, 1}, {0, 0, 0}, {{7, 8, 9}}});
        return model;
    };
    const struct {
        int triangles;
        int frames;
        const char* reason;
    } refusals[] = {
        {30000, 1000, "triangle count"}, // 404 KB of file for 90 million vertices
        {4096, 1000, "frame count"},
        {4096, 274, "too large"}, // 4096 * 274 * 60 bytes is just over 64 MiB
    };
    const long before = testing_support::PeakResidentKilobytes();
    for (const auto& refusal : refusals) {
        const std::vector<uint8_t> bytes = pointModel(refusal.triangles, refusal.frames).Bytes();
        const ReadResult r = ReadBytes(bytes);
        EXPECT_FALSE(r.ok) << refusal.triangles << " x " << refusal.frames;
        EXPECT_NE(r.reason.find(refusal.reason), std::string::npos) << r.reason;
    }
    EXPECT_LT(testing_support::PeakResidentKilobytes() - before, 16 * 1024)
        << "kilobytes of peak memory added by the refused models";

    // One frame fewer fits: every vertex is the one point (7, 9, 8) after the axis swap.
    const ReadResult r = ReadBytes(pointModel(4096, 273).Bytes());
    ASSERT_TRUE(r.ok) << r.reason;
    ASSERT_EQ(r.mesh.vertices.size(), size_t(4096) * 273 * 3);
    const MD2Vertex& last = r.mesh.vertices.back();
    EXPECT_EQ(last.position.x, 7.0f);
    EXPECT_EQ(last.position.y, 9.0f);
    EXPECT_EQ(last.position.z, 8.0f);
}
