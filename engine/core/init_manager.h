// The device owner: creates and keeps the Direct3D object and the one device of the engine, sets the
// projection and the starting render states, and hands the device to every engine class that draws.
#pragma once

#include "d3d9/d3d9.h"

class InitManager {
public:
    static InitManager* GetExemplar();
    virtual ~InitManager();

    // Creates the device for the window; windowed devices take the window's client size.
    bool InitDirect3D(HWND window, int width, int height, bool windowed);
    // Configuration-string set-up: reports success and creates no device.
    bool InitDirect3D(HWND window, const char* configuration);
    bool ReleaseDirect3D();

    int width = 0;
    int height = 0;
    HWND window = nullptr;
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    D3DPRESENT_PARAMETERS presentParameters{};
    D3DDISPLAYMODE displayMode{};

protected:
    InitManager();

private:
    static InitManager* Exemplar;
};
