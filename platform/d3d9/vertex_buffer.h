// Vertex buffers: plain memory of the creator's length, readable whatever the usage flags say.
#pragma once

#include "d3d9/buffer_memory.h"
#include "d3d9/ref_counted.h"

namespace platform::d3d9 {

class Device;

class VertexBuffer final : public RefCounted<IDirect3DVertexBuffer9> {
public:
    VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    const uint8_t* Data() const { return memory.Data(); }
    size_t Size() const { return memory.Size(); }

private:
    ~VertexBuffer() override;

    Device* device;
    BufferMemory memory;
    DWORD usage;
    DWORD fvf;
    D3DPOOL pool;
};

} // namespace platform::d3d9
