// Picks the reader for a file from its first bytes and gives every reader the same size checks
// before it allocates pixels.
#include "d3dx9/picture.h"

#include "d3dx9/bmp_reader.h"
#include "d3dx9/dds_reader.h"
#include "d3dx9/jpeg_reader.h"
#include "d3dx9/png_reader.h"

#include <new>

namespace platform::d3dx {

DecodeResult AllocatePicture(uint32_t width, uint32_t height, const DecodeLimits& limits, Picture* picture) {
    if (width == 0 || height == 0) {
        return DecodeResult::Invalid("picture has no pixels");
    }
    if (width > limits.maxWidth || height > limits.maxHeight ||
        static_cast<uint64_t>(width) * height > limits.maxPixels) {
        return {DECODE_TOO_LARGE,
                "picture " + std::to_string(width) + " x " + std::to_string(height) +
                    " is larger than a texture file may be (" + std::to_string(limits.maxWidth) + " x " +
                    std::to_string(limits.maxHeight) + ", " + std::to_string(limits.maxPixels) + " pixels)"};
    }
    try {
        picture->pixels.assign(static_cast<size_t>(width) * height, 0);
    } catch (const std::bad_alloc&) {
        return {DECODE_OUT_OF_MEMORY, "out of memory for the picture"};
    }
    picture->width = width;
    picture->height = height;
    return DecodeResult::Success();
}

FileFormat DetectFormat(const uint8_t* data, size_t size) {
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        return FileFormat::Bmp;
    }
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        return FileFormat::Jpeg;
    }
    if (size >= 4 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G') {
        return FileFormat::Png;
    }
    if (size >= 4 && data[0] == 'D' && data[1] == 'D' && data[2] == 'S' && data[3] == ' ') {
        return FileFormat::Dds;
    }
    return FileFormat::Unknown;
}

DecodeResult DecodePicture(const uint8_t* data, size_t size, const DecodeLimits& limits, Picture* picture) {
    *picture = Picture();
    DecodeResult result;
    switch (DetectFormat(data, size)) {
    case FileFormat::Bmp:
        result = DecodeBmp(data, size, limits, picture);
        break;
    case FileFormat::Jpeg:
        result = DecodeJpeg(data, size, limits, picture);
        break;
    case FileFormat::Png:
        result = DecodePng(data, size, limits, picture);
        break;
    case FileFormat::Dds:
        result = DecodeDds(data, size, limits, picture);
        break;
    case FileFormat::Unknown:
        result = DecodeResult::Invalid("unknown file format");
        break;
    }
    if (!result.Ok()) {
        *picture = Picture();
    }
    return result;
}

} // namespace platform::d3dx
