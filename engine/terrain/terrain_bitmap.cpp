// Reading the height and light maps from 8-bit palettised BMP files. The palette index of a pixel is
// its sample value; sample row 0 is the first row stored in the file (the bottom row of the picture).
// A file is checked completely before anything of the terrain changes.
#include "terrain/terrain_manager.h"

#include "win32/file_access.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t FILE_HEADER_BYTES = 14;
constexpr size_t INFO_HEADER_BYTES = 40;
// The bitmap of the largest map: its pixel rows (that width needs no row padding) and room for the
// headers, the palette and a colour profile. A larger file is refused before it is read.
constexpr size_t LARGEST_BITMAP_BYTES = size_t(LARGEST_MAP_SIDE) * size_t(LARGEST_MAP_SIDE) + 64 * 1024;

uint32_t ReadU32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

uint16_t ReadU16(const unsigned char* bytes) {
    return uint16_t(bytes[0] | bytes[1] << 8);
}

struct Bitmap8 {
    unsigned char* samples = nullptr; // malloc block of width * height bytes, rows without padding
    int width = 0;
    int height = 0;
};

// Reads and checks the whole file: signature, an uncompressed 8-bit picture with its palette, a
// bottom-up size within the map limits, and every padded pixel row present.
bool ReadBitmap8(const char* path, Bitmap8* bitmap) {
    std::vector<unsigned char> contents;
    if (platform::ReadDataFile(path, LARGEST_BITMAP_BYTES, &contents) != platform::FileReadResult::Ok) {
        return false;
    }

    if (contents.size() < FILE_HEADER_BYTES + INFO_HEADER_BYTES || contents[0] != 'B' || contents[1] != 'M') {
        return false;
    }
    const unsigned char* info = contents.data() + FILE_HEADER_BYTES;
    const uint32_t dataOffset = ReadU32(contents.data() + 10);
    const uint32_t infoSize = ReadU32(info);
    const auto width = static_cast<int32_t>(ReadU32(info + 4));
    const auto height = static_cast<int32_t>(ReadU32(info + 8));
    const uint16_t planes = ReadU16(info + 12);
    const uint16_t bitCount = ReadU16(info + 14);
    const uint32_t compression = ReadU32(info + 16);
    const uint32_t coloursUsed = ReadU32(info + 32);
    if (infoSize < INFO_HEADER_BYTES || planes != 1 || bitCount != 8 || compression != 0 ||
        coloursUsed > 256) {
        return false;
    }
    if (width < SMALLEST_MAP_SIDE || width > LARGEST_MAP_SIDE || height < SMALLEST_MAP_SIDE ||
        height > LARGEST_MAP_SIDE) {
        return false;
    }
    const uint64_t paletteBytes = uint64_t(coloursUsed == 0 ? 256 : coloursUsed) * 4;
    const uint64_t stride = (uint64_t(width) + 3) & ~uint64_t(3);
    if (dataOffset < FILE_HEADER_BYTES + uint64_t(infoSize) + paletteBytes ||
        dataOffset + stride * uint64_t(height) > contents.size()) {
        return false;
    }

    auto* samples = static_cast<unsigned char*>(std::malloc(size_t(width) * size_t(height)));
    if (samples == nullptr) {
        return false;
    }
    for (int32_t row = 0; row < height; ++row) {
        std::memcpy(samples + size_t(row) * size_t(width), contents.data() + dataOffset + stride * row,
                    size_t(width));
    }
    bitmap->samples = samples;
    bitmap->width = width;
    bitmap->height = height;
    return true;
}

} // namespace

bool TerrainManager::CreateByteHighMapFromBMP8(const char* path) {
    Bitmap8 bitmap;
    if (!ReadBitmap8(path, &bitmap)) {
        return false;
    }
    // A new height map no longer fits the light map of another size, nor the offsets made for it.
    if (bitmap.width != mapWidth || bitmap.height != mapHeight) {
        std::free(byteLightMap);
        std::free(floatOwnHeightMap);
        byteLightMap = nullptr;
        floatOwnHeightMap = nullptr;
    }
    std::free(byteHighMap);
    byteHighMap = bitmap.samples;
    mapWidth = bitmap.width;
    mapHeight = bitmap.height;
    return true;
}

bool TerrainManager::CreateByteLightMapFromBMP8(const char* path) {
    Bitmap8 bitmap;
    if (!ReadBitmap8(path, &bitmap)) {
        return false;
    }
    // The meshes read both maps with one width and height: a light map of another size is refused.
    if (byteHighMap != nullptr && (bitmap.width != mapWidth || bitmap.height != mapHeight)) {
        std::free(bitmap.samples);
        return false;
    }
    std::free(byteLightMap);
    byteLightMap = bitmap.samples;
    mapWidth = bitmap.width;
    mapHeight = bitmap.height;
    return true;
}
