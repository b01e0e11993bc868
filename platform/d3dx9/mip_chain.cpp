// The colour key and the mip chain. Even sides take the plain 2 x 2 average; odd sides weight each
// source pixel by the part of it that a level's pixel covers (the area filter of the resizing), so no
// row or column is dropped.
#include "d3dx9/mip_chain.h"

#include "d3dx9/picture_resize.h"

#include <algorithm>

namespace platform::d3dx {

namespace {

Picture DownsampleEven(const Picture& source, uint32_t width, uint32_t height) {
    Picture target;
    target.width = width;
    target.height = height;
    target.pixels.resize(static_cast<size_t>(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* row0 = source.pixels.data() + static_cast<size_t>(2 * y) * source.width;
        const uint32_t* row1 = row0 + source.width;
        uint32_t* out = target.pixels.data() + static_cast<size_t>(y) * width;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t a = row0[2 * x], b = row0[2 * x + 1], c = row1[2 * x], d = row1[2 * x + 1];
            // Two channels at a time: the 0x00FF00FF lanes have room for four 8-bit sums plus 2.
            uint32_t evenSum =
                (a & 0x00FF00FF) + (b & 0x00FF00FF) + (c & 0x00FF00FF) + (d & 0x00FF00FF) + 0x00020002;
            uint32_t oddSum = ((a >> 8) & 0x00FF00FF) + ((b >> 8) & 0x00FF00FF) + ((c >> 8) & 0x00FF00FF) +
                              ((d >> 8) & 0x00FF00FF) + 0x00020002;
            out[x] = ((evenSum >> 2) & 0x00FF00FF) | (((oddSum >> 2) & 0x00FF00FF) << 8);
        }
    }
    return target;
}

} // namespace

void ApplyColorKey(Picture* picture, uint32_t key) {
    if (key == 0) {
        return;
    }
    for (uint32_t& pixel : picture->pixels) {
        if (pixel == key) {
            pixel = 0;
        }
    }
}

uint32_t FullMipCount(uint32_t width, uint32_t height) {
    uint32_t side = std::max(width, height);
    uint32_t count = 1;
    while (side > 1) {
        side >>= 1;
        ++count;
    }
    return count;
}

Picture Downsample(const Picture& source) {
    uint32_t width = std::max(1u, source.width / 2);
    uint32_t height = std::max(1u, source.height / 2);
    if (source.width % 2 == 0 && source.height % 2 == 0) {
        return DownsampleEven(source, width, height);
    }
    return Shrink(source, width, height, ResizeFilter::Area);
}

std::vector<Picture> BuildMipChain(Picture picture) {
    std::vector<Picture> chain;
    const uint32_t levels = FullMipCount(picture.width, picture.height);
    chain.reserve(levels);
    chain.push_back(std::move(picture));
    while (chain.size() < levels) {
        chain.push_back(Downsample(chain.back()));
    }
    return chain;
}

} // namespace platform::d3dx
