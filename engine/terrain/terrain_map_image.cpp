// The map image: the terrain's height, light and offset samples and its level and tile fields in
// one little-endian block behind a 680-byte header, written into a caller's buffer and read back,
// also from "Map\map1.cap". An image is checked completely before the terrain is replaced by it.
#include "terrain/terrain_manager.h"

#include "win32/file_access.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr uint32_t HEADER_BYTES = 680;
constexpr size_t TOTAL_AT = 0;
constexpr size_t WIDTH_AT = 12;
constexpr size_t HEIGHT_AT = 16;
constexpr size_t LIGHT_OFFSET_AT = 20;
constexpr size_t HEIGHT_OFFSET_AT = 24;
constexpr size_t FLOAT_OFFSET_AT = 28;
constexpr size_t LEVEL_OFFSET_AT = 32;
constexpr size_t TILE_OFFSET_AT = 36;
constexpr int PATCH_SIZE = 4;

void PutU32(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value >> 16);
    at[3] = static_cast<unsigned char>(value >> 24);
}

uint32_t GetU32(const unsigned char* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

// The layout that an image of w x h samples has.
struct ImageLayout {
    uint32_t total;
    uint32_t heightOffset;
    uint32_t lightOffset;
    uint32_t floatOffset;
    uint32_t levelOffset;
    uint32_t tileOffset;
    uint32_t samples;
    uint32_t fieldBytes;
};

ImageLayout LayoutFor(uint32_t w, uint32_t h) {
    const uint32_t wh = w * h;
    const uint32_t fieldBytes = (w / PATCH_SIZE) * (h / PATCH_SIZE);
    return {HEADER_BYTES + 6 * wh + 2 * fieldBytes,
            HEADER_BYTES,
            HEADER_BYTES + wh,
            HEADER_BYTES + 2 * wh,
            HEADER_BYTES + 6 * wh,
            HEADER_BYTES + 6 * wh + fieldBytes,
            wh,
            fieldBytes};
}

// An image is accepted when its size lies within the map limits and its total and every block offset
// are those of that size.
bool ReadLayout(const unsigned char* image, ImageLayout* layout) {
    const uint32_t w = GetU32(image + WIDTH_AT);
    const uint32_t h = GetU32(image + HEIGHT_AT);
    if (w < uint32_t(SMALLEST_MAP_SIDE) || w > uint32_t(LARGEST_MAP_SIDE) ||
        h < uint32_t(SMALLEST_MAP_SIDE) || h > uint32_t(LARGEST_MAP_SIDE)) {
        return false;
    }
    const ImageLayout expected = LayoutFor(w, h);
    if (GetU32(image + TOTAL_AT) != expected.total ||
        GetU32(image + HEIGHT_OFFSET_AT) != expected.heightOffset ||
        GetU32(image + LIGHT_OFFSET_AT) != expected.lightOffset ||
        GetU32(image + FLOAT_OFFSET_AT) != expected.floatOffset ||
        GetU32(image + LEVEL_OFFSET_AT) != expected.levelOffset ||
        GetU32(image + TILE_OFFSET_AT) != expected.tileOffset) {
        return false;
    }
    *layout = expected;
    return true;
}

} // namespace

