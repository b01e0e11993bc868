// The D3DX texture file loader: BMP, JPEG, PNG and DDS files (recognised by their content) become
// A8R8G8B8 textures at the file's own size, with the colour key applied and a full mip chain.
#pragma once

#include "d3d9/d3d9.h"
#include "gdi/wingdi.h"

#include <string>

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FROM_FILE ((UINT)-3)

#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)

#define D3DXERR_INVALIDDATA ((HRESULT)0x88760B59L)

enum D3DXIMAGE_FILEFORMAT : DWORD {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
};

struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// Loads the file (a path as the program writes it, backslashes allowed) into a new texture of the
// device. Width and height: D3DX_DEFAULT, 0 or the file's own size (no resizing). MipLevels:
// D3DX_DEFAULT or 0 for the full chain down to 1 x 1, else at most that many. Format: A8R8G8B8 (or
// D3DFMT_UNKNOWN, which means the same). ColorKey: pixels equal to it become 0; 0 means none. The
// filters are accepted: the size never changes, and the chain is always box filtered. Palettes are
// not produced. On failure *texture is null and the result says why:
//   D3DERR_INVALIDCALL     no device, no file name or no output;
//   D3DERR_NOTFOUND        the file is missing or unreadable;
//   D3DXERR_INVALIDDATA    unknown format, truncated or damaged file;
//   D3DERR_NOTAVAILABLE    larger than the device's maximum texture size, or an unsupported request;
//   E_OUTOFMEMORY, or the device's error from CreateTexture or LockRect.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture9** texture);

namespace platform {

// Why the last texture load on this thread failed ("BMP: truncated pixel data"); empty after a
// success. For tests and diagnostics.
std::string LastTextureLoadError();

} // namespace platform
