// D3DXCreateTextureFromFileExA: reads the whole file through the platform's file access, decodes
// it, applies the colour key, fits it into the device's largest texture, builds the mip chain and
// copies each level into a new texture of the device through LockRect. Nothing is created unless
// every step before it succeeded.
#include "d3dx9/d3dx9_tex.h"

#include "d3dx9/mip_chain.h"
#include "d3dx9/picture.h"
#include "d3dx9/picture_resize.h"
#include "win32/file_access.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

using platform::d3dx::DecodeLimits;
using platform::d3dx::DecodeResult;
using platform::d3dx::Picture;
using platform::d3dx::ResizeFilter;

static_assert(D3DXERR_INVALIDDATA == platform::d3dx::DECODE_INVALID_DATA, "one code for damaged files");
static_assert(D3DERR_NOTAVAILABLE == platform::d3dx::DECODE_TOO_LARGE, "one code for oversized files");
static_assert(E_OUTOFMEMORY == platform::d3dx::DECODE_OUT_OF_MEMORY, "one code for memory");

namespace {

// No texture file comes near this; a larger one is refused before it is read into memory.
constexpr size_t MAX_FILE_SIZE = 256u << 20;

thread_local std::string lastError;

HRESULT Fail(HRESULT code, std::string reason) {
    lastError = std::move(reason);
    return code;
}

// The file must be a regular file no larger than MAX_FILE_SIZE: a FIFO or a device (/dev/zero) is refused
// as not found and an oversized file from its size, both before anything is read.
HRESULT ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    switch (platform::ReadDataFile(path, MAX_FILE_SIZE, bytes)) {
    case platform::FileReadResult::Ok:
        return S_OK;
    case platform::FileReadResult::TooLarge:
        return Fail(D3DXERR_INVALIDDATA, "file too large for a texture");
    case platform::FileReadResult::Missing:
        return Fail(D3DERR_NOTFOUND, std::string("cannot open \"") + path + "\"");
    case platform::FileReadResult::NotRegular:
        return Fail(D3DERR_NOTFOUND, std::string("\"") + path + "\" is not a regular file");
    default:
        return Fail(D3DERR_NOTFOUND, std::string("cannot read \"") + path + "\": " + std::strerror(errno));
    }
}

// Reads and decodes the file; its bytes are gone before the picture is worked on.
HRESULT ReadPicture(const char* path, Picture* picture) {
    std::vector<uint8_t> bytes;
    HRESULT hr = ReadWholeFile(path, &bytes);
    if (FAILED(hr)) {
        return hr;
    }
    DecodeResult decoded = platform::d3dx::DecodePicture(bytes.data(), bytes.size(), DecodeLimits(), picture);
    return decoded.Ok() ? S_OK : Fail(decoded.code, decoded.reason);
}

bool IsDefault(UINT value) {
    return value == D3DX_DEFAULT || value == 0;
}

// The filter for a picture that must be made smaller: the low byte of the value, or the triangle
// filter for D3DX_DEFAULT. False for a value that names no filter.
bool FilterOf(DWORD filter, ResizeFilter* chosen) {
    if (filter == D3DX_DEFAULT) {
        filter = D3DX_FILTER_TRIANGLE;
    }
    switch (filter & 0xFF) {
    case D3DX_FILTER_NONE:
        *chosen = ResizeFilter::None;
        return true;
    case D3DX_FILTER_POINT:
        *chosen = ResizeFilter::Point;
        return true;
    case D3DX_FILTER_LINEAR:
        *chosen = ResizeFilter::Linear;
        return true;
    case D3DX_FILTER_TRIANGLE:
    case D3DX_FILTER_BOX:
        *chosen = ResizeFilter::Area;
        return true;
    default:
        return false;
    }
}

HRESULT FillLevel(IDirect3DTexture9* texture, UINT level, const Picture& picture) {
    D3DLOCKED_RECT locked = {};
    HRESULT hr = texture->LockRect(level, &locked, nullptr, 0);
    if (FAILED(hr)) {
        return Fail(hr, "the texture cannot be locked");
    }
    auto* target = static_cast<uint8_t*>(locked.pBits);
    for (uint32_t y = 0; y < picture.height; ++y) {
        std::memcpy(target + static_cast<size_t>(y) * locked.Pitch,
                    picture.pixels.data() + static_cast<size_t>(y) * picture.width,
                    static_cast<size_t>(picture.width) * 4);
    }
    return texture->UnlockRect(level);
}

} // namespace

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture9** texture) {
    // The chain's levels halve their sides, where every filter but the point filter averages the
    // same pixels: it is always made by averaging areas.
    (void)mipFilter;
    lastError.clear();
    if (texture != nullptr) {
        *texture = nullptr;
    }
    if (device == nullptr || srcFile == nullptr || texture == nullptr) {
        return Fail(D3DERR_INVALIDCALL, "no device, file name or output");
    }
    ResizeFilter resizeFilter = ResizeFilter::Area;
    if (!FilterOf(filter, &resizeFilter)) {
        return Fail(D3DERR_INVALIDCALL, "unknown filter " + std::to_string(filter));
    }
    if (!IsDefault(width) || !IsDefault(height) || !IsDefault(mipLevels) || format != D3DFMT_A8R8G8B8 ||
        srcInfo != nullptr || palette != nullptr) {
        return Fail(D3DERR_NOTAVAILABLE, "only A8R8G8B8 textures of the default size with a full chain are "
                                         "made, without image information or palette");
    }

    D3DCAPS9 caps = {};
    HRESULT hr = device->GetDeviceCaps(&caps);
    if (FAILED(hr)) {
        return Fail(hr, "the device's capabilities are not available");
    }
    Picture picture;
    hr = ReadPicture(srcFile, &picture);
    if (FAILED(hr)) {
        return hr;
    }

    std::vector<Picture> chain;
    try {
        platform::d3dx::ApplyColorKey(&picture, colorKey);
        uint32_t fittedWidth = std::min<uint32_t>(picture.width, caps.MaxTextureWidth);
        uint32_t fittedHeight = std::min<uint32_t>(picture.height, caps.MaxTextureHeight);
        if (fittedWidth == 0 || fittedHeight == 0) {
            return Fail(D3DERR_NOTAVAILABLE, "the device makes no textures");
        }
        if (fittedWidth != picture.width || fittedHeight != picture.height) {
            picture = platform::d3dx::Shrink(picture, fittedWidth, fittedHeight, resizeFilter);
        }
        chain = platform::d3dx::BuildMipChain(std::move(picture));
    } catch (const std::bad_alloc&) {
        return Fail(E_OUTOFMEMORY, "out of memory for the texture's levels");
    }

    const UINT levels = static_cast<UINT>(chain.size());
    IDirect3DTexture9* created = nullptr;
    hr = device->CreateTexture(chain[0].width, chain[0].height, levels, usage, D3DFMT_A8R8G8B8, pool,
                               &created, nullptr);
    if (FAILED(hr)) {
        return Fail(hr, "the device cannot create the texture");
    }
    for (UINT level = 0; level < levels; ++level) {
        hr = FillLevel(created, level, chain[level]);
        if (FAILED(hr)) {
            created->Release();
            return hr;
        }
    }
    *texture = created;
    return D3D_OK;
}

namespace platform {

std::string LastTextureLoadError() {
    return lastError;
}

} // namespace platform
