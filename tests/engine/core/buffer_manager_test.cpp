// The buffer pool: creation and copy, sharing by name, size and format, lowest free slots, full
// tables, rebuilds in place, releases, bounding boxes and calls before Init.
#include "core/buffer_manager.h"
#include "engine/core/engine_device.h"

#include <array>
#include <string>

namespace d3dtest = platform::d3d9;

namespace {

constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct Vertex {
    float x, y, z;
    DWORD colour;
};

class BufferManagerTest : public EngineDeviceTest {
protected:
    void SetUp() override {
        EngineDeviceTest::SetUp();
        pool = BufferManager::GetExemplar();
        ASSERT_TRUE(pool->Init(5000));
    }

    std::vector<uint8_t> Contents(IDirect3DVertexBuffer9* buffer) {
        D3DVERTEXBUFFER_DESC desc{};
        buffer->GetDesc(&desc);
        std::vector<uint8_t> bytes(desc.Size);
        void* data = nullptr;
        if (buffer->Lock(0, 0, &data, D3DLOCK_READONLY) >= 0) {
            std::memcpy(bytes.data(), data, bytes.size());
            buffer->Unlock();
        }
        return bytes;
    }

    BufferManager* pool = nullptr;
    std::array<Vertex, 3> triangle{{{1, 2, 3, 0xFF0000FF}, {-4, 5, 6, 0xFF00FF00}, {7, -8, 9, 0xFFFF0000}}};
};

} // namespace

TEST_F(BufferManagerTest, CreationCopiesTheDataIntoABufferOfTheAskedKind) {
    const int id = pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false);
    ASSERT_EQ(id, 0);
    IDirect3DVertexBuffer9* buffer = pool->GetVertexBuffer(id);
    ASSERT_NE(buffer, nullptr);
    D3DVERTEXBUFFER_DESC desc{};
    buffer->GetDesc(&desc);
    EXPECT_EQ(desc.Size, sizeof(triangle));
    EXPECT_EQ(desc.FVF, FVF);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(desc.Usage & D3DUSAGE_WRITEONLY, static_cast<DWORD>(D3DUSAGE_WRITEONLY));
    const std::vector<uint8_t> bytes = Contents(buffer);
    EXPECT_EQ(std::memcmp(bytes.data(), triangle.data(), sizeof(triangle)), 0);
    EXPECT_EQ(pool->vertexBufferCount, 1);
    EXPECT_EQ(pool->GetVertexBufferSize(id), static_cast<int>(sizeof(triangle)));

    const int inDefaultPool =
        pool->CreateVertexBufferEx(triangle.data(), sizeof(triangle), FVF, true, "model");
    pool->GetVertexBuffer(inDefaultPool)->GetDesc(&desc);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
}

TEST_F(BufferManagerTest, NamedBuffersAreSharedByNameSizeAndFormat) {
    const int first = pool->CreateVertexBufferEx(triangle.data(), sizeof(triangle), FVF, true, "ogre.md2");
    std::array<Vertex, 3> other{};
    const int second = pool->CreateVertexBufferEx(other.data(), sizeof(other), FVF, true, "ogre.md2");
    EXPECT_EQ(second, first);
    const std::vector<uint8_t> bytes = Contents(pool->GetVertexBuffer(first));
    EXPECT_EQ(std::memcmp(bytes.data(), triangle.data(), sizeof(triangle)), 0) << "second data not copied";

    EXPECT_EQ(pool->CreateVertexBufferEx(triangle.data(), 24, FVF, true, "ogre.md2"), -1);
    EXPECT_EQ(pool->CreateVertexBufferEx(triangle.data(), sizeof(triangle), D3DFVF_XYZ, true, "ogre.md2"),
              -1);
    EXPECT_EQ(pool->vertexBufferCount, 1) << "refused requests create nothing";
    EXPECT_EQ(pool->FindVertexBuffer("ogre.md2"), first);
    EXPECT_EQ(pool->FindVertexBuffer(""), -1);
    EXPECT_EQ(pool->FindVertexBuffer(nullptr), -1);
}

