// Picture variants ImageMagick does not write, built byte by byte: DDS pixel formats of 16 to 32 bits,
// DXT blocks in every colour and alpha mode, an incomplete DDS mip chain, top-down and run-length
// encoded 4-bit BMP files, 16-bit BMP without bit fields, core-header palettes, pixel data away from
// the palette, and palette indices past the stored palette.
#include "picture_files.h"

#include <gtest/gtest.h>

namespace {

using platform::d3dx::Picture;

void Put16(std::vector<uint8_t>* bytes, uint32_t value) {
    bytes->push_back(static_cast<uint8_t>(value));
    bytes->push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>* bytes, uint32_t value) {
    Put16(bytes, value & 0xFFFF);
    Put16(bytes, value >> 16);
}

constexpr uint32_t RGB = 0x40, ALPHA = 0x1, FOURCC = 0x4;
constexpr uint32_t DXT1 = 0x31545844, DXT3 = 0x33545844, DXT5 = 0x35545844;

struct Masks {
    uint32_t r, g, b, a;
};

// A DDS header of 128 bytes for an uncompressed (fourCC 0) or compressed picture.
std::vector<uint8_t> DdsHeader(uint32_t width, uint32_t height, uint32_t formatFlags, uint32_t fourCC,
                               uint32_t bitCount = 0, Masks masks = {}) {
    // Magic, header size, flags (caps, height, width, pixel format), height, width; the pixel format
    // (its size, flags, fourCC, bits and masks) at word 19; the caps (texture) at word 27.
    uint32_t words[32] = {0x20534444, 124, 0x1007, height, width};
    const uint32_t format[] = {32, formatFlags, fourCC, bitCount, masks.r, masks.g, masks.b, masks.a, 0x1000};
    std::copy(std::begin(format), std::end(format), words + 19);
    std::vector<uint8_t> bytes;
    for (uint32_t word : words) {
        Put32(&bytes, word);
    }
    return bytes;
}

TEST(HandMadeFiles, DdsPixelFormatsExpandToFullRange) {
    struct Row {
        const char* name;
        uint32_t flags, bitCount;
        Masks masks;
        uint32_t stored, expected;
    } rows[] = {
        {"A8R8G8B8", RGB | ALPHA, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000u}, 0x80123456u, 0x80123456u},
        {"X8R8G8B8", RGB, 32, {0xFF0000, 0xFF00, 0xFF, 0}, 0x7FABCDEFu, 0xFFABCDEFu},
        {"A8B8G8R8", RGB | ALPHA, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000u}, 0x40563412u, 0x40123456u},
        {"R8G8B8", RGB, 24, {0xFF0000, 0xFF00, 0xFF, 0}, 0x123456u, 0xFF123456u},
        {"A4R4G4B4", RGB | ALPHA, 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0x1234u, 0x11223344u},
        {"A1R5G5B5 opaque", RGB | ALPHA, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, 0x801Fu, 0xFF0000FFu},
        {"A1R5G5B5 clear", RGB | ALPHA, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, 0x7C00u, 0x00FF0000u},
        {"X1R5G5B5", RGB, 16, {0x7C00, 0x03E0, 0x001F, 0}, 0x83E0u, 0xFF00FF00u},
        {"R5G6B5", RGB, 16, {0xF800, 0x07E0, 0x001F, 0}, 0x0400u, 0xFF008200u},
    };
    for (const Row& row : rows) {
        std::vector<uint8_t> bytes = DdsHeader(1, 1, row.flags, 0, row.bitCount, row.masks);
        for (uint32_t i = 0; i < row.bitCount / 8; ++i) {
            bytes.push_back(static_cast<uint8_t>(row.stored >> (8 * i)));
        }
        Picture picture;
        auto result = picture_files::Decode(bytes, &picture);
        ASSERT_TRUE(result.Ok()) << row.name << ": " << result.reason;
        EXPECT_EQ(picture.pixels[0], row.expected) << row.name << std::hex << " got " << picture.pixels[0];
    }
}

