// Index buffer memory and locks.
#include "d3d9/index_buffer.h"

#include "d3d9/call_trace.h"
#include "d3d9/device.h"

namespace platform::d3d9 {

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device(device), memory(length), usage(usage), format(format), pool(pool) {
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
    // The fault hook is asked only for locks that would otherwise succeed.
    const bool locked = data && memory.RangeInside(offsetToLock, sizeToLock) &&
                        !FaultFires(Fault::IndexBufferLock) && memory.Lock(offsetToLock, sizeToLock, data);
    const HRESULT result = locked ? D3D_OK : D3DERR_INVALIDCALL;
    return Traced(this, "Lock", {Arg(offsetToLock), Arg(sizeToLock), Arg(flags)}, result);
}

HRESULT IndexBuffer::Unlock() {
    return Traced(this, "Unlock", {}, memory.Unlock() ? D3D_OK : D3DERR_INVALIDCALL);
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (!desc) {
        return Traced(this, "GetDesc", {}, D3DERR_INVALIDCALL);
    }
    desc->Format = format;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->Size = static_cast<UINT>(memory.Size());
    return Traced(this, "GetDesc", {}, D3D_OK);
}

} // namespace platform::d3d9
