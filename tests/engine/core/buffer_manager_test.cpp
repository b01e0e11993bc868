// The buffer pool: rebuilds in place, sharing by name, size and format, lowest free slots, full tables,
// failed creation, bounding boxes and calls before Init.
#include "core/buffer_manager.h"
#include "engine/core/engine_device.h"

#include <array>

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

    int Create(const char* name = nullptr) {
        return pool->CreateVertexBufferEx(triangle.data(), sizeof(triangle), FVF, false, name);
    }

    // The lowest corner of the first three positions the slot's buffer holds.
    D3DXVECTOR3 LowestCorner(int id) {
        D3DXVECTOR3 min(0, 0, 0);
        D3DXVECTOR3 max;
        EXPECT_TRUE(pool->ComputeBoundingBox(id, 3, sizeof(Vertex), &min, &max));
        return min;
    }

    // Every buffer holds a reference to the device.
    ULONG DeviceHolders() {
        device->AddRef();
        return device->Release();
    }

    BufferManager* pool = nullptr;
    std::array<Vertex, 3> triangle{{{1, 2, 3, 0xFF0000FF}, {-4, 5, 6, 0xFF00FF00}, {7, -8, 9, 0xFFFF0000}}};
    const std::array<WORD, 3> indices{0, 1, 2};
};

} // namespace

TEST_F(BufferManagerTest, RecreationKeepsTheIdAndTheName) {
    const int id = Create("terrain");
    std::array<Vertex, 6> bigger{};
    bigger[1].y = -42.0f;
    EXPECT_EQ(pool->RecreateVertexBuffer(bigger.data(), sizeof(bigger), FVF, 1, id), id);
    EXPECT_EQ(pool->GetVertexBufferSize(id), int(sizeof(bigger)));
    EXPECT_EQ(LowestCorner(id), D3DXVECTOR3(0, -42, 0));
    EXPECT_EQ(pool->vertexBufferCount, 1);
    EXPECT_EQ(pool->FindVertexBuffer("terrain"), id);
}

TEST_F(BufferManagerTest, NamedBuffersAreSharedByNameSizeAndFormat) {
    const int first = Create("ogre.md2");
    std::array<Vertex, 3> other{};
    EXPECT_EQ(pool->CreateVertexBufferEx(other.data(), sizeof(other), FVF, false, "ogre.md2"), first);
    EXPECT_EQ(LowestCorner(first), D3DXVECTOR3(-4, -8, 3)) << "the second data is not copied";
    EXPECT_EQ(pool->CreateVertexBufferEx(triangle.data(), 24, FVF, false, "ogre.md2"), -1) << "other size";
    EXPECT_EQ(pool->CreateVertexBufferEx(triangle.data(), sizeof(triangle), D3DFVF_XYZ, false, "ogre.md2"),
              -1)
        << "other format";
    EXPECT_EQ(pool->vertexBufferCount, 1) << "refused requests create nothing";

    EXPECT_NE(Create(), Create()) << "unnamed buffers are never shared";
    const std::string longName(31, 'n');
    const int cut = Create(longName.c_str());
    EXPECT_NE(Create(longName.c_str()), cut) << "a name cut to 30 characters is never found again";
    EXPECT_EQ(std::string(pool->vertexBuffers[cut].name), std::string(30, 'n'));
}

TEST_F(BufferManagerTest, ReleasedSlotIsTakenAgainFirstAndFullTablesRefuse) {
    // What a full table refuses is given back.
    ASSERT_TRUE(pool->Init(3));
    Create();
    const int b = Create();
    Create();
    const ULONG holders = DeviceHolders();
    EXPECT_EQ(Create(), -1) << "full";
    EXPECT_EQ(DeviceHolders(), holders);
    EXPECT_TRUE(pool->ReleaseVertexBuffer(b));
    EXPECT_TRUE(pool->ReleaseVertexBuffer(b)) << "a free slot";
    EXPECT_EQ(pool->vertexBufferCount, 2);
    EXPECT_EQ(Create(), b);
    EXPECT_FALSE(pool->ReleaseVertexBuffer(-1));
    EXPECT_FALSE(pool->ReleaseIndexBuffer(3));
    EXPECT_EQ(pool->RecreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, 0, 3), -1);

    for (int id : {0, 1, 2}) {
        EXPECT_EQ(pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1), id)
            << "apart from vertices";
    }
    const ULONG withIndices = DeviceHolders();
    EXPECT_EQ(pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1), -1);
    EXPECT_EQ(pool->indexBufferCount, 3);
    EXPECT_EQ(DeviceHolders(), withIndices);
    EXPECT_TRUE(pool->ReleaseAll());
    EXPECT_EQ(pool->vertexBufferCount + pool->indexBufferCount, 0);
    EXPECT_EQ(pool->GetIndexBuffer(0), nullptr);
    EXPECT_EQ(Create(), 0);
}

// A buffer that cannot be made or filled takes no slot and is given back, also when it replaces one in
// place.
TEST_F(BufferManagerTest, VertexOrIndexBufferLockFailureReportsFailureAndLeavesNoSlotTaken) {
    const ULONG holders = DeviceHolders();
    d3dtest::InjectFault(d3dtest::Fault::IndexBufferLock);
    EXPECT_EQ(pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1), -1);
    d3dtest::ClearFaults();
    EXPECT_EQ(pool->indexBufferCount, 0);
    EXPECT_EQ(pool->GetIndexBuffer(0), nullptr);
    EXPECT_EQ(pool->CreateIndexBuffer(indices.data(), 0, sizeof(indices), 1), 0);
    for (d3dtest::Fault fault : {d3dtest::Fault::VertexBufferLock, d3dtest::Fault::CreateVertexBuffer}) {
        SCOPED_TRACE(static_cast<int>(fault));
        d3dtest::InjectFault(fault);
        EXPECT_EQ(Create(), -1);
        d3dtest::ClearFaults();
        EXPECT_EQ(pool->vertexBufferCount, 0);
        EXPECT_EQ(pool->GetVertexBuffer(0), nullptr);
        const int id = Create();
        ASSERT_EQ(id, 0);
        d3dtest::InjectFault(fault);
        EXPECT_EQ(pool->RecreateVertexBuffer(triangle.data(), sizeof(triangle), FVF, 0, id), -1);
        d3dtest::ClearFaults();
        EXPECT_EQ(pool->GetVertexBuffer(id), nullptr) << "the old buffer is gone";
        EXPECT_EQ(pool->vertexBufferCount, 0);
    }
    EXPECT_EQ(DeviceHolders(), holders + 1) << "only the index buffer is still held";
}

TEST_F(BufferManagerTest, BoundingBoxReadsTheBufferPositions) {
    const int id = Create();
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
    EXPECT_EQ(pool->GetVertexBuffer(0), nullptr);
    EXPECT_FALSE(pool->ReleaseVertexBuffer(0));
    EXPECT_EQ(pool->FindVertexBuffer("x"), -1);
    EXPECT_TRUE(pool->ReleaseAll());
}
