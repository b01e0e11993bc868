// State blocks: a list of recorded state settings that Capture refreshes from the device and Apply
// sets on the device. Recording (BeginStateBlock .. EndStateBlock) fills the list without changing
// the device; CreateStateBlock fills it with every state of a kind.
#pragma once

#include "d3d9/device_state.h"
#include "d3d9/ref_counted.h"

#include <vector>

namespace platform::d3d9 {

class Device;

enum class StateKind {
    Render,
    Stage,
    Sampler,
    Texture,
    Transform,
    Viewport,
    Fvf,
    Stream,
    Indices,
    PixelShader
};

struct StateEntry {
    StateKind kind = StateKind::Render;
    DWORD stage = 0;        // stage or sampler number
    DWORD type = 0;         // state type, transform type
    DWORD value = 0;        // state value, FVF
    void* object = nullptr; // texture, vertex buffer, index buffer
    UINT offset = 0;
    UINT stride = 0;
    D3DMATRIX matrix{};
    D3DVIEWPORT9 viewport{};

    bool SameSlot(const StateEntry& other) const {
        return kind == other.kind && stage == other.stage && type == other.type;
    }
};

class StateBlock final : public RefCounted<IDirect3DStateBlock9> {
public:
    explicit StateBlock(Device* device);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT Capture() override;
    HRESULT Apply() override;

    // Adds an entry or replaces the value of the entry with the same slot.
    void Record(const StateEntry& entry);
    // Takes the device's current values of the recorded states.
    void CaptureValues();
    // Drops references to an object that is going away.
    void Forget(const void* object);
    const std::vector<StateEntry>& Entries() const { return entries; }

private:
    ~StateBlock() override;

    Device* device;
    std::vector<StateEntry> entries;
};

} // namespace platform::d3d9
