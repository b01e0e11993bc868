// The engine's pool of vertex and index buffers: two fixed tables of slots addressed by integer ids.
// Users hand over their data once and keep the id; named vertex buffers are shared by name, size and
// vertex format.
#pragma once

#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9_math.h"

#include <cstdint>

class InitManager;

struct VertexBufferSlot {
    IDirect3DVertexBuffer9* buffer;
    int32_t bytes;
    DWORD vertexFormat;
    char name[31];
};

struct IndexBufferSlot {
    IDirect3DIndexBuffer9* buffer;
    int32_t bytes;
    int32_t tag;
};

class BufferManager {
public:
    static BufferManager* GetExemplar();
    virtual ~BufferManager();

    bool Init(int capacity);
    int GetFreeVertexBufferSlot();
    int GetFreeIndexBufferSlot();
    int FindVertexBuffer(const char* name);
    int CreateVertexBufferEx(const void* data, int bytes, DWORD fvf, bool defaultPool, const char* name);
    int CreateVertexBuffer(const void* data, int bytes, DWORD fvf, bool defaultPool);
    int CreateIndexBuffer(const void* data, int tag, int bytes, int poolFlag);
    int RecreateVertexBuffer(const void* data, int bytes, DWORD fvf, int poolFlag, int id);
    bool ReleaseVertexBuffer(int id);
    bool ReleaseIndexBuffer(int id);
    IDirect3DVertexBuffer9* GetVertexBuffer(int id);
    IDirect3DIndexBuffer9* GetIndexBuffer(int id);
    int GetVertexBufferSize(int id);
    bool ComputeBoundingBox(int id, DWORD vertexCount, DWORD stride, D3DXVECTOR3* min, D3DXVECTOR3* max);
    bool ReleaseAll();

    int32_t capacity = 0;
    int32_t vertexBufferCount = 0;
    int32_t indexBufferCount = 0;
    VertexBufferSlot* vertexBuffers = nullptr;
    IndexBufferSlot* indexBuffers = nullptr;
    InitManager* deviceOwner = nullptr;

protected:
    BufferManager();

private:
    static BufferManager* Exemplar;
};
