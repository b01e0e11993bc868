// Picture memory, format expansion for sampling, and the surface object.
#include "d3d9/surface.h"

#include "d3d9/call_trace.h"
#include "d3d9/device.h"

#include <atomic>
#include <cstring>

namespace platform::d3d9 {

int BytesPerPixel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_A4R4G4B4:
    case D3DFMT_D16:
        return 2;
    default:
        return 0;
    }
}

uint64_t NextContentVersion() {
    static std::atomic<uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

bool Image::Allocate(D3DFORMAT imageFormat, int imageWidth, int imageHeight, bool sampled) {
    int bytes = BytesPerPixel(imageFormat);
    if (bytes == 0 || imageWidth <= 0 || imageHeight <= 0 || imageWidth > 16384 || imageHeight > 16384) {
        return false;
    }
    format = imageFormat;
    width = imageWidth;
    height = imageHeight;
    pitch = width * bytes;
    bits.assign(static_cast<size_t>(pitch) * height, 0);
    NewVersion();
    if (sampled && (format == D3DFMT_A4R4G4B4 || format == D3DFMT_X8R8G8B8)) {
        expanded.assign(static_cast<size_t>(width) * height, 0);
        RefreshSampleCopy();
    }
    return true;
}

void Image::NewVersion() {
    version = NextContentVersion();
    if (containerVersion) {
        *containerVersion = version;
    }
}

const uint32_t* Image::SamplePixels() const {
    if (!expanded.empty()) {
        return expanded.data();
    }
    return reinterpret_cast<const uint32_t*>(bits.data());
}

void Image::RefreshSampleCopy() {
    if (expanded.empty()) {
        return;
    }
    if (format == D3DFMT_A4R4G4B4) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = bits.data() + static_cast<size_t>(y) * pitch;
            uint32_t* out = expanded.data() + static_cast<size_t>(y) * width;
            for (int x = 0; x < width; ++x) {
                uint16_t texel;
                std::memcpy(&texel, row + x * 2, 2);
                // Each 4-bit channel n becomes n * 17, so 0xF expands to 0xFF.
                uint32_t a = (texel >> 12) & 0xF, r = (texel >> 8) & 0xF, g = (texel >> 4) & 0xF,
                         b = texel & 0xF;
                out[x] = (a * 17) << 24 | (r * 17) << 16 | (g * 17) << 8 | (b * 17);
            }
        }
    } else if (format == D3DFMT_X8R8G8B8) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = bits.data() + static_cast<size_t>(y) * pitch;
            uint32_t* out = expanded.data() + static_cast<size_t>(y) * width;
            std::memcpy(out, row, static_cast<size_t>(width) * 4);
            for (int x = 0; x < width; ++x) {
                out[x] |= 0xFF000000u;
            }
        }
    }
}

void DescribeImage(const Image& image, DWORD usage, D3DPOOL pool, D3DSURFACE_DESC* desc) {
    desc->Format = image.format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = static_cast<UINT>(image.width);
    desc->Height = static_cast<UINT>(image.height);
}

HRESULT LockImage(Image& image, D3DLOCKED_RECT* lockedRect, const RECT* rect) {
    if (!lockedRect || image.locked) {
        return D3DERR_INVALIDCALL;
    }
    RECT whole{0, 0, image.width, image.height};
    const RECT& area = rect ? *rect : whole;
    if (area.left < 0 || area.top < 0 || area.right > image.width || area.bottom > image.height ||
        area.left >= area.right || area.top >= area.bottom) {
        return D3DERR_INVALIDCALL;
    }
    image.locked = true;
    image.NewVersion();
    lockedRect->Pitch = image.pitch;
    lockedRect->pBits = image.bits.data() + static_cast<size_t>(area.top) * image.pitch +
                        static_cast<size_t>(area.left) * BytesPerPixel(image.format);
    return D3D_OK;
}

HRESULT UnlockImage(Image& image) {
    if (!image.locked) {
        return D3DERR_INVALIDCALL;
    }
    image.locked = false;
    image.NewVersion();
    image.RefreshSampleCopy();
    return D3D_OK;
}

Surface::Surface(Device* device, IUnknown* container, std::shared_ptr<Image> image, DWORD usage, D3DPOOL pool)
    : device(device), container(container), image(std::move(image)), usage(usage), pool(pool) {
    if (container) {
        container->AddRef();
    }
}

Surface::~Surface() {
    if (container) {
        container->Release();
    }
}

HRESULT Surface::GetDevice(IDirect3DDevice9** result) {
    if (!result) {
        return Traced(this, "GetDevice", {}, D3DERR_INVALIDCALL);
    }
    device->AddRef();
    *result = device;
    return Traced(this, "GetDevice", {}, D3D_OK);
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) {
        return Traced(this, "GetDesc", {}, D3DERR_INVALIDCALL);
    }
    DescribeImage(*image, usage, pool, desc);
    return Traced(this, "GetDesc", {}, D3D_OK);
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    device->BeforePictureLock(*image);
    HRESULT result =
        FaultFires(Fault::TextureLock) ? D3DERR_INVALIDCALL : LockImage(*image, lockedRect, rect);
    return Traced(this, "LockRect", {Arg(rect), Arg(flags)}, result);
}

HRESULT Surface::UnlockRect() {
    return Traced(this, "UnlockRect", {}, UnlockImage(*image));
}

} // namespace platform::d3d9