TEST_F(BufferManagerTest, UnnamedAndLongNamedBuffersAreNeverShared) {
    const int a = pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false);
    const int b = pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false);
    EXPECT_NE(a, b);
    const std::string longName(31, 'n');
    const int c = pool->CreateVertexBufferEx(triangle.data(), sizeof(triangle), FVF, true, longName.c_str());
    const int d = pool->CreateVertexBufferEx(triangle.data(), sizeof(triangle), FVF, true, longName.c_str());
    EXPECT_NE(c, d);
    EXPECT_EQ(std::string(pool->vertexBuffers[c].name), std::string(30, 'n'));
}

TEST_F(BufferManagerTest, ReleasedSlotIsTakenAgainFirst) {
    const int a = pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false);
    const int b = pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false);
    pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false);
    EXPECT_TRUE(pool->ReleaseVertexBuffer(b));
    EXPECT_EQ(pool->GetVertexBuffer(b), nullptr);
    EXPECT_EQ(pool->vertexBufferCount, 2);
    EXPECT_TRUE(pool->ReleaseVertexBuffer(b)) << "a free slot";
    EXPECT_EQ(pool->vertexBufferCount, 2);
    EXPECT_EQ(pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false), b);
    EXPECT_NE(a, b);
}

TEST_F(BufferManagerTest, IdsOutsideTheTablesAreRefused) {
    EXPECT_EQ(pool->GetVertexBuffer(-1), nullptr);
    EXPECT_EQ(pool->GetIndexBuffer(-1), nullptr);
    EXPECT_EQ(pool->GetVertexBuffer(5000), nullptr);
    EXPECT_FALSE(pool->ReleaseVertexBuffer(-1));
    EXPECT_FALSE(pool->ReleaseIndexBuffer(5000));
    EXPECT_EQ(pool->RecreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, 0, -1), -1);
    EXPECT_EQ(pool->GetVertexBufferSize(-1), -1);
}

TEST_F(BufferManagerTest, RecreateKeepsTheIdAndMovesToTheManagedPool) {
    const int id = pool->CreateVertexBufferEx(triangle.data(), sizeof(triangle), FVF, false, "terrain");
    std::array<Vertex, 6> bigger{};
    bigger[5].x = 42.0f;
    EXPECT_EQ(pool->RecreateVertexBuffer(bigger.data(), sizeof(bigger), FVF, 1, id), id);
    D3DVERTEXBUFFER_DESC desc{};
    pool->GetVertexBuffer(id)->GetDesc(&desc);
    EXPECT_EQ(desc.Size, sizeof(bigger));
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(pool->vertexBufferCount, 1);
    EXPECT_EQ(std::string(pool->vertexBuffers[id].name), "terrain");
    const std::vector<uint8_t> bytes = Contents(pool->GetVertexBuffer(id));
    EXPECT_EQ(std::memcmp(bytes.data(), bigger.data(), sizeof(bigger)), 0);
}

TEST_F(BufferManagerTest, IndexBuffersHold16BitIndicesInTheManagedPool) {
    const std::array<WORD, 6> indices{0, 1, 2, 2, 1, 3};
    const int id = pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1);
    ASSERT_EQ(id, 0);
    D3DINDEXBUFFER_DESC desc{};
    pool->GetIndexBuffer(id)->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_INDEX16);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(desc.Size, sizeof(indices));
    EXPECT_EQ(pool->indexBufferCount, 1);
}

TEST_F(BufferManagerTest, FullIndexTableLeavesNoBufferBehind) {
    ASSERT_TRUE(pool->Init(2));
    const std::array<WORD, 3> indices{0, 1, 2};
    EXPECT_EQ(pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1), 0);
    EXPECT_EQ(pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1), 1);
    d3dtest::EnableCallTrace(true);
    d3dtest::ClearCallTrace();
    EXPECT_EQ(pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1), -1);
    d3dtest::EnableCallTrace(false);
    EXPECT_EQ(pool->indexBufferCount, 2);
    // The buffer made for the refused request was released at once: nothing else touched it.
    for (const d3dtest::TracedCall& call : d3dtest::CallTrace()) {
        EXPECT_NE(call.method, "Lock") << call.ToString();
    }
    EXPECT_EQ(pool->GetFreeIndexBufferSlot(), -1);
    EXPECT_EQ(pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false), 0);
}

