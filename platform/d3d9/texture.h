// Textures: a chain of pictures (level 0 the largest, each next level half the size, down to 1 x 1
// when the creator asks for the full chain) in A8R8G8B8, X8R8G8B8 or A4R4G4B4.
#pragma once

#include "d3d9/surface.h"

#include <memory>
#include <vector>

namespace platform::d3d9 {

class Texture final : public RefCounted<IDirect3DTexture9> {
public:
    // levels 0 = the full chain. Null when the size, format or level count cannot be made.
    static Texture* Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                           D3DFORMAT format, D3DPOOL pool);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    int LevelCount() const { return static_cast<int>(levels.size()); }
    const Image& Level(int level) const { return *levels[static_cast<size_t>(level)]; }
    // Changes whenever any level may have been written: the newest of the levels' versions.
    uint64_t ContentVersion() const { return contentVersion; }

private:
    Texture(Device* device, DWORD usage, D3DPOOL pool);
    ~Texture() override;

    Device* device;
    DWORD usage;
    D3DPOOL pool;
    std::vector<std::shared_ptr<Image>> levels;
    uint64_t contentVersion = 0;
};

} // namespace platform::d3d9
