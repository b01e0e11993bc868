// Index buffers of 16-bit or 32-bit indices, readable whatever the usage flags say.
#pragma once

#include "d3d9/buffer_memory.h"
#include "d3d9/ref_counted.h"

namespace platform::d3d9 {

class Device;

class IndexBuffer final : public RefCounted<IDirect3DIndexBuffer9> {
public:
    IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    const uint8_t* Data() const { return memory.Data(); }
    size_t Size() const { return memory.Size(); }
    int IndexSize() const { return format == D3DFMT_INDEX32 ? 4 : 2; }

private:
    ~IndexBuffer() override;

    Device* device;
    BufferMemory memory;
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
};

} // namespace platform::d3d9
