// Recording, capturing and applying state blocks.
#include "d3d9/state_block.h"

#include "d3d9/call_trace.h"
#include "d3d9/device.h"

namespace platform::d3d9 {

StateBlock::StateBlock(Device* device) : device(device) {
    device->AddRef();
    device->RegisterStateBlock(this);
}

StateBlock::~StateBlock() {
    device->UnregisterStateBlock(this);
    device->Release();
}

HRESULT StateBlock::GetDevice(IDirect3DDevice9** result) {
    if (!result) {
        return Traced(this, "GetDevice", {}, D3DERR_INVALIDCALL);
    }
    device->AddRef();
    *result = device;
    return Traced(this, "GetDevice", {}, D3D_OK);
}

void StateBlock::Record(const StateEntry& entry) {
    for (StateEntry& existing : entries) {
        if (existing.SameSlot(entry)) {
            existing = entry;
            return;
        }
    }
    entries.push_back(entry);
}

void StateBlock::Forget(const void* object) {
    for (StateEntry& entry : entries) {
        if (entry.object == object) {
            entry.object = nullptr;
        }
    }
}

void StateBlock::CaptureValues() {
    for (StateEntry& entry : entries) {
        device->ReadEntry(&entry);
    }
}

HRESULT StateBlock::Capture() {
    if (device->Recording()) {
        return Traced(this, "Capture", {}, D3DERR_INVALIDCALL);
    }
    CaptureValues();
    return Traced(this, "Capture", {}, D3D_OK);
}

HRESULT StateBlock::Apply() {
    if (device->Recording()) {
        return Traced(this, "Apply", {}, D3DERR_INVALIDCALL);
    }
    for (const StateEntry& entry : entries) {
        device->WriteEntry(entry);
    }
    return Traced(this, "Apply", {}, D3D_OK);
}

} // namespace platform::d3d9