// Expected colours from the block formats' definitions: end points expanded from 5-6-5 by repeating
// their top bits, the colours between at 1/3 and 2/3 (or 1/2 in the three-colour mode) and the alpha
// values between at sevenths (or fifths), rounded to nearest, halves up. The end points differ in every
// channel: (1, 5, 30) is (8, 20, 247) and (0, 60, 3) is (0, 243, 24).
TEST(HandMadeFiles, DxtBlocksDecodeTheirColourAndAlphaModes) {
    constexpr uint16_t FIRST = 0x08BE, SECOND = 0x0783;
    const uint32_t first = 0xFF0814F7u, second = 0xFF00F318u;
    auto decode = [](uint32_t fourCC, std::vector<uint8_t> alpha, uint16_t c0, uint16_t c1) {
        std::vector<uint8_t> bytes = DdsHeader(4, 4, FOURCC, fourCC);
        bytes.insert(bytes.end(), alpha.begin(), alpha.end());
        Put16(&bytes, c0);
        Put16(&bytes, c1);
        Put32(&bytes, 0xE4); // row 0: indices 0, 1, 2, 3; other rows index 0
        Picture picture;
        auto result = picture_files::Decode(bytes, &picture);
        EXPECT_TRUE(result.Ok()) << result.reason;
        return picture.pixels.size() == 16 ? picture.pixels : std::vector<uint32_t>(16, 0xDEADBEEFu);
    };
    const struct {
        const char* what;
        uint16_t c0, c1;
        uint32_t expected[4];
    } dxt1[] = {
        {"four colours", FIRST, SECOND, {first, second, 0xFF055EADu, 0xFF03A962u}},
        {"three colours and transparent black", SECOND, FIRST, {second, first, 0xFF048488u, 0}},
        {"equal end points: three colours", FIRST, FIRST, {first, first, first, 0}},
    };
    for (const auto& row : dxt1) {
        std::vector<uint32_t> pixels = decode(DXT1, {}, row.c0, row.c1);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(pixels[i], row.expected[i])
                << row.what << ", index " << i << std::hex << ": 0x" << pixels[i];
        }
        EXPECT_EQ(pixels[15], pixels[0]) << row.what;
    }

    // DXT3: four explicit alpha bits a pixel, low nibble first; its colours always take four values.
    std::vector<uint32_t> pixels = decode(DXT3, {0x3F, 0xA0, 0, 0, 0, 0, 0, 0x70}, SECOND, FIRST);
    EXPECT_EQ(pixels[0], 0xFF00F318u);
    EXPECT_EQ(pixels[1], 0x330814F7u);
    EXPECT_EQ(pixels[2], 0x0003A962u);
    EXPECT_EQ(pixels[3], 0xAA055EADu);
    EXPECT_EQ(pixels[15], 0x7700F318u);

    // DXT5: pixel i takes alpha index i (then 0), three bits each.
    const struct {
        const char* what;
        uint8_t a0, a1;
        uint32_t expected[8];
    } dxt5[] = {
        {"eight values", 200, 41, {200, 41, 177, 155, 132, 109, 86, 64}},
        {"six values, 0 and 255", 41, 200, {41, 200, 73, 105, 136, 168, 0, 255}},
        {"equal end points: six values", 90, 90, {90, 90, 90, 90, 90, 90, 0, 255}},
    };
    for (const auto& row : dxt5) {
        pixels = decode(DXT5, {row.a0, row.a1, 0x88, 0xC6, 0xFA, 0, 0, 0}, FIRST, SECOND);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(pixels[i] >> 24, row.expected[i]) << row.what << ", index " << i;
        }
        EXPECT_EQ(pixels[8], (row.expected[0] << 24) | (first & 0xFFFFFF)) << row.what;
    }
}

TEST(HandMadeFiles, DdsWithAnIncompleteMipChainIsTruncated) {
    std::vector<uint8_t> bytes = DdsHeader(4, 4, RGB, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0});
    bytes[10] |= 0x02; // mip count present
    bytes[28] = 3;
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
    for (uint32_t value : {offset + static_cast<uint32_t>(data.size()), 0u, offset, 40u,
                           static_cast<uint32_t>(width), static_cast<uint32_t>(height)}) {
        Put32(&bytes, value);
    }
    Put16(&bytes, 1);
    Put16(&bytes, bitCount);
    for (uint32_t value : {compression, static_cast<uint32_t>(data.size()), 2835u, 2835u,
                           static_cast<uint32_t>(palette.size()), 0u}) {
        Put32(&bytes, value);
    }
    for (uint32_t color : palette) {
        Put32(&bytes, color);
    }
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

TEST(HandMadeFiles, BmpRowOrderAndSixteenAndThirtyTwoBitsWithAndWithoutBitFields) {
    // Two rows of one 24-bit pixel each (rows padded to four bytes): red stored first, then green.
    std::vector<uint8_t> rows = {0, 0, 255, 0, 0, 255, 0, 0};
    Picture picture;
    ASSERT_TRUE(picture_files::Decode(Bmp(1, 2, 24, 0, {}, rows), &picture).Ok());
    EXPECT_EQ(picture.pixels, (std::vector<uint32_t>{0xFF00FF00u, 0xFFFF0000u}))
        << "bottom-up: the first stored row is the bottom one";
    ASSERT_TRUE(picture_files::Decode(Bmp(1, -2, 24, 0, {}, rows), &picture).Ok());
    EXPECT_EQ(picture.pixels, (std::vector<uint32_t>{0xFFFF0000u, 0xFF00FF00u}))
        << "top-down: the first stored row is the top one";

    // 16 bits without bit fields are 5-5-5 with the top bit unused.
    ASSERT_TRUE(picture_files::Decode(Bmp(2, 1, 16, 0, {}, {0x1F, 0x80, 0xE0, 0x03}), &picture).Ok());
    EXPECT_EQ(picture.pixels, (std::vector<uint32_t>{0xFF0000FFu, 0xFF00FF00u}));

    // Bit-field masks after an info header (written where a palette would be): 5-6-5, and four masks
    // with red in the low byte; channels expand to full range.
    ASSERT_TRUE(
        picture_files::Decode(Bmp(2, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, {0x21, 0x08, 0xE0, 0x07}), &picture)
            .Ok());
    EXPECT_EQ(picture.pixels, (std::vector<uint32_t>{0xFF080408u, 0xFF00FF00u}));
    ASSERT_TRUE(
        picture_files::Decode(
            Bmp(1, 1, 32, 6, {0xFF, 0xFF00, 0xFF0000, 0xFF000000u}, {0x12, 0x34, 0x56, 0x78}), &picture)
            .Ok());
    EXPECT_EQ(picture.pixels, (std::vector<uint32_t>{0x78123456u}));
}

