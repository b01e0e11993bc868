// Picture variants ImageMagick does not write, built byte by byte: DDS pixel formats of 8 to 32
// bits, top-down and run-length encoded 4-bit BMP files, 16-bit BMP without bit fields, and DXT
// blocks whose decoded colours are known exactly.
#include "picture_files.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using platform::d3dx::DecodeResult;
using platform::d3dx::Picture;

void Put32(std::vector<uint8_t>* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes->push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void Put16(std::vector<uint8_t>* bytes, uint16_t value) {
    bytes->push_back(static_cast<uint8_t>(value));
    bytes->push_back(static_cast<uint8_t>(value >> 8));
}

// A DDS header for an uncompressed (fourCC 0) or compressed picture.
std::vector<uint8_t> DdsHeader(uint32_t width, uint32_t height, uint32_t formatFlags, uint32_t fourCC,
                               uint32_t bitCount, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    std::vector<uint8_t> bytes = {'D', 'D', 'S', ' '};
    Put32(&bytes, 124);
    Put32(&bytes, 0x1007); // caps, height, width, pixel format
    Put32(&bytes, height);
    Put32(&bytes, width);
    Put32(&bytes, 0);
    Put32(&bytes, 0);
    Put32(&bytes, 0);
    for (int i = 0; i < 11; ++i) {
        Put32(&bytes, 0);
    }
    Put32(&bytes, 32);
    Put32(&bytes, formatFlags);
    Put32(&bytes, fourCC);
    Put32(&bytes, bitCount);
    Put32(&bytes, r);
    Put32(&bytes, g);
    Put32(&bytes, b);
    Put32(&bytes, a);
    Put32(&bytes, 0x1000);
    for (int i = 0; i < 4; ++i) {
        Put32(&bytes, 0);
    }
    EXPECT_EQ(bytes.size(), 128u);
    return bytes;
}

constexpr uint32_t RGB = 0x40, ALPHA_PIXELS = 0x1, LUMINANCE = 0x20000, FOURCC = 0x4;

TEST(HandMadeFiles, DdsPixelFormatsExpandToFullRange) {
    struct Row {
        const char* name;
        uint32_t flags, bitCount, r, g, b, a;
        std::vector<uint32_t> values; // two pixels as stored
        uint32_t expected[2];
    } rows[] = {
        {"A8R8G8B8",
         RGB | ALPHA_PIXELS,
         32,
         0xFF0000,
         0xFF00,
         0xFF,
         0xFF000000u,
         {0x80123456u, 0x00FFFFFFu},
         {0x80123456u, 0x00FFFFFFu}},
        {"X8R8G8B8",
         RGB,
         32,
         0xFF0000,
         0xFF00,
         0xFF,
         0,
         {0x00123456u, 0x7FABCDEFu},
         {0xFF123456u, 0xFFABCDEFu}},
        {"A8B8G8R8",
         RGB | ALPHA_PIXELS,
         32,
         0xFF,
         0xFF00,
         0xFF0000,
         0xFF000000u,
         {0x40563412u, 0xFF000000u},
         {0x40123456u, 0xFF000000u}},
        {"R8G8B8", RGB, 24, 0xFF0000, 0xFF00, 0xFF, 0, {0x123456u, 0xFFFFFFu}, {0xFF123456u, 0xFFFFFFFFu}},
        {"A4R4G4B4",
         RGB | ALPHA_PIXELS,
         16,
         0x0F00,
         0x00F0,
         0x000F,
         0xF000,
         {0xF0F0u, 0x1234u},
         {0xFF00FF00u, 0x11223344u}},
        {"A1R5G5B5",
         RGB | ALPHA_PIXELS,
         16,
         0x7C00,
         0x03E0,
         0x001F,
         0x8000,
         {0x801Fu, 0x7C00u},
         {0xFF0000FFu, 0x00FF0000u}},
        {"X1R5G5B5", RGB, 16, 0x7C00, 0x03E0, 0x001F, 0, {0x03E0u, 0x8000u}, {0xFF00FF00u, 0xFF000000u}},
        {"R5G6B5", RGB, 16, 0xF800, 0x07E0, 0x001F, 0, {0xF800u, 0x0400u}, {0xFFFF0000u, 0xFF008200u}},
        {"L8", LUMINANCE, 8, 0xFF, 0, 0, 0, {0x00u, 0x80u}, {0xFF000000u, 0xFF808080u}},
        {"A8L8",
         LUMINANCE | ALPHA_PIXELS,
         16,
         0x00FF,
         0,
         0,
         0xFF00,
         {0x40FFu, 0xFF20u},
         {0x40FFFFFFu, 0xFF202020u}},
    };
    for (const Row& row : rows) {
        std::vector<uint8_t> bytes = DdsHeader(2, 1, row.flags, 0, row.bitCount, row.r, row.g, row.b, row.a);
        for (uint32_t value : row.values) {
            for (uint32_t i = 0; i < row.bitCount / 8; ++i) {
                bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
            }
        }
        Picture picture;
        DecodeResult result = picture_files::Decode(bytes, &picture);
        ASSERT_TRUE(result.Ok()) << row.name << ": " << result.reason;
        EXPECT_EQ(picture.pixels[0], row.expected[0]) << row.name << std::hex << " got " << picture.pixels[0];
        EXPECT_EQ(picture.pixels[1], row.expected[1]) << row.name << std::hex << " got " << picture.pixels[1];
    }
}

TEST(HandMadeFiles, DxtBlocksDecodeTheirPaletteModes) {
    // Colours 0xF800 (red) and 0x001F (blue); indices 0, 1, 2, 3 across the first row.
    auto dxt1 = [](uint16_t c0, uint16_t c1) {
        std::vector<uint8_t> bytes = DdsHeader(4, 4, FOURCC, 0x31545844, 0, 0, 0, 0, 0);
        Put16(&bytes, c0);
        Put16(&bytes, c1);
        Put32(&bytes, 0xE4); // row 0: 0, 1, 2, 3; other rows index 0
        return bytes;
    };
    Picture picture;
    ASSERT_TRUE(picture_files::Decode(dxt1(0xF800, 0x001F), &picture).Ok());
    EXPECT_EQ(picture.pixels[0], 0xFFFF0000u);
    EXPECT_EQ(picture.pixels[1], 0xFF0000FFu);
    EXPECT_EQ(picture.pixels[2], 0xFFAA0055u) << "two thirds of the first colour";
    EXPECT_EQ(picture.pixels[3], 0xFF5500AAu);
    EXPECT_EQ(picture.pixels[15], 0xFFFF0000u);
    ASSERT_TRUE(picture_files::Decode(dxt1(0x001F, 0xF800), &picture).Ok());
    EXPECT_EQ(picture.pixels[2], 0xFF800080u) << "three-colour mode: the middle";
    EXPECT_EQ(picture.pixels[3], 0x00000000u) << "three-colour mode: transparent black";

    // DXT5 alpha: endpoints 255 and 0 in eight-value mode, index 1 then 2 (= (6*255 + 0) / 7).
    std::vector<uint8_t> dxt5 = DdsHeader(4, 4, FOURCC, 0x35545844, 0, 0, 0, 0, 0);
    dxt5.insert(dxt5.end(), {255, 0, 0x11, 0, 0, 0, 0, 0}); // pixel 0 index 1, pixel 1 index 2
    Put16(&dxt5, 0xFFFF);
    Put16(&dxt5, 0xFFFF);
    Put32(&dxt5, 0);
    ASSERT_TRUE(picture_files::Decode(dxt5, &picture).Ok());
    EXPECT_EQ(picture.pixels[0], 0x00FFFFFFu);
    EXPECT_EQ(picture.pixels[1] >> 24, (6u * 255u + 3u) / 7u);
    EXPECT_EQ(picture.pixels[2] >> 24, 255u);

    // DXT3: explicit 4-bit alpha, 0xF -> 255, 0x8 -> 136.
    std::vector<uint8_t> dxt3 = DdsHeader(4, 4, FOURCC, 0x33545844, 0, 0, 0, 0, 0);
    dxt3.insert(dxt3.end(), {0x8F, 0, 0, 0, 0, 0, 0, 0});
    Put16(&dxt3, 0);
    Put16(&dxt3, 0);
    Put32(&dxt3, 0);
    ASSERT_TRUE(picture_files::Decode(dxt3, &picture).Ok());
    EXPECT_EQ(picture.pixels[0], 0xFF000000u);
    EXPECT_EQ(picture.pixels[1], 0x88000000u);
}

TEST(HandMadeFiles, DdsWithAnIncompleteMipChainIsTruncated) {
    std::vector<uint8_t> bytes = DdsHeader(4, 4, RGB, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    uint32_t flags = 0x1007 | 0x20000, mips = 3;
    std::memcpy(&bytes[8], &flags, 4);
    std::memcpy(&bytes[28], &mips, 4);
    bytes.resize(bytes.size() + (16 + 4) * 4, 0x7F); // levels 4x4 and 2x2, the 1x1 missing
    Picture picture;
    EXPECT_EQ(picture_files::Decode(bytes, &picture).code, platform::d3dx::DECODE_INVALID_DATA);
    bytes.resize(bytes.size() + 4, 0x7F);
    EXPECT_TRUE(picture_files::Decode(bytes, &picture).Ok());
}

// A BMP with an info header, the given palette and pixel data.
std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                         const std::vector<uint32_t>& palette, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes = {'B', 'M'};
    uint32_t offset = 14 + 40 + static_cast<uint32_t>(palette.size()) * 4;
    Put32(&bytes, offset + static_cast<uint32_t>(data.size()));
    Put32(&bytes, 0);
    Put32(&bytes, offset);
    Put32(&bytes, 40);
    Put32(&bytes, static_cast<uint32_t>(width));
    Put32(&bytes, static_cast<uint32_t>(height));
    Put16(&bytes, 1);
    Put16(&bytes, bitCount);
    Put32(&bytes, compression);
    Put32(&bytes, static_cast<uint32_t>(data.size()));
    Put32(&bytes, 2835);
    Put32(&bytes, 2835);
    Put32(&bytes, static_cast<uint32_t>(palette.size()));
    Put32(&bytes, 0);
    for (uint32_t color : palette) {
        Put32(&bytes, color);
    }
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

TEST(HandMadeFiles, BmpRowOrderAndSixteenBitsWithoutBitFields) {
    // Two rows of one 24-bit pixel each (rows padded to four bytes): red stored first, then green.
    std::vector<uint8_t> rows = {0, 0, 255, 0, 0, 255, 0, 0};
    Picture picture;
    ASSERT_TRUE(picture_files::Decode(Bmp(1, 2, 24, 0, {}, rows), &picture).Ok());
    EXPECT_EQ(picture.pixels[0], 0xFF00FF00u) << "bottom-up: the first stored row is the bottom one";
    EXPECT_EQ(picture.pixels[1], 0xFFFF0000u);
    ASSERT_TRUE(picture_files::Decode(Bmp(1, -2, 24, 0, {}, rows), &picture).Ok());
    EXPECT_EQ(picture.pixels[0], 0xFFFF0000u) << "top-down: the first stored row is the top one";
    EXPECT_EQ(picture.pixels[1], 0xFF00FF00u);

    // 16 bits without bit fields are 5-5-5 with the top bit unused.
    std::vector<uint8_t> sixteen = {0x1F, 0x80, 0xE0, 0x03};
    ASSERT_TRUE(picture_files::Decode(Bmp(2, 1, 16, 0, {}, sixteen), &picture).Ok());
    EXPECT_EQ(picture.pixels[0], 0xFF0000FFu);
    EXPECT_EQ(picture.pixels[1], 0xFF00FF00u);
}

TEST(HandMadeFiles, BmpRunLengthFourBitsAndPaletteHoles) {
    std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00};
    // Bottom row: a run of 3 alternating indices 1, 2, 1, then a run of 2, 1; end of line. Top row:
    // a literal of three pixels 1, 2, 1 (padded to a 16-bit boundary); end of bitmap.
    std::vector<uint8_t> data = {3, 0x12, 2, 0x21, 0, 0, 0, 3, 0x12, 0x10, 0, 1};
    Picture picture;
    DecodeResult result = picture_files::Decode(Bmp(5, 2, 4, 2, palette, data), &picture);
    ASSERT_TRUE(result.Ok()) << result.reason;
    const uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u, black = 0xFF000000u;
    const uint32_t expected[10] = {red, green, red, black, black, red, green, red, green, red};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(picture.pixels[i], expected[i]) << "pixel " << i;
    }

    // An index past the three stored palette entries shows black instead of reading past the palette.
    ASSERT_TRUE(picture_files::Decode(Bmp(2, 1, 4, 0, palette, {0x2F, 0, 0, 0}), &picture).Ok());
    EXPECT_EQ(picture.pixels[0], green);
    EXPECT_EQ(picture.pixels[1], black);

    // Runs past the picture's right edge or bottom are cut, not written outside.
    std::vector<uint8_t> overlong = {255, 0x11, 0, 0, 255, 0x11, 0, 2, 0, 200, 0, 1};
    Picture cut;
    result = picture_files::Decode(Bmp(5, 2, 4, 2, palette, overlong), &cut);
    EXPECT_FALSE(result.Ok()) << "a delta below the picture is damage";
}

} // namespace
