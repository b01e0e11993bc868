// The device owner: Direct3D object, device, projection and the starting render states.
#include "core/init_manager.h"

#include "d3dx9/d3dx9_math.h"

#include <cstring>
#include <new>

InitManager* InitManager::Exemplar = nullptr;

InitManager::InitManager() = default;

// The device and the Direct3D object live until the process ends; only the singleton slot is cleared,
// so that a later GetExemplar cannot hand out a deleted object.
InitManager::~InitManager() {
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

InitManager* InitManager::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) InitManager;
    }
    return Exemplar;
}

bool InitManager::InitDirect3D(HWND newWindow, int newWidth, int newHeight, bool windowed) {
    window = newWindow;
    width = newWidth;
    height = newHeight;

    direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (direct3D == nullptr) {
        return false;
    }
    std::memset(&presentParameters, 0, sizeof(presentParameters));
    if (direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &displayMode) != D3D_OK) {
        return false;
    }

    if (windowed) {
        // Zero width and height: the back buffer takes the window's client size.
        presentParameters.BackBufferWidth = 0;
        presentParameters.BackBufferHeight = 0;
        presentParameters.hDeviceWindow = nullptr;
        presentParameters.Windowed = TRUE;
        presentParameters.Flags = 0;
    } else {
        presentParameters.BackBufferWidth = static_cast<UINT>(width);
        presentParameters.BackBufferHeight = static_cast<UINT>(height);
        presentParameters.hDeviceWindow = window;
        presentParameters.Windowed = FALSE;
        presentParameters.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    }
    presentParameters.BackBufferFormat = displayMode.Format;
    presentParameters.BackBufferCount = 1;
    presentParameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentParameters.EnableAutoDepthStencil = TRUE;
    presentParameters.AutoDepthStencilFormat = D3DFMT_D16;
    presentParameters.FullScreen_RefreshRateInHz = 0;
    presentParameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

    device = nullptr;
    if (direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                               D3DCREATE_SOFTWARE_VERTEXPROCESSING, &presentParameters, &device) < 0) {
        device = nullptr;
        return false;
    }

    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, 0.7853982f,
                               static_cast<float>(width) / static_cast<float>(height), 10.0f, 200.0f);
    device->SetTransform(D3DTS_PROJECTION, &projection);

    device->SetRenderState(D3DRS_AMBIENT, 0xFF000004);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    return device->SetRenderState(D3DRS_COLORVERTEX, TRUE) == D3D_OK;
}

bool InitManager::InitDirect3D(HWND, const char*) {
    return true;
}

// The pointers are cleared after their release so that a second call releases nothing twice.
bool InitManager::ReleaseDirect3D() {
    if (device != nullptr) {
        device->Release();
        device = nullptr;
    }
    if (direct3D != nullptr) {
        direct3D->Release();
        direct3D = nullptr;
    }
    return true;
}