TEST_F(BufferManagerTest, IndexBufferLockFailureLeavesNoSlotTaken) {
    const std::array<WORD, 3> indices{0, 1, 2};
    d3dtest::InjectFault(d3dtest::Fault::IndexBufferLock);
    EXPECT_EQ(pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1), -1);
    d3dtest::ClearFaults();
    EXPECT_EQ(pool->indexBufferCount, 0);
    EXPECT_EQ(pool->GetIndexBuffer(0), nullptr);
    EXPECT_EQ(pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1), 0);
}

TEST_F(BufferManagerTest, VertexBufferLockFailureReportsFailure) {
    d3dtest::InjectFault(d3dtest::Fault::VertexBufferLock);
    EXPECT_EQ(pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false), -1);
    d3dtest::ClearFaults();
    EXPECT_EQ(pool->vertexBufferCount, 0);
    EXPECT_EQ(pool->GetVertexBuffer(0), nullptr);
}

TEST_F(BufferManagerTest, RefusedCreationLeavesTheSlotFree) {
    d3dtest::InjectFault(d3dtest::Fault::CreateVertexBuffer);
    EXPECT_EQ(pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false), -1);
    d3dtest::ClearFaults();
    const int id = pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false);
    EXPECT_EQ(id, 0);
    d3dtest::InjectFault(d3dtest::Fault::CreateVertexBuffer);
    EXPECT_EQ(pool->RecreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, 0, id), -1);
    d3dtest::ClearFaults();
    EXPECT_EQ(pool->GetVertexBuffer(id), nullptr) << "the old buffer is gone";
    EXPECT_EQ(pool->vertexBufferCount, 0);
}

TEST_F(BufferManagerTest, ReleaseAllEmptiesBothTables) {
    const std::array<WORD, 3> indices{0, 1, 2};
    pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false);
    pool->CreateVertexBufferEx(triangle.data(), sizeof(triangle), FVF, true, "named");
    pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1);
    EXPECT_TRUE(pool->ReleaseAll());
    EXPECT_EQ(pool->vertexBufferCount, 0);
    EXPECT_EQ(pool->indexBufferCount, 0);
    EXPECT_EQ(pool->GetVertexBuffer(0), nullptr);
    EXPECT_EQ(pool->GetVertexBuffer(1), nullptr);
    EXPECT_EQ(pool->GetIndexBuffer(0), nullptr);
    EXPECT_EQ(pool->FindVertexBuffer("named"), -1);
    EXPECT_EQ(pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false), 0);
}

TEST_F(BufferManagerTest, BoundingBoxReadsTheBufferPositions) {
    const int id = pool->CreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, false);
    D3DXVECTOR3 min;
    D3DXVECTOR3 max;
    ASSERT_TRUE(pool->ComputeBoundingBox(id, 3, sizeof(Vertex), &min, &max));
    EXPECT_EQ(min, D3DXVECTOR3(-4, -8, 3));
    EXPECT_EQ(max, D3DXVECTOR3(7, 5, 9));
    EXPECT_FALSE(pool->ComputeBoundingBox(id, 4, sizeof(Vertex), &min, &max)) << "past the buffer's end";
    EXPECT_FALSE(pool->ComputeBoundingBox(1, 3, sizeof(Vertex), &min, &max)) << "free slot";
    EXPECT_FALSE(pool->ComputeBoundingBox(-1, 3, sizeof(Vertex), &min, &max));
}

TEST(BufferManager, CallsBeforeInitReportFailure) {
    BufferManager* pool = BufferManager::GetExemplar();
    const float data[3] = {1, 2, 3};
    EXPECT_EQ(pool->CreateVertexBuffer(data, sizeof(data), D3DFVF_XYZ, false), -1);
    EXPECT_EQ(pool->CreateIndexBuffer(data, 0, sizeof(data), 1), -1);
    EXPECT_EQ(pool->RecreateVertexBuffer(data, sizeof(data), D3DFVF_XYZ, 0, 0), -1);
    EXPECT_EQ(pool->GetFreeVertexBufferSlot(), -1);
    EXPECT_EQ(pool->GetFreeIndexBufferSlot(), -1);
    EXPECT_EQ(pool->GetVertexBuffer(0), nullptr);
    EXPECT_FALSE(pool->ReleaseVertexBuffer(0));
    EXPECT_EQ(pool->FindVertexBuffer("x"), -1);
    EXPECT_TRUE(pool->ReleaseAll());
}
