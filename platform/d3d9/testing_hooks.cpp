// The test hooks: the call trace, fault injection, the settable maximum texture size, and reads of
// a device's back buffer and depth buffer (also as PNG files).
#include "d3d9/call_trace.h"
#include "d3d9/device.h"

#include <png.h>

#include <array>
#include <cstdio>
#include <mutex>

namespace platform::d3d9 {

std::atomic<bool> traceEnabled{false};

namespace {

constexpr DWORD DEFAULT_MAX_TEXTURE_SIZE = 4096;

struct FaultCounter {
    int skip = 0;
    int count = 0; // < 0: until cleared
};

struct Hooks {
    std::mutex mutex;
    std::vector<TracedCall> trace;
    std::array<FaultCounter, static_cast<size_t>(Fault::Count)> faults{};
    std::atomic<bool> anyFault{false};
    DWORD maxTextureWidth = DEFAULT_MAX_TEXTURE_SIZE;
    DWORD maxTextureHeight = DEFAULT_MAX_TEXTURE_SIZE;
};

Hooks& GetHooks() {
    static Hooks hooks;
    return hooks;
}

} // namespace

void RecordCall(const void* object, const char* method, std::initializer_list<uint64_t> args,
                HRESULT result) {
    Hooks& hooks = GetHooks();
    std::lock_guard lock(hooks.mutex);
    hooks.trace.push_back(TracedCall{object, method, std::vector<uint64_t>(args), result});
}

bool FaultFires(Fault fault) {
    Hooks& hooks = GetHooks();
    if (!hooks.anyFault.load(std::memory_order_relaxed)) {
        return false;
    }
    std::lock_guard lock(hooks.mutex);
    FaultCounter& counter = hooks.faults[static_cast<size_t>(fault)];
    if (counter.count == 0) {
        return false;
    }
    if (counter.skip > 0) {
        --counter.skip;
        return false;
    }
    if (counter.count > 0) {
        --counter.count;
    }
    return true;
}

DWORD CurrentMaxTextureWidth() {
    return GetHooks().maxTextureWidth;
}
DWORD CurrentMaxTextureHeight() {
    return GetHooks().maxTextureHeight;
}

std::string TracedCall::ToString() const {
    return FormatCall(method, args);
}

std::string FormatCall(const std::string& method, const std::vector<uint64_t>& args) {
    std::string text = method + "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += std::to_string(args[i]);
    }
    return text + ")";
}

uint64_t FloatArg(float value) {
    return Arg(value);
}

void EnableCallTrace(bool enabled) {
    traceEnabled.store(enabled);
}

void ClearCallTrace() {
    Hooks& hooks = GetHooks();
    std::lock_guard lock(hooks.mutex);
    hooks.trace.clear();
}

std::vector<TracedCall> CallTrace() {
    Hooks& hooks = GetHooks();
    std::lock_guard lock(hooks.mutex);
    return hooks.trace;
}

std::vector<std::string> CallTraceLines(const std::string& method) {
    std::vector<std::string> lines;
    for (const TracedCall& call : CallTrace()) {
        if (method.empty() || call.method == method) {
            lines.push_back(call.ToString());
        }
    }
    return lines;
}

void InjectFault(Fault fault, int skip, int count) {
    if (fault == Fault::Count) {
        return;
    }
    Hooks& hooks = GetHooks();
    std::lock_guard lock(hooks.mutex);
    hooks.faults[static_cast<size_t>(fault)] = FaultCounter{skip < 0 ? 0 : skip, count};
    hooks.anyFault.store(true);
}

void ClearFaults() {
    Hooks& hooks = GetHooks();
    std::lock_guard lock(hooks.mutex);
    hooks.faults.fill(FaultCounter{});
    hooks.anyFault.store(false);
}

void SetMaxTextureSize(DWORD width, DWORD height) {
    GetHooks().maxTextureWidth = width;
    GetHooks().maxTextureHeight = height;
}

void ResetMaxTextureSize() {
    SetMaxTextureSize(DEFAULT_MAX_TEXTURE_SIZE, DEFAULT_MAX_TEXTURE_SIZE);
}

D3DCOLOR ReadBackBufferPixel(IDirect3DDevice9* device, int x, int y) {
    if (!device) {
        return 0;
    }
    const Image& image = static_cast<Device*>(device)->BackBuffer();
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) {
        return 0;
    }
    uint32_t pixel;
    std::memcpy(&pixel, image.bits.data() + static_cast<size_t>(y) * image.pitch + static_cast<size_t>(x) * 4,
                4);
    return pixel | 0xFF000000u;
}

WORD ReadDepthValue(IDirect3DDevice9* device, int x, int y) {
    if (!device) {
        return 0;
    }
    const Image* image = static_cast<Device*>(device)->DepthBuffer();
    if (!image || x < 0 || y < 0 || x >= image->width || y >= image->height) {
        return 0;
    }
    uint16_t value;
    std::memcpy(&value,
                image->bits.data() + static_cast<size_t>(y) * image->pitch + static_cast<size_t>(x) * 2, 2);
    return value;
}

bool CopyBackBuffer(IDirect3DDevice9* device, std::vector<uint32_t>* pixels, int* width, int* height) {
    if (!device || !pixels) {
        return false;
    }
    const Image& image = static_cast<Device*>(device)->BackBuffer();
    pixels->resize(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            (*pixels)[static_cast<size_t>(y) * image.width + x] = ReadBackBufferPixel(device, x, y);
        }
    }
    if (width) {
        *width = image.width;
    }
    if (height) {
        *height = image.height;
    }
    return true;
}

namespace {

// Writes an X8R8G8B8 picture as an RGB PNG file.
bool WritePixelsPng(const char* path, const uint32_t* pixels, int width, int height, int pitchPixels) {
    if (!path || !pixels || width <= 0 || height <= 0) {
        return false;
    }
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info;
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            const uint32_t* source = pixels + static_cast<size_t>(y) * pitchPixels;
            for (int x = 0; x < width; ++x) {
                row[3 * static_cast<size_t>(x)] = static_cast<png_byte>(source[x] >> 16);
                row[3 * static_cast<size_t>(x) + 1] = static_cast<png_byte>(source[x] >> 8);
                row[3 * static_cast<size_t>(x) + 2] = static_cast<png_byte>(source[x]);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return std::fclose(file) == 0 && ok;
}

} // namespace

bool WriteBackBufferPng(IDirect3DDevice9* device, const char* path) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    return CopyBackBuffer(device, &pixels, &width, &height) &&
           WritePixelsPng(path, pixels.data(), width, height, width);
}

bool InScene(IDirect3DDevice9* device) {
    return device && static_cast<Device*>(device)->InScene();
}

uint64_t RepeatedFrameCount(IDirect3DDevice9* device) {
    return device ? static_cast<Device*>(device)->RepeatedFrames() : 0;
}

} // namespace platform::d3d9
