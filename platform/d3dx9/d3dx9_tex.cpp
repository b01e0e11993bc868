// D3DXCreateTextureFromFileExA: reads the whole file through the platform's file access, decodes
// it, applies the colour key, builds the mip chain and copies each level into a new texture of the
// device through LockRect. Nothing is created unless every step before it succeeded.
#include "d3dx9/d3dx9_tex.h"

#include "d3dx9/mip_chain.h"
#include "d3dx9/picture.h"
#include "win32/file_access.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

using platform::d3dx::DecodeLimits;
using platform::d3dx::DecodeResult;
using platform::d3dx::Picture;

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

D3DXIMAGE_FILEFORMAT FileFormatCode(platform::d3dx::FileFormat format) {
    switch (format) {
    case platform::d3dx::FileFormat::Jpeg:
        return D3DXIFF_JPG;
    case platform::d3dx::FileFormat::Png:
        return D3DXIFF_PNG;
    case platform::d3dx::FileFormat::Dds:
        return D3DXIFF_DDS;
    default:
        return D3DXIFF_BMP;
    }
}

bool IsDefaultSize(UINT requested, uint32_t actual) {
    return requested == D3DX_DEFAULT || requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE ||
           requested == 0 || requested == actual;
}

HRESULT FillLevel(IDirect3DTexture9* texture, UINT level, const Picture& picture) {
    D3DLOCKED_RECT locked = {};
    HRESULT hr = texture->LockRect(level, &locked, nullptr, 0);
    if (FAILED(hr)) {
        return Fail(hr, "the texture cannot be locked");
    }
    size_t rowBytes = static_cast<size_t>(picture.width) * 4;
    if (locked.pBits == nullptr || locked.Pitch < 0 || static_cast<size_t>(locked.Pitch) < rowBytes) {
        texture->UnlockRect(level);
        return Fail(D3DERR_INVALIDCALL, "the texture's locked level is smaller than the picture");
    }
    auto* target = static_cast<uint8_t*>(locked.pBits);
    for (uint32_t y = 0; y < picture.height; ++y) {
        std::memcpy(target + static_cast<size_t>(y) * locked.Pitch,
                    picture.pixels.data() + static_cast<size_t>(y) * picture.width, rowBytes);
    }
    return texture->UnlockRect(level);
}

} // namespace

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture9** texture) {
    // The size never changes and the chain is always box filtered, so the filters choose nothing.
    (void)filter;
    (void)mipFilter;
    (void)palette;
    lastError.clear();
    if (texture != nullptr) {
        *texture = nullptr;
    }
    if (device == nullptr || srcFile == nullptr || texture == nullptr) {
        return Fail(D3DERR_INVALIDCALL, "no device, file name or output");
    }
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_UNKNOWN &&
        format != static_cast<D3DFORMAT>(D3DX_DEFAULT)) {
        return Fail(D3DERR_NOTAVAILABLE, "only A8R8G8B8 textures are made");
    }

    D3DCAPS9 caps = {};
    HRESULT hr = device->GetDeviceCaps(&caps);
    if (FAILED(hr)) {
        return Fail(hr, "the device's capabilities are not available");
    }
    DecodeLimits limits;
    limits.maxWidth = caps.MaxTextureWidth;
    limits.maxHeight = caps.MaxTextureHeight;

    std::vector<uint8_t> bytes;
    hr = ReadWholeFile(srcFile, &bytes);
    if (FAILED(hr)) {
        return hr;
    }
    Picture picture;
    DecodeResult decoded = platform::d3dx::DecodePicture(bytes.data(), bytes.size(), limits, &picture);
    if (!decoded.Ok()) {
        return Fail(decoded.code, decoded.reason);
    }
    if (!IsDefaultSize(width, picture.width) || !IsDefaultSize(height, picture.height)) {
        return Fail(D3DERR_NOTAVAILABLE, "resizing on load is not supported");
    }
    uint32_t fullChain = platform::d3dx::FullMipCount(picture.width, picture.height);
    uint32_t levels =
        (mipLevels == 0 || mipLevels == D3DX_DEFAULT) ? fullChain : std::min<uint32_t>(mipLevels, fullChain);

    if (srcInfo != nullptr) {
        srcInfo->Width = picture.width;
        srcInfo->Height = picture.height;
        srcInfo->Depth = 1;
        srcInfo->MipLevels = 1;
        srcInfo->Format = D3DFMT_A8R8G8B8;
        srcInfo->ResourceType = D3DRTYPE_TEXTURE;
        srcInfo->ImageFileFormat = FileFormatCode(platform::d3dx::DetectFormat(bytes.data(), bytes.size()));
    }
    bytes.clear();
    bytes.shrink_to_fit();

    platform::d3dx::ApplyColorKey(&picture, colorKey);
    std::vector<Picture> chain;
    try {
        chain = platform::d3dx::BuildMipChain(std::move(picture), levels);
    } catch (const std::bad_alloc&) {
        return Fail(E_OUTOFMEMORY, "out of memory for the mip chain");
    }

    IDirect3DTexture9* created = nullptr;
    hr = device->CreateTexture(chain[0].width, chain[0].height, levels, usage, D3DFMT_A8R8G8B8, pool,
                               &created, nullptr);
    if (FAILED(hr) || created == nullptr) {
        return Fail(FAILED(hr) ? hr : D3DERR_INVALIDCALL, "the device cannot create the texture");
    }
    for (UINT level = 0; level < levels; ++level) {
        hr = FillLevel(created, level, chain[level]);
        if (FAILED(hr)) {
            created->Release();
            if (lastError.empty()) {
                lastError = "the texture cannot be filled";
            }
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
