// Texture creation, level queries and level locks.
#include "d3d9/texture.h"

#include "d3d9/call_trace.h"
#include "d3d9/device.h"

namespace platform::d3d9 {

Texture* Texture::Create(Device* device, UINT width, UINT height, UINT levelCount, DWORD usage,
                         D3DFORMAT format, D3DPOOL pool) {
    if (width == 0 || height == 0 || width > CurrentMaxTextureWidth() || height > CurrentMaxTextureHeight()) {
        return nullptr;
    }
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8 && format != D3DFMT_A4R4G4B4) {
        return nullptr;
    }
    UINT fullChain = 1;
    for (UINT size = std::max(width, height); size > 1; size /= 2) {
        ++fullChain;
    }
    if (levelCount == 0) {
        levelCount = fullChain;
    }
    if (levelCount > fullChain) {
        return nullptr;
    }
    Texture* texture = new Texture(device, usage, pool);
    UINT w = width, h = height;
    for (UINT level = 0; level < levelCount; ++level) {
        auto image = std::make_shared<Image>();
        image->containerVersion = &texture->contentVersion;
        if (!image->Allocate(format, static_cast<int>(w), static_cast<int>(h))) {
            texture->Release();
            return nullptr;
        }
        texture->levels.push_back(std::move(image));
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    return texture;
}

Texture::Texture(Device* device, DWORD usage, D3DPOOL pool) : device(device), usage(usage), pool(pool) {
    device->AddRef();
}

Texture::~Texture() {
    // Draws the device has not drawn yet may sample this texture.
    device->DrawRepeatedCommands();
    device->ForgetResource(this);
    device->Release();
}

HRESULT Texture::GetDevice(IDirect3DDevice9** result) {
    if (!result) {
        return Traced(this, "GetDevice", {}, D3DERR_INVALIDCALL);
    }
    device->AddRef();
    *result = device;
    return Traced(this, "GetDevice", {}, D3D_OK);
}

DWORD Texture::GetLevelCount() {
    Traced(this, "GetLevelCount", {}, D3D_OK);
    return static_cast<DWORD>(levels.size());
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level >= levels.size() || !desc) {
        return Traced(this, "GetLevelDesc", {Arg(level)}, D3DERR_INVALIDCALL);
    }
    DescribeImage(*levels[level], usage, pool, desc);
    return Traced(this, "GetLevelDesc", {Arg(level)}, D3D_OK);
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    if (level >= levels.size() || !surface) {
        return Traced(this, "GetSurfaceLevel", {Arg(level)}, D3DERR_INVALIDCALL);
    }
    *surface = new Surface(device, this, levels[level], usage, pool);
    return Traced(this, "GetSurfaceLevel", {Arg(level)}, D3D_OK);
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    // Draws the device has not drawn yet must see the texture as it was before this write.
    device->DrawRepeatedCommands();
    HRESULT result = D3DERR_INVALIDCALL;
    if (level < levels.size() && !FaultFires(Fault::TextureLock)) {
        result = LockImage(*levels[level], lockedRect, rect);
    }
    return Traced(this, "LockRect", {Arg(level), Arg(rect), Arg(flags)}, result);
}

HRESULT Texture::UnlockRect(UINT level) {
    HRESULT result = level < levels.size() ? UnlockImage(*levels[level]) : D3DERR_INVALIDCALL;
    return Traced(this, "UnlockRect", {Arg(level)}, result);
}

} // namespace platform::d3d9
