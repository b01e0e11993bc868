// The entry point Direct3DCreate9 and the adapter queries and device creation of IDirect3D9.
#include "d3d9/direct3d9.h"

#include "d3d9/call_trace.h"
#include "d3d9/device.h"

namespace platform::d3d9 {

namespace {

// The desktop this adapter reports; only the format matters to callers.
constexpr UINT DESKTOP_WIDTH = 1920;
constexpr UINT DESKTOP_HEIGHT = 1080;

} // namespace

void FillCaps(D3DCAPS9* caps) {
    *caps = D3DCAPS9{};
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->AdapterOrdinal = D3DADAPTER_DEFAULT;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps->PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW;
    caps->RasterCaps = D3DPRASTERCAPS_ZTEST;
    caps->ZCmpCaps = D3DPCMPCAPS_ALL;
    caps->AlphaCmpCaps = D3DPCMPCAPS_ALL;
    const DWORD blendCaps = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR |
                            D3DPBLENDCAPS_INVSRCCOLOR | D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA;
    caps->SrcBlendCaps = blendCaps;
    caps->DestBlendCaps = blendCaps;
    caps->TextureCaps = D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    caps->TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                              D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR |
                              D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    caps->TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP;
    caps->MaxTextureWidth = CurrentMaxTextureWidth();
    caps->MaxTextureHeight = CurrentMaxTextureHeight();
    caps->MaxTextureAspectRatio = 0;
    caps->FVFCaps = 8;
    caps->TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                          D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_ADD;
    caps->MaxTextureBlendStages = D3D_STAGE_COUNT;
    caps->MaxSimultaneousTextures = D3D_STAGE_COUNT;
    caps->MaxActiveLights = 0;
    caps->MaxPointSize = 64.0f;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxVertexIndex = 0xFFFFFF;
    caps->MaxStreams = 1;
    caps->MaxStreamStride = 255;
}

UINT Direct3D9::GetAdapterCount() {
    Traced(this, "GetAdapterCount", {}, D3D_OK);
    return 1;
}

HRESULT Direct3D9::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    if (adapter != D3DADAPTER_DEFAULT || !mode) {
        return Traced(this, "GetAdapterDisplayMode", {Arg(adapter)}, D3DERR_INVALIDCALL);
    }
    *mode = D3DDISPLAYMODE{DESKTOP_WIDTH, DESKTOP_HEIGHT, 60, D3DFMT_X8R8G8B8};
    return Traced(this, "GetAdapterDisplayMode", {Arg(adapter)}, D3D_OK);
}

HRESULT Direct3D9::CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                     DWORD usage, D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) {
    HRESULT result = D3DERR_NOTAVAILABLE;
    if (adapter == D3DADAPTER_DEFAULT && adapterFormat == D3DFMT_X8R8G8B8) {
        if (resourceType == D3DRTYPE_SURFACE && (usage & D3DUSAGE_RENDERTARGET)) {
            // The back buffer format supports blending after the pixel stages.
            result = checkFormat == D3DFMT_X8R8G8B8 ? D3D_OK : D3DERR_NOTAVAILABLE;
        } else if (resourceType == D3DRTYPE_SURFACE && (usage & D3DUSAGE_DEPTHSTENCIL)) {
            result = checkFormat == D3DFMT_D16 ? D3D_OK : D3DERR_NOTAVAILABLE;
        } else if (resourceType == D3DRTYPE_TEXTURE || resourceType == D3DRTYPE_SURFACE) {
            result = (checkFormat == D3DFMT_A8R8G8B8 || checkFormat == D3DFMT_X8R8G8B8 ||
                      checkFormat == D3DFMT_A4R4G4B4)
                         ? D3D_OK
                         : D3DERR_NOTAVAILABLE;
        }
    }
    return Traced(
        this, "CheckDeviceFormat",
        {Arg(adapter), Arg(deviceType), Arg(adapterFormat), Arg(usage), Arg(resourceType), Arg(checkFormat)},
        result);
}

HRESULT Direct3D9::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) {
    if (adapter != D3DADAPTER_DEFAULT || !caps) {
        return Traced(this, "GetDeviceCaps", {Arg(adapter), Arg(deviceType)}, D3DERR_INVALIDCALL);
    }
    FillCaps(caps);
    caps->DeviceType = deviceType;
    return Traced(this, "GetDeviceCaps", {Arg(adapter), Arg(deviceType)}, D3D_OK);
}

HRESULT Direct3D9::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                                D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** result) {
    auto trace = [&](HRESULT hr) {
        return Traced(this, "CreateDevice",
                      {Arg(adapter), Arg(deviceType), Arg(focusWindow), Arg(behaviorFlags), Arg(parameters)},
                      hr);
    };
    if (!result || !parameters || adapter != D3DADAPTER_DEFAULT) {
        return trace(D3DERR_INVALIDCALL);
    }
    *result = nullptr;
    if (FaultFires(Fault::CreateDevice)) {
        return trace(D3DERR_NOTAVAILABLE);
    }
    HWND window = parameters->hDeviceWindow ? parameters->hDeviceWindow : focusWindow;
    Device* device = nullptr;
    HRESULT hr = Device::Create(this, window, *parameters, behaviorFlags, &device);
    if (SUCCEEDED(hr)) {
        *result = device;
    }
    return trace(hr);
}

} // namespace platform::d3d9

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion) {
    using namespace platform::d3d9;
    IDirect3D9* result = nullptr;
    if (sdkVersion == D3D_SDK_VERSION && !FaultFires(Fault::Direct3DCreate)) {
        result = new Direct3D9();
    }
    Traced(nullptr, "Direct3DCreate9", {Arg(sdkVersion)}, result ? D3D_OK : E_FAIL);
    return result;
}
