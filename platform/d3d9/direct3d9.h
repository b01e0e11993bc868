// The Direct3D object: one adapter whose desktop mode is X8R8G8B8,
// the capabilities of the software device, and device creation.
#pragma once

#include "d3d9/ref_counted.h"

namespace platform::d3d9 {

class Direct3D9 final : public RefCounted<IDirect3D9> {
public:
    UINT GetAdapterCount() override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* presentationParameters,
                         IDirect3DDevice9** returnedDeviceInterface) override;
};

// The capabilities every device of this adapter reports.
void FillCaps(D3DCAPS9* caps);

} // namespace platform::d3d9
