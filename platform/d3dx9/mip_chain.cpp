// The colour key and the mip chain. Even sides take the plain 2 x 2 average; odd sides weight each
// source pixel by the part of it that a level's pixel covers, so no row or column is dropped.
#include "d3dx9/mip_chain.h"

#include <algorithm>

namespace platform::d3dx {

namespace {

// Source pixels covered by destination pixel i when `source` pixels shrink to `target`, with the
// covered fraction of each (in source pixels, summing to source / target).
struct Span {
    uint32_t first = 0;
    std::vector<float> weights;
};

std::vector<Span> Spans(uint32_t source, uint32_t target) {
    std::vector<Span> spans(target);
    double scale = static_cast<double>(source) / target;
    for (uint32_t i = 0; i < target; ++i) {
        double begin = i * scale;
        double end = (i + 1) * scale;
        uint32_t first = static_cast<uint32_t>(begin);
        spans[i].first = first;
        for (uint32_t s = first; s < source && s < end; ++s) {
            double covered = std::min<double>(end, s + 1.0) - std::max<double>(begin, s);
            spans[i].weights.push_back(static_cast<float>(covered / scale));
        }
    }
    return spans;
}

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

Picture DownsampleWeighted(const Picture& source, uint32_t width, uint32_t height) {
    std::vector<Span> columns = Spans(source.width, width);
    std::vector<Span> rows = Spans(source.height, height);
    // Horizontal pass into floats, then the vertical pass.
    std::vector<float> horizontal(static_cast<size_t>(width) * source.height * 4);
    for (uint32_t y = 0; y < source.height; ++y) {
        const uint32_t* in = source.pixels.data() + static_cast<size_t>(y) * source.width;
        float* out = horizontal.data() + static_cast<size_t>(y) * width * 4;
        for (uint32_t x = 0; x < width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < columns[x].weights.size(); ++k) {
                uint32_t pixel = in[columns[x].first + k];
                float w = columns[x].weights[k];
                for (int c = 0; c < 4; ++c) {
                    sum[c] += w * static_cast<float>((pixel >> (8 * c)) & 0xFF);
                }
            }
            std::copy(sum, sum + 4, out + 4 * x);
        }
    }
    Picture target;
    target.width = width;
    target.height = height;
    target.pixels.resize(static_cast<size_t>(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < rows[y].weights.size(); ++k) {
                const float* in =
                    horizontal.data() + (static_cast<size_t>(rows[y].first + k) * width + x) * 4;
                for (int c = 0; c < 4; ++c) {
                    sum[c] += rows[y].weights[k] * in[c];
                }
            }
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) {
                int value = static_cast<int>(sum[c] + 0.5f);
                pixel |= static_cast<uint32_t>(std::clamp(value, 0, 255)) << (8 * c);
            }
            target.pixels[static_cast<size_t>(y) * width + x] = pixel;
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
    return DownsampleWeighted(source, width, height);
}

std::vector<Picture> BuildMipChain(Picture picture, uint32_t levels) {
    std::vector<Picture> chain;
    levels = std::clamp(levels, 1u, FullMipCount(picture.width, picture.height));
    chain.reserve(levels);
    chain.push_back(std::move(picture));
    while (chain.size() < levels) {
        chain.push_back(Downsample(chain.back()));
    }
    return chain;
}

} // namespace platform::d3dx
