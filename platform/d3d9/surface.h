// Pixel memory of one picture (a texture level, the back buffer, the depth buffer) and the surface
// object that hands it out. Every picture also keeps an A8R8G8B8 copy for sampling when its own format
// is not A8R8G8B8, refreshed when a lock ends, and a content version that changes whenever the
// picture may have been written.
#pragma once

#include "d3d9/d3d9.h"
#include "d3d9/ref_counted.h"

#include <memory>
#include <vector>

namespace platform::d3d9 {

class Device;

struct Image {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    int width = 0;
    int height = 0;
    int pitch = 0; // bytes per row of `bits`
    std::vector<uint8_t> bits;
    // A8R8G8B8 copy for sampling; empty when `bits` is A8R8G8B8 already.
    std::vector<uint32_t> expanded;
    bool locked = false;
    // Changes with every allocation and every lock and unlock; versions are unique in the process, so
    // an equal version means the same picture with the same content.
    uint64_t version = 0;
    // Where the texture that holds this picture as a level keeps its own version (null otherwise); it
    // follows every change of `version`.
    uint64_t* containerVersion = nullptr;

    // Allocates a zeroed picture; false for an unsupported format or size. Pictures that are never
    // sampled (render targets) skip the sampling copy.
    bool Allocate(D3DFORMAT imageFormat, int imageWidth, int imageHeight, bool sampled = true);
    // The texels the sampler reads: width * height A8R8G8B8 values, rows tightly packed.
    const uint32_t* SamplePixels() const;
    // Gives the picture a new version: it may have been written.
    void NewVersion();
    // Brings the sampling copy up to date after the picture was written.
    void RefreshSampleCopy();
};

int BytesPerPixel(D3DFORMAT format);

// A content version never handed out before.
uint64_t NextContentVersion();

class Surface final : public RefCounted<IDirect3DSurface9> {
public:
    // container: the object that owns the picture (a texture or the device), kept alive by the surface.
    Surface(Device* device, IUnknown* container, std::shared_ptr<Image> image, DWORD usage, D3DPOOL pool);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

private:
    ~Surface() override;

    Device* device;
    IUnknown* container;
    std::shared_ptr<Image> image;
    DWORD usage;
    D3DPOOL pool;
};

// Fills a D3DSURFACE_DESC for a picture.
void DescribeImage(const Image& image, DWORD usage, D3DPOOL pool, D3DSURFACE_DESC* desc);

// Locks a rectangle of a picture (null: all of it); fails for a rectangle outside it or a second lock.
HRESULT LockImage(Image& image, D3DLOCKED_RECT* lockedRect, const RECT* rect);
HRESULT UnlockImage(Image& image);

} // namespace platform::d3d9
