// Vertex buffer memory and locks.
#include "d3d9/vertex_buffer.h"

#include "d3d9/call_trace.h"
#include "d3d9/device.h"

namespace platform::d3d9 {

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : device(device), memory(length), usage(usage), fvf(fvf), pool(pool) {
    device->AddRef();
}

VertexBuffer::~VertexBuffer() {
    device->ForgetResource(this);
    device->Release();
}

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** result) {
    if (!result) {
        return Traced(this, "GetDevice", {}, D3DERR_INVALIDCALL);
    }
    device->AddRef();
    *result = device;
    return Traced(this, "GetDevice", {}, D3D_OK);
}

HRESULT VertexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) {
    // The fault hook is asked only for locks that would otherwise succeed.
    const bool locked = data && memory.RangeInside(offsetToLock, sizeToLock) &&
                        !FaultFires(Fault::VertexBufferLock) && memory.Lock(offsetToLock, sizeToLock, data);
    const HRESULT result = locked ? D3D_OK : D3DERR_INVALIDCALL;
    return Traced(this, "Lock", {Arg(offsetToLock), Arg(sizeToLock), Arg(flags)}, result);
}

HRESULT VertexBuffer::Unlock() {
    return Traced(this, "Unlock", {}, memory.Unlock() ? D3D_OK : D3DERR_INVALIDCALL);
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc) {
        return Traced(this, "GetDesc", {}, D3DERR_INVALIDCALL);
    }
    desc->Format = D3DFMT_UNKNOWN;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->Size = static_cast<UINT>(memory.Size());
    desc->FVF = fvf;
    return Traced(this, "GetDesc", {}, D3D_OK);
}

} // namespace platform::d3d9
