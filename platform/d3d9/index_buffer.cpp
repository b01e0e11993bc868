// Index buffer memory and locks.
#include "d3d9/index_buffer.h"

#include "d3d9/call_trace.h"
#include "d3d9/device.h"
#include "d3d9/vertex_buffer.h"

namespace platform::d3d9 {

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device(device), bytes(length, 0), usage(usage), format(format), pool(pool) {
    device->AddRef();
}

IndexBuffer::~IndexBuffer() {
    device->ForgetResource(this);
    device->Release();
}

HRESULT IndexBuffer::GetDevice(IDirect3DDevice9** result) {
    if (!result) {
        return Traced(this, "GetDevice", {}, D3DERR_INVALIDCALL);
    }
    device->AddRef();
    *result = device;
    return Traced(this, "GetDevice", {}, D3D_OK);
}

HRESULT IndexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) {
    HRESULT result = D3DERR_INVALIDCALL;
    if (data && LockRangeValid(bytes.size(), offsetToLock, sizeToLock) &&
        !FaultFires(Fault::IndexBufferLock)) {
        *data = bytes.data() + offsetToLock;
        ++lockCount;
        result = D3D_OK;
    }
    return Traced(this, "Lock", {Arg(offsetToLock), Arg(sizeToLock), Arg(flags)}, result);
}

HRESULT IndexBuffer::Unlock() {
    HRESULT result = D3DERR_INVALIDCALL;
    if (lockCount > 0) {
        --lockCount;
        result = D3D_OK;
    }
    return Traced(this, "Unlock", {}, result);
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (!desc) {
        return Traced(this, "GetDesc", {}, D3DERR_INVALIDCALL);
    }
    desc->Format = format;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->Size = static_cast<UINT>(bytes.size());
    return Traced(this, "GetDesc", {}, D3D_OK);
}

} // namespace platform::d3d9
