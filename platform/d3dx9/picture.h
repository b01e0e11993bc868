// The picture every texture file reader produces: A8R8G8B8 pixels, top row first, at the file's own
// size, the limits on its size, and the outcome of a decode (a result code with a short reason that tests can
// read).
#pragma once

#include "win32/windows_base.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dx {

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels; // width * height, 0xAARRGGBB
};

// The largest picture a reader may produce; larger files are refused before any pixel is decoded.
// The defaults bound the memory a file can make the loader take to half a gigabyte of pixels, beyond
// the photos of today's cameras (a 108-megapixel photo is 12000 x 9000).
struct DecodeLimits {
    uint32_t maxWidth = 32768;
    uint32_t maxHeight = 32768;
    uint64_t maxPixels = uint64_t{1} << 27;
};

// Result codes of the readers (the values of the D3DX and Direct3D codes of the same meaning).
constexpr HRESULT DECODE_INVALID_DATA = static_cast<HRESULT>(0x88760B59u);
constexpr HRESULT DECODE_TOO_LARGE = static_cast<HRESULT>(0x8876086Au);
constexpr HRESULT DECODE_OUT_OF_MEMORY = static_cast<HRESULT>(0x8007000Eu);

struct DecodeResult {
    HRESULT code = S_OK;
    std::string reason; // empty on success

    bool Ok() const { return code == S_OK; }
    static DecodeResult Success() { return {}; }
    static DecodeResult Invalid(std::string why) { return {DECODE_INVALID_DATA, std::move(why)}; }
};

// Refuses a size of zero or beyond the limits; allocates the pixels otherwise.
DecodeResult AllocatePicture(uint32_t width, uint32_t height, const DecodeLimits& limits, Picture* picture);

enum class FileFormat { Unknown, Bmp, Jpeg, Png, Dds };

// The format from the first bytes of the file; the name's extension plays no part.
FileFormat DetectFormat(const uint8_t* data, size_t size);

// Decodes any supported format.
DecodeResult DecodePicture(const uint8_t* data, size_t size, const DecodeLimits& limits, Picture* picture);

} // namespace platform::d3dx
