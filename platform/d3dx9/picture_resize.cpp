// The filters in exact integer arithmetic. Positions are measured in fractions of a pixel whose
// denominator makes every edge and centre an integer: destination pixel i covers the source from
// i * source / target to (i + 1) * source / target, and its centre lies at (2i + 1) * source / (2 target).
#include "d3dx9/picture_resize.h"

#include <algorithm>

namespace platform::d3dx {

namespace {

uint32_t Channel(uint32_t pixel, int channel) {
    return (pixel >> (8 * channel)) & 0xFF;
}

Picture Blank(uint32_t width, uint32_t height) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<size_t>(width) * height);
    return picture;
}

const uint32_t* RowOf(const Picture& picture, uint32_t y) {
    return picture.pixels.data() + static_cast<size_t>(y) * picture.width;
}

// The source pixels that destination pixel i covers, from `first` on, with the covered length of each
// in 1/target of a source pixel; the lengths of one destination pixel add up to `source`.
struct Span {
    uint32_t first = 0;
    std::vector<uint32_t> lengths;
};

std::vector<Span> AreaSpans(uint32_t source, uint32_t target) {
    std::vector<Span> spans(target);
    uint64_t begin = 0;
    for (Span& span : spans) {
        const uint64_t end = begin + source;
        span.first = static_cast<uint32_t>(begin / target);
        for (uint64_t s = span.first; s * target < end; ++s) {
            uint64_t covered = std::min(end, (s + 1) * target) - std::max(begin, s * target);
            span.lengths.push_back(static_cast<uint32_t>(covered));
        }
        begin = end;
    }
    return spans;
}

Picture ShrinkArea(const Picture& source, uint32_t width, uint32_t height) {
    const std::vector<Span> columns = AreaSpans(source.width, width);
    const std::vector<Span> rows = AreaSpans(source.height, height);
    const uint64_t whole = static_cast<uint64_t>(source.width) * source.height;
    Picture target = Blank(width, height);
    std::vector<uint32_t> across(static_cast<size_t>(width) * 4); // one source row, shrunk across
    std::vector<uint64_t> sums(static_cast<size_t>(width) * 4);
    for (uint32_t y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (size_t k = 0; k < rows[y].lengths.size(); ++k) {
            const uint32_t* in = RowOf(source, rows[y].first + static_cast<uint32_t>(k));
            for (uint32_t x = 0; x < width; ++x) {
                uint32_t sum[4] = {0, 0, 0, 0};
                for (size_t j = 0; j < columns[x].lengths.size(); ++j) {
                    uint32_t pixel = in[columns[x].first + j];
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += columns[x].lengths[j] * Channel(pixel, c);
                    }
                }
                std::copy(sum, sum + 4, across.begin() + 4 * x);
            }
            for (size_t i = 0; i < sums.size(); ++i) {
                sums[i] += static_cast<uint64_t>(rows[y].lengths[k]) * across[i];
            }
        }
        uint32_t* out = target.pixels.data() + static_cast<size_t>(y) * width;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) {
                pixel |= static_cast<uint32_t>((sums[4 * x + c] + whole / 2) / whole) << (8 * c);
            }
            out[x] = pixel;
        }
    }
    return target;
}

// The source pixel under the centre of each destination pixel.
std::vector<uint32_t> Nearest(uint32_t source, uint32_t target) {
    std::vector<uint32_t> nearest(target);
    uint64_t centre = source; // (2i + 1) * source / (2 target) for pixel i
    for (uint32_t& pixel : nearest) {
        pixel = static_cast<uint32_t>(centre / (2 * static_cast<uint64_t>(target)));
        centre += 2 * static_cast<uint64_t>(source);
    }
    return nearest;
}

// The two source pixels around the centre of a destination pixel, and how far the centre lies from
// the first towards the second, in 1/(2 target) of a pixel. A centre past the last pixel's centre
// takes that pixel alone.
struct Between {
    uint32_t first = 0;
    uint32_t second = 0;
    uint32_t fraction = 0;
};

std::vector<Between> Interpolation(uint32_t source, uint32_t target) {
    std::vector<Between> between(target);
    const uint64_t unit = 2 * static_cast<uint64_t>(target);
    // The centre less half a source pixel, the distance from the first source pixel's centre:
    // (2i + 1) * source - target for pixel i (never negative, as the source is not smaller).
    uint64_t position = source - target;
    for (Between& pixel : between) {
        pixel.first = static_cast<uint32_t>(position / unit);
        pixel.second = std::min(pixel.first + 1, source - 1);
        pixel.fraction = static_cast<uint32_t>(position % unit);
        position += 2 * static_cast<uint64_t>(source);
    }
    return between;
}

Picture ShrinkLinear(const Picture& source, uint32_t width, uint32_t height) {
    const std::vector<Between> columns = Interpolation(source.width, width);
    const std::vector<Between> rows = Interpolation(source.height, height);
    const uint64_t unitX = 2 * static_cast<uint64_t>(width);
    const uint64_t unitY = 2 * static_cast<uint64_t>(height);
    const uint64_t whole = unitX * unitY;
    Picture target = Blank(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* upper = RowOf(source, rows[y].first);
        const uint32_t* lower = RowOf(source, rows[y].second);
        const uint64_t down = rows[y].fraction;
        for (uint32_t x = 0; x < width; ++x) {
            const Between& column = columns[x];
            const uint64_t right = column.fraction;
            const uint64_t weights[4] = {(unitX - right) * (unitY - down), right * (unitY - down),
                                         (unitX - right) * down, right * down};
            const uint32_t corners[4] = {upper[column.first], upper[column.second], lower[column.first],
                                         lower[column.second]};
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) {
                uint64_t sum = whole / 2;
                for (int k = 0; k < 4; ++k) {
                    sum += weights[k] * Channel(corners[k], c);
                }
                pixel |= static_cast<uint32_t>(sum / whole) << (8 * c);
            }
            target.pixels[static_cast<size_t>(y) * width + x] = pixel;
        }
    }
    return target;
}

Picture ShrinkPoint(const Picture& source, uint32_t width, uint32_t height) {
    const std::vector<uint32_t> columns = Nearest(source.width, width);
    const std::vector<uint32_t> rows = Nearest(source.height, height);
    Picture target = Blank(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* in = RowOf(source, rows[y]);
        for (uint32_t x = 0; x < width; ++x) {
            target.pixels[static_cast<size_t>(y) * width + x] = in[columns[x]];
        }
    }
    return target;
}

Picture Cut(const Picture& source, uint32_t width, uint32_t height) {
    Picture target = Blank(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        std::copy_n(RowOf(source, y), width, target.pixels.begin() + static_cast<ptrdiff_t>(y) * width);
    }
    return target;
}

} // namespace

Picture Shrink(const Picture& source, uint32_t width, uint32_t height, ResizeFilter filter) {
    switch (filter) {
    case ResizeFilter::None:
        return Cut(source, width, height);
    case ResizeFilter::Point:
        return ShrinkPoint(source, width, height);
    case ResizeFilter::Linear:
        return ShrinkLinear(source, width, height);
    case ResizeFilter::Area:
        break;
    }
    return ShrinkArea(source, width, height);
}

} // namespace platform::d3dx
