// The mip chain: level counts and sizes down to 1 x 1, exact 2 x 2 averages on even sides and
// area-weighted averages on odd sides.
#include "d3dx9/mip_chain.h"

#include <gtest/gtest.h>

namespace {

using platform::d3dx::Picture;

Picture Make(uint32_t width, uint32_t height, uint32_t (*pixel)(uint32_t x, uint32_t y)) {
    Picture picture{width, height, {}};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            picture.pixels.push_back(pixel(x, y));
        }
    }
    return picture;
}

TEST(MipChain, LevelCountsAndSizesGoDownToOnePixel) {
    struct Row {
        uint32_t width, height, levels;
    } rows[] = {{1, 1, 1}, {2, 1, 2}, {256, 256, 9}, {800, 600, 10}, {37, 23, 6}, {1, 100, 7}, {4096, 2, 13}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << "x" << row.height);
        EXPECT_EQ(platform::d3dx::FullMipCount(row.width, row.height), row.levels);
        auto chain = platform::d3dx::BuildMipChain(
            Make(row.width, row.height, [](uint32_t, uint32_t) { return 0xFF808080u; }));
        ASSERT_EQ(chain.size(), row.levels);
        uint32_t w = row.width, h = row.height;
        for (const Picture& level : chain) {
            EXPECT_EQ(level.width, w);
            EXPECT_EQ(level.height, h);
            ASSERT_EQ(level.pixels.size(), static_cast<size_t>(w) * h);
            EXPECT_EQ(level.pixels[0], 0xFF808080u) << "a flat picture stays flat";
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
    }
}

// Expected values from the box filter's definition, rounded to nearest with halves up: every channel
// of every 2 x 2 block of the even picture sums to 2 or 3 modulo 4, where truncating would give one
// less. On odd sides each level pixel covers 2.5 x 3 source pixels: weights 1, 1, 0.5 across.
TEST(MipChain, DownsamplingAveragesTwoByTwoBlocksAndWeighsOddRowsAndColumnsByTheirCoveredPart) {
    Picture even = Make(4, 2, [](uint32_t x, uint32_t y) {
        return (255 - 21 * x - 98 * y) << 24 | (3 + 41 * x + 5 * x * y + 100 * y) << 16 |
               (250 - 70 * x + 3 * y) << 8 | (7 + 29 * x * x + 13 * y + 2 * x * y);
    });
    Picture half = platform::d3dx::Downsample(even);
    ASSERT_EQ(half.width, 2u);
    ASSERT_EQ(half.height, 1u);
    EXPECT_EQ(half.pixels, (std::vector<uint32_t>{0xC44BD91Du, 0x9AA24D4Du}));

    Picture odd = Make(5, 3, [](uint32_t x, uint32_t y) {
        return (200 - 30 * y - 7 * x) << 24 | (50 * x + 3 * y) << 16 | (11 + 60 * y + x) << 8 |
               (255 - 45 * x - 20 * y);
    });
    Picture level = platform::d3dx::Downsample(odd);
    ASSERT_EQ(level.width, 2u);
    ASSERT_EQ(level.height, 1u);
    EXPECT_EQ(level.pixels, (std::vector<uint32_t>{0xA42B48C7u, 0x94A34A5Bu}));
}

} // namespace