// The palette follows the header in entries of 3 bytes (core header) or 4; the pixels start at the
// offset the file header gives, which may leave a gap after the palette, or at the palette's end when
// the offset is 0.
TEST(HandMadeFiles, BmpPaletteAndPixelsAreReadWhereTheHeadersPutThem) {
    // A core header: 16 bits of width, height, planes and bits; 16 palette entries of blue, green, red.
    std::vector<uint8_t> core = {'B', 'M'};
    const uint32_t offset = 14 + 12 + 16 * 3 + 5;
    for (uint32_t value : {offset + 8, 0u, offset, 12u}) {
        Put32(&core, value);
    }
    for (uint32_t value : {3u, 2u, 1u, 4u}) {
        Put16(&core, value);
    }
    for (uint32_t i = 0; i < 16; ++i) {
        core.insert(core.end(),
                    {static_cast<uint8_t>(i * 16), static_cast<uint8_t>(200 - i), static_cast<uint8_t>(i)});
    }
    core.insert(core.end(), 5, 0xEE); // the gap
    const std::vector<uint8_t> pixels = {0x1F, 0x20, 0, 0, 0x0E, 0xD0, 0, 0};
    core.insert(core.end(), pixels.begin(), pixels.end());
    Picture picture;
    auto result = picture_files::Decode(core, &picture);
    ASSERT_TRUE(result.Ok()) << result.reason;
    auto entry = [](uint32_t i) { return 0xFF000000u | i << 16 | (200 - i) << 8 | i * 16; };
    const std::vector<uint32_t> expected = {entry(0), entry(14), entry(13), entry(1), entry(15), entry(2)};
    EXPECT_EQ(picture.pixels, expected);

    std::vector<uint32_t> palette;
    for (uint32_t i = 0; i < 16; ++i) {
        palette.push_back(entry(i) & 0xFFFFFF);
    }
    std::vector<uint8_t> info = Bmp(3, 2, 4, 0, palette, pixels);
    info[10] = 0; // no offset: the pixels follow the palette
    result = picture_files::Decode(info, &picture);
    ASSERT_TRUE(result.Ok()) << result.reason;
    EXPECT_EQ(picture.pixels, expected);
}

TEST(HandMadeFiles, BmpRunLengthFourBitsAndPaletteHoles) {
    std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00};
    // Bottom row: a run of 3 alternating indices 1, 2, 1, a move one pixel right, a run of one 2; end of
    // line. Top row: a literal of three pixels 1, 2, 1 (padded to a 16-bit boundary); end of bitmap.
    std::vector<uint8_t> data = {3, 0x12, 0, 2, 1, 0, 1, 0x21, 0, 0, 0, 3, 0x12, 0x10, 0, 1};
    Picture picture;
    auto result = picture_files::Decode(Bmp(5, 2, 4, 2, palette, data), &picture);
    ASSERT_TRUE(result.Ok()) << result.reason;
    const uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u, black = 0xFF000000u;
    EXPECT_EQ(picture.pixels,
              (std::vector<uint32_t>{red, green, red, black, black, red, green, red, black, green}));

    // An index past the three stored palette entries shows black instead of reading past the palette.
    ASSERT_TRUE(picture_files::Decode(Bmp(2, 1, 4, 0, palette, {0x2F, 0, 0, 0}), &picture).Ok());
    EXPECT_EQ(picture.pixels, (std::vector<uint32_t>{green, black}));

    // Runs past the right edge are cut, not written outside; a delta below the picture is damage.
    std::vector<uint8_t> overlong = {255, 0x11, 0, 0, 255, 0x11, 0, 2, 0, 200, 0, 1};
    EXPECT_FALSE(picture_files::Decode(Bmp(5, 2, 4, 2, palette, overlong), &picture).Ok());
}

} // namespace
