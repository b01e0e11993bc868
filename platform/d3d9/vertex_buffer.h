// Vertex buffers: plain memory of the creator's length, readable whatever the usage flags say.
#pragma once

#include "d3d9/ref_counted.h"

#include <vector>

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

    const uint8_t* Data() const { return bytes.data(); }
    size_t Size() const { return bytes.size(); }

private:
    ~VertexBuffer() override;

    Device* device;
    std::vector<uint8_t> bytes;
    DWORD usage;
    DWORD fvf;
    D3DPOOL pool;
    int lockCount = 0;
};

// Checks a buffer lock range: size 0 means from the offset to the end.
bool LockRangeValid(size_t bufferSize, UINT offset, UINT size);

} // namespace platform::d3d9