bool TerrainManager::GetSaveMap(unsigned char** buf, unsigned long* size) {
    if (buf == nullptr || *buf == nullptr || size == nullptr || byteHighMap == nullptr ||
        byteLightMap == nullptr || floatOwnHeightMap == nullptr || ebeneFeld == nullptr ||
        tileFeld == nullptr) {
        return false;
    }
    const ImageLayout layout = LayoutFor(uint32_t(mapWidth), uint32_t(mapHeight));
    const uint32_t fieldBytes = uint32_t(gridWidth * gridHeight);
    unsigned char* out = *buf;
    std::memset(out, 0, HEADER_BYTES);
    PutU32(out + TOTAL_AT, layout.total);
    PutU32(out + WIDTH_AT, uint32_t(mapWidth));
    PutU32(out + HEIGHT_AT, uint32_t(mapHeight));
    PutU32(out + LIGHT_OFFSET_AT, layout.lightOffset);
    PutU32(out + HEIGHT_OFFSET_AT, layout.heightOffset);
    PutU32(out + FLOAT_OFFSET_AT, layout.floatOffset);
    PutU32(out + LEVEL_OFFSET_AT, layout.levelOffset);
    PutU32(out + TILE_OFFSET_AT, layout.tileOffset);
    std::memcpy(out + layout.heightOffset, byteHighMap, layout.samples);
    std::memcpy(out + layout.lightOffset, byteLightMap, layout.samples);
    // The floats are stored little-endian, as they lie in memory on this machine.
    std::memcpy(out + layout.floatOffset, floatOwnHeightMap, size_t(layout.samples) * sizeof(float));
    std::memcpy(out + layout.levelOffset, ebeneFeld, fieldBytes);
    std::memcpy(out + layout.tileOffset, tileFeld, fieldBytes);
    *size = layout.total;
    return true;
}

bool TerrainManager::LoadMap(unsigned char** image) {
    if (image == nullptr || *image == nullptr || bufferManager == nullptr) {
        return false;
    }
    const unsigned char* source = *image;
    ImageLayout layout;
    // A map with more patches than the buffer pool can hold would be left half built: it is refused
    // while the current terrain is still whole.
    if (!ReadLayout(source, &layout) ||
        !BufferPoolHoldsPatches(int(GetU32(source + WIDTH_AT)) / PATCH_SIZE,
                                int(GetU32(source + HEIGHT_AT)) / PATCH_SIZE)) {
        return false;
    }
    // Copy everything first, so that a failed allocation leaves the current terrain as it is.
    auto* heights = static_cast<unsigned char*>(std::malloc(layout.samples));
    auto* light = static_cast<unsigned char*>(std::malloc(layout.samples));
    auto* offsets = static_cast<float*>(std::malloc(size_t(layout.samples) * sizeof(float)));
    auto* levels = new (std::nothrow) unsigned char[layout.fieldBytes];
    auto* tiles = new (std::nothrow) unsigned char[layout.fieldBytes];
    if (heights == nullptr || light == nullptr || offsets == nullptr || levels == nullptr ||
        tiles == nullptr) {
        std::free(heights);
        std::free(light);
        std::free(offsets);
        delete[] levels;
        delete[] tiles;
        return false;
    }
    std::memcpy(tiles, source + layout.tileOffset, layout.fieldBytes);
    std::memcpy(levels, source + layout.levelOffset, layout.fieldBytes);
    std::memcpy(heights, source + layout.heightOffset, layout.samples);
    std::memcpy(light, source + layout.lightOffset, layout.samples);
    std::memcpy(offsets, source + layout.floatOffset, size_t(layout.samples) * sizeof(float));

    ReleasePatches();
    ReleaseMapsAndFields();
    mapWidth = int(GetU32(source + WIDTH_AT));
    mapHeight = int(GetU32(source + HEIGHT_AT));
    tileFeld = tiles;
    ebeneFeld = levels;
    byteHighMap = heights;
    byteLightMap = light;
    floatOwnHeightMap = offsets;
    return CreateTerrainMeshes();
}

bool TerrainManager::LoadMapFromFilename(const char*) {
    // No image of an accepted map is larger than that of the largest one: a larger file is refused
    // before it is read.
    const size_t largestImage = LayoutFor(LARGEST_MAP_SIDE, LARGEST_MAP_SIDE).total;
    std::vector<unsigned char> contents;
    if (platform::ReadDataFile("Map\\map1.cap", largestImage, &contents) != platform::FileReadResult::Ok) {
        return false;
    }
    // The header's total must fit the file; LoadMap checks the rest of the header against it.
    if (contents.size() < HEADER_BYTES || GetU32(contents.data() + TOTAL_AT) > contents.size()) {
        return false;
    }
    unsigned char* image = contents.data();
    return LoadMap(&image);
}
