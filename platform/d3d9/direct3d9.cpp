// The Direct3D object: the entry point Direct3DCreate9 and the adapter queries of IDirect3D9.
#include "d3d9/d3d9.h"

IDirect3D9* WINAPI Direct3DCreate9(UINT) {
    return nullptr;
}
