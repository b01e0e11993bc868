// The D3DX texture file loader: BMP, JPEG, PNG and DDS files (recognised by their content) become
// A8R8G8B8 textures of the file's own size within the device's limits, with the colour key applied
// and a full mip chain.
#pragma once

#include "d3d9/d3d9.h"
#include "gdi/wingdi.h"

#include <string>

#define D3DX_DEFAULT ((UINT)-1)

#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)

#define D3DXERR_INVALIDDATA ((HRESULT)0x88760B59L)

// Image information is not produced (see below); the type only completes the signature.
struct D3DXIMAGE_INFO;

// Loads the file (a path as the program writes it, backslashes allowed) into a new texture of the
// device.
// - Width and height: D3DX_DEFAULT or 0, the picture's own size within the device's limits. A side
//   longer than the device's MaxTextureWidth or MaxTextureHeight is made smaller to that length, each
//   side on its own (the quads that show a texture stretch it to their own size anyway), with the
//   filter asked for.
// - Filter, the low byte (the flags above it are ignored), or D3DX_DEFAULT for the triangle filter:
//   NONE keeps the top-left part that fits; POINT takes the source pixel under each pixel's centre;
//   LINEAR interpolates the four around it; TRIANGLE and BOX average the area each pixel covers.
// - MipLevels: D3DX_DEFAULT or 0, the full chain down to 1 x 1, always made by averaging areas
//   whatever MipFilter says.
// - Format: A8R8G8B8. ColorKey: pixels equal to it become 0 before anything is filtered; 0 means none.
// - No image information or palette is produced: both outputs must be null.
// On failure *texture is null and the result says why:
//   D3DERR_INVALIDCALL     no device, no file name or no output, or an unknown filter;
//   D3DERR_NOTFOUND        the file is missing or unreadable;
//   D3DXERR_INVALIDDATA    unknown format, truncated or damaged file, or a file over 256 MiB;
//   D3DERR_NOTAVAILABLE    a picture of more pixels than a texture file may hold (see DecodeLimits),
//                          or a request other than the above;
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
