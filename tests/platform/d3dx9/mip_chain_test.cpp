// The mip chain: level counts and sizes down to 1 x 1, exact 2 x 2 averages on even sides, area-weighted
// averages that keep the mean colour on odd sides.
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

// Mean of one channel (0 blue .. 3 alpha) over a picture.
double Mean(const Picture& picture, int channel) {
    double sum = 0;
    for (uint32_t p : picture.pixels) {
        sum += (p >> (8 * channel)) & 0xFF;
    }
    return sum / picture.pixels.size();
}

TEST(MipChain, LevelCountsAndSizesGoDownToOnePixel) {
    struct Row {
        uint32_t width, height, levels;
    } rows[] = {{1, 1, 1}, {2, 1, 2}, {256, 256, 9}, {800, 600, 10}, {37, 23, 6}, {1, 100, 7}, {4096, 2, 13}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << "x" << row.height);
        EXPECT_EQ(platform::d3dx::FullMipCount(row.width, row.height), row.levels);
        auto chain = platform::d3dx::BuildMipChain(
            Make(row.width, row.height, [](uint32_t, uint32_t) { return 0xFF808080u; }), row.levels);
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
    Picture picture = Make(64, 64, [](uint32_t, uint32_t) { return 0u; });
    EXPECT_EQ(platform::d3dx::BuildMipChain(picture, 3).size(), 3u) << "a shorter chain on request";
    EXPECT_EQ(platform::d3dx::BuildMipChain(picture, 99).size(), 7u) << "never more than the full chain";
}

TEST(MipChain, DownsamplingAveragesTwoByTwoBlocksAndKeepsOddRowsAndColumns) {
    // Channels differ per pixel so that a mix-up of channels or neighbours shows.
    Picture even = Make(4, 2, [](uint32_t x, uint32_t y) {
        uint32_t v = x * 40 + y * 100;
        return (255u - v / 2) << 24 | v << 16 | (v / 2) << 8 | (255u - v);
    });
    Picture half = platform::d3dx::Downsample(even);
    ASSERT_EQ(half.width, 2u);
    ASSERT_EQ(half.height, 1u);
    EXPECT_EQ(half.pixels, (std::vector<uint32_t>{0xDC4623B9u, 0xB4964B69u}));

    // A bright last column and row must still show in the next level (plain 2 x 2 boxes drop them).
    Picture picture =
        Make(5, 3, [](uint32_t x, uint32_t y) { return (x == 4 || y == 2) ? 0xFFFFFFFFu : 0xFF000000u; });
    Picture level = platform::d3dx::Downsample(picture);
    ASSERT_EQ(level.width, 2u);
    ASSERT_EQ(level.height, 1u);
    EXPECT_GT(level.pixels[1] & 0xFF, level.pixels[0] & 0xFF) << "the right pixel holds the bright column";
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_NEAR(Mean(level, channel), Mean(picture, channel), 1.0) << "channel " << channel;
    }
    Picture ramp = Make(
        37, 23, [](uint32_t x, uint32_t y) { return 0xFF000000u | (x * 6) << 16 | (y * 11) << 8 | 77u; });
    for (const Picture& mip : platform::d3dx::BuildMipChain(ramp, 6)) {
        SCOPED_TRACE(testing::Message() << mip.width << "x" << mip.height);
        EXPECT_NEAR(Mean(mip, 2), Mean(ramp, 2), 1.0);
        EXPECT_NEAR(Mean(mip, 1), Mean(ramp, 1), 1.0);
        EXPECT_EQ(mip.pixels[0] & 0xFF, 77u);
    }
}

} // namespace
