// Vertex buffer memory and locks.
#include "d3d9/vertex_buffer.h"

#include "d3d9/call_trace.h"
#include "d3d9/device.h"

namespace platform::d3d9 {

bool LockRangeValid(size_t bufferSize, UINT offset, UINT size) {
    return offset <= bufferSize && static_cast<uint64_t>(offset) + size <= bufferSize &&
           (size > 0 || offset < bufferSize || bufferSize == 0);
}

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : device(device), bytes(length, 0), usage(usage), fvf(fvf), pool(pool) {
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
    HRESULT result = D3DERR_INVALIDCALL;
    if (data && LockRangeValid(bytes.size(), offsetToLock, sizeToLock) &&
        !FaultFires(Fault::VertexBufferLock)) {
        *data = bytes.data() + offsetToLock;
        ++lockCount;
        result = D3D_OK;
    }
    return Traced(this, "Lock", {Arg(offsetToLock), Arg(sizeToLock), Arg(flags)}, result);
}

HRESULT VertexBuffer::Unlock() {
    HRESULT result = D3DERR_INVALIDCALL;
    if (lockCount > 0) {
        --lockCount;
        result = D3D_OK;
    }
    return Traced(this, "Unlock", {}, result);
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc) {
        return Traced(this, "GetDesc", {}, D3DERR_INVALIDCALL);
    }
    desc->Format = D3DFMT_UNKNOWN;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->Size = static_cast<UINT>(bytes.size());
    desc->FVF = fvf;
    return Traced(this, "GetDesc", {}, D3D_OK);
}

} // namespace platform::d3d9
