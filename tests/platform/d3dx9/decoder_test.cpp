// The picture readers against files written by ImageMagick from pictures the test makes: every
// supported variant decodes to the source pixels (within the loss of the format), and truncated,
// damaged and oversized files fail with a reason, without reading past the data.
#include "picture_files.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

#include <cstring>
#include <random>
#include <sys/resource.h>

namespace {

using picture_files::Source;
using platform::d3dx::DecodeResult;
using platform::d3dx::Picture;

enum class Kind { Gradient, Blocks16, Blocks64, Grey, BlackWhite };

struct Variant {
    const char* name;
    Kind kind;
    const char* target;
    const char* options;
    bool compareAlpha;
    int maxDifference;
    double meanDifference;
};

// Sizes are odd on purpose: row padding, partial compression blocks and odd mip levels.
constexpr uint32_t WIDTH = 37;
constexpr uint32_t HEIGHT = 23;

const Variant VARIANTS[] = {
    {"BMP 24 bits, info header", Kind::Gradient, "BMP3:g24.bmp", "-alpha off", false, 0, 0},
    {"BMP 24 bits, V5 header", Kind::Gradient, "BMP:g24v5.bmp", "-alpha off", false, 0, 0},
    {"BMP 32 bits with alpha, V5 bit fields", Kind::Gradient, "BMP:g32.bmp", "", true, 0, 0},
    {"BMP 16 bits 5-6-5 bit fields", Kind::Gradient, "BMP:g565.bmp", "-alpha off -define bmp:subtype=RGB565",
     false, 8, 4},
    {"BMP 16 bits 4-4-4-4 bit fields", Kind::Gradient, "BMP:g4444.bmp", "-define bmp:subtype=ARGB4444", true,
     17, 9},
    {"BMP 16 bits 1-5-5-5 bit fields", Kind::Gradient, "BMP:g1555.bmp", "-define bmp:subtype=ARGB1555", false,
     8, 4},
    {"BMP 8 bits, run-length encoded", Kind::Blocks64, "BMP3:p8rle.bmp", "-alpha off -type Palette", false, 0,
     0},
    {"BMP 8 bits, uncompressed", Kind::Blocks64, "BMP3:p8.bmp", "-alpha off -type Palette -compress none",
     false, 0, 0},
    {"BMP 4 bits", Kind::Blocks16, "BMP3:p4.bmp", "-alpha off -colors 16 -type Palette -compress none", false,
     0, 0},
    {"BMP 1 bit", Kind::BlackWhite, "BMP3:p1.bmp", "-alpha off -type Bilevel", false, 0, 0},
    {"PNG RGB", Kind::Gradient, "PNG24:g.png", "", false, 0, 0},
    {"PNG RGBA", Kind::Gradient, "PNG32:ga.png", "", true, 0, 0},
    {"PNG RGBA interlaced", Kind::Gradient, "PNG32:gi.png", "-interlace PNG", true, 0, 0},
    {"PNG 16 bits per channel with alpha", Kind::Gradient, "PNG64:g16.png", "-depth 16", true, 0, 0},
    {"PNG palette", Kind::Blocks64, "PNG8:p.png", "", false, 0, 0},
    {"PNG grey", Kind::Grey, "PNG:grey.png", "-type Grayscale", false, 0, 0},
    {"PNG 1-bit grey", Kind::BlackWhite, "PNG:bw.png", "-type Bilevel", false, 0, 0},
    {"JPEG baseline", Kind::Gradient, "JPG:g.jpg", "-alpha off -quality 95", false, 24, 2.0},
    {"JPEG progressive", Kind::Gradient, "JPG:gp.jpg", "-alpha off -quality 95 -interlace JPEG", false, 24,
     2.0},
    {"JPEG CMYK", Kind::Gradient, "JPG:cmyk.jpg", "-alpha off -colorspace CMYK -quality 95", false, 24, 2.0},
    {"JPEG grey", Kind::Grey, "JPG:grey.jpg", "-type Grayscale -quality 95", false, 8, 1.0},
    {"DDS A8R8G8B8", Kind::Gradient, "DDS:g.dds", "-define dds:compression=none -define dds:mipmaps=0", true,
     0, 0},
    {"DDS R8G8B8", Kind::Gradient, "DDS:g24.dds",
     "-alpha off -define dds:compression=none -define dds:mipmaps=0", false, 0, 0},
    {"DDS DXT1", Kind::Gradient, "DDS:g1.dds",
     "-alpha off -define dds:compression=dxt1 -define dds:mipmaps=0", false, 24, 6.0},
    {"DDS DXT3", Kind::Gradient, "DDS:g3.dds", "-define dds:compression=dxt3 -define dds:mipmaps=0", true, 24,
     4.0},
    {"DDS DXT5 with its own mip levels", Kind::Gradient, "DDS:g5.dds", "-define dds:compression=dxt5", true,
     24, 4.0},
};

const Variant& Named(const char* name) {
    const Variant* found = std::find_if(std::begin(VARIANTS), std::end(VARIANTS),
                                        [&](const Variant& v) { return std::strcmp(v.name, name) == 0; });
    EXPECT_NE(found, std::end(VARIANTS)) << name;
    return found != std::end(VARIANTS) ? *found : VARIANTS[0];
}

Source SourceOf(Kind kind) {
    switch (kind) {
    case Kind::Gradient:
        return picture_files::Gradient(WIDTH, HEIGHT);
    case Kind::Blocks16:
        return picture_files::Blocks(WIDTH, HEIGHT, 16);
    case Kind::Blocks64:
        return picture_files::Blocks(WIDTH, HEIGHT, 64);
    case Kind::Grey:
        return picture_files::GreyRamp(WIDTH, HEIGHT);
    case Kind::BlackWhite:
        return picture_files::BlackAndWhite(WIDTH, HEIGHT);
    }
    return {};
}

class PictureDecoders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(picture_files::ConvertAvailable()) << "ImageMagick's convert is needed";
    }

    // The file of the variant as ImageMagick wrote it.
    std::vector<uint8_t> Written(const Variant& variant) {
        auto path =
            picture_files::Convert(SourceOf(variant.kind), folder.Path(), variant.target, variant.options);
        EXPECT_FALSE(path.empty()) << variant.name << ": convert failed";
        return path.empty() ? std::vector<uint8_t>() : picture_files::ReadBytes(path);
    }

    testing_support::TemporaryFolder folder;
};

TEST_F(PictureDecoders, EveryVariantDecodesToTheSourcePixels) {
    for (const Variant& variant : VARIANTS) {
        std::vector<uint8_t> bytes = Written(variant);
        Picture picture;
        DecodeResult result = picture_files::Decode(bytes, &picture);
        ASSERT_TRUE(result.Ok()) << variant.name << ": " << result.reason;
        ASSERT_EQ(picture.width, WIDTH) << variant.name;
        ASSERT_EQ(picture.height, HEIGHT) << variant.name;
        auto difference = picture_files::Compare(picture, SourceOf(variant.kind), variant.compareAlpha);
        EXPECT_LE(difference.maximum, variant.maxDifference) << variant.name << " at " << difference.where;
        EXPECT_LE(difference.mean, variant.meanDifference) << variant.name;
        if (!variant.compareAlpha && std::strstr(variant.name, "1-5-5-5") == nullptr) {
            bool opaque = std::all_of(picture.pixels.begin(), picture.pixels.end(),
                                      [](uint32_t p) { return (p >> 24) == 0xFF; });
            EXPECT_TRUE(opaque) << variant.name << ": formats without alpha decode opaque";
        }
    }
}

TEST_F(PictureDecoders, TheVariantsAreWhatTheyClaimToBe) {
    // Guards the table: ImageMagick's choices decide which code paths the decoding test reaches.
    struct Row {
        const char* name;
        uint32_t headerSize;
        uint16_t bitCount;
        uint32_t compression;
    } rows[] = {
        {"BMP 24 bits, info header", 40, 24, 0},
        {"BMP 32 bits with alpha, V5 bit fields", 124, 32, 3},
        {"BMP 8 bits, run-length encoded", 40, 8, 1},
        {"BMP 8 bits, uncompressed", 40, 8, 0},
        {"BMP 4 bits", 40, 4, 0},
        {"BMP 1 bit", 40, 1, 0},
        {"BMP 16 bits 5-6-5 bit fields", 124, 16, 3},
    };
    for (const Row& row : rows) {
        std::vector<uint8_t> bytes = Written(Named(row.name));
        ASSERT_GE(bytes.size(), 54u);
        uint32_t headerSize, compression;
        uint16_t bitCount;
        std::memcpy(&headerSize, &bytes[14], 4);
        std::memcpy(&bitCount, &bytes[28], 2);
        std::memcpy(&compression, &bytes[30], 4);
        EXPECT_EQ(headerSize, row.headerSize) << row.name;
        EXPECT_EQ(bitCount, row.bitCount) << row.name;
        EXPECT_EQ(compression, row.compression) << row.name;
    }
}

TEST_F(PictureDecoders, TruncatedFilesFailCleanly) {
    for (const Variant& variant : VARIANTS) {
        std::vector<uint8_t> bytes = Written(variant);
        ASSERT_GT(bytes.size(), 64u);
        for (size_t length : {size_t{0}, size_t{1}, size_t{3}, size_t{20}, size_t{60}, bytes.size() / 2,
                              bytes.size() - 2, bytes.size() - 1}) {
            // An exact-size copy, so that any read past the end shows under the address sanitiser.
            std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length));
            Picture picture;
            DecodeResult result = picture_files::Decode(truncated, &picture);
            EXPECT_EQ(result.code, platform::d3dx::DECODE_INVALID_DATA)
                << variant.name << " cut to " << length << " of " << bytes.size() << " bytes";
            EXPECT_FALSE(result.reason.empty()) << variant.name;
            EXPECT_TRUE(picture.pixels.empty()) << variant.name;
        }
    }
}

TEST_F(PictureDecoders, PicturesLargerThanTheLimitsAreRefusedBeforeDecoding) {
    for (const Variant& variant : VARIANTS) {
        std::vector<uint8_t> bytes = Written(variant);
        for (auto [maxWidth, maxHeight] : {std::pair{36u, 4096u}, std::pair{4096u, 22u}}) {
            platform::d3dx::DecodeLimits limits{maxWidth, maxHeight};
            Picture picture;
            DecodeResult result = platform::d3dx::DecodePicture(bytes.data(), bytes.size(), limits, &picture);
            EXPECT_EQ(result.code, platform::d3dx::DECODE_TOO_LARGE) << variant.name << ": " << result.reason;
        }
        platform::d3dx::DecodeLimits exact{WIDTH, HEIGHT};
        Picture picture;
        EXPECT_TRUE(platform::d3dx::DecodePicture(bytes.data(), bytes.size(), exact, &picture).Ok())
            << variant.name;
    }
}

TEST_F(PictureDecoders, DamagedHeadersFailWithAReason) {
    auto patch32 = [](std::vector<uint8_t> bytes, size_t offset, uint32_t value) {
        std::memcpy(&bytes[offset], &value, 4);
        return bytes;
    };
    auto patch16 = [](std::vector<uint8_t> bytes, size_t offset, uint16_t value) {
        std::memcpy(&bytes[offset], &value, 2);
        return bytes;
    };
    std::vector<uint8_t> bmp = Written(Named("BMP 24 bits, info header"));
    std::vector<uint8_t> bmp8 = Written(Named("BMP 8 bits, uncompressed"));
    std::vector<uint8_t> png = Written(Named("PNG RGB"));
    std::vector<uint8_t> jpeg = Written(Named("JPEG baseline"));
    std::vector<uint8_t> dds = Written(Named("DDS A8R8G8B8"));
    std::vector<uint8_t> dxt = Written(Named("DDS DXT1"));
    std::vector<uint8_t> pngCrc = png;
    pngCrc[pngCrc.size() / 2] ^= 0x55; // inside the image data: its checksum no longer matches
    std::vector<uint8_t> jpegNoFrame = jpeg;
    for (size_t i = 2; i + 1 < jpegNoFrame.size(); ++i) {
        if (jpegNoFrame[i] == 0xFF && jpegNoFrame[i + 1] == 0xC0) {
            jpegNoFrame[i + 1] = 0xCF; // the frame header becomes an unsupported arithmetic-coded one
            break;
        }
    }
    struct Row {
        const char* what;
        std::vector<uint8_t> bytes;
    } rows[] = {
        {"BMP with 7 bits per pixel", patch16(bmp, 28, 7)},
        {"BMP with 0 planes", patch16(bmp, 26, 0)},
        {"BMP with zero width", patch32(bmp, 18, 0)},
        {"BMP with negative width", patch32(bmp, 18, 0xFFFFFFF0u)},
        {"BMP taller than its data", patch32(bmp, 22, 24)},
        {"BMP with a huge size", patch32(patch32(bmp, 18, 0x7FFFFFFF), 22, 0x7FFFFFFF)},
        {"BMP with the data offset past the end", patch32(bmp, 10, 0x7FFFFFF0u)},
        {"BMP with an unknown header size", patch32(bmp, 14, 41)},
        {"BMP with an unknown compression", patch32(bmp, 30, 9)},
        {"BMP with more palette entries than the depth allows", patch32(bmp8, 46, 257)},
        {"BMP with a huge palette count", patch32(bmp8, 46, 0xFFFFFFF0u)},
        {"PNG with a damaged checksum", pngCrc},
        {"PNG with zero width", patch32(png, 16, 0)},
        {"JPEG with an unsupported frame type", jpegNoFrame},
        {"DDS with a wrong header size", patch32(dds, 4, 100)},
        {"DDS with zero width", patch32(dds, 16, 0)},
        {"DDS with a huge height", patch32(dds, 12, 0x40000000)},
        {"DDS with 12 bits per pixel", patch32(dds, 88, 12)},
        {"DDS with a split channel mask", patch32(dds, 92, 0x00F0F000)},
        {"DDS with an unknown compressed format", patch32(dxt, 84, 0x31495441)},
        {"DDS cube map", patch32(dds, 112, 0xFE00)},
        {"unknown format", std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        Picture picture;
        DecodeResult result = picture_files::Decode(row.bytes, &picture);
        EXPECT_FALSE(result.Ok()) << row.what;
        EXPECT_NE(result.code, platform::d3dx::DECODE_OUT_OF_MEMORY) << row.what;
        EXPECT_FALSE(result.reason.empty()) << row.what;
    }
}

long PeakResidentKilobytes() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(PictureDecoders, PngChunkClaimingMoreThanTheFileIsRefusedBeforeAnyAllocation) {
    // A text chunk that says it is 1.6 GB long, in a 200-byte file: libpng would allocate that much
    // before finding the file too short.
    std::vector<uint8_t> bytes = Written(Named("PNG RGB"));
    ASSERT_GT(bytes.size(), 33u);
    std::vector<uint8_t> damaged(200, 0);
    std::copy(bytes.begin(), bytes.begin() + 33, damaged.begin()); // signature and header chunk
    const uint8_t text[] = {0x60, 0x60, 0x00, 0x00, 't', 'E', 'X', 't', 'a', 'b', 'c'};
    std::copy(std::begin(text), std::end(text), damaged.begin() + 33);
    long before = PeakResidentKilobytes();
    Picture picture;
    DecodeResult result = picture_files::Decode(damaged, &picture);
    EXPECT_EQ(result.code, platform::d3dx::DECODE_INVALID_DATA);
    EXPECT_LT(PeakResidentKilobytes() - before, 64 * 1024) << "kilobytes of peak memory added by one decode";
}

TEST_F(PictureDecoders, RandomDamageNeverReadsOutsideTheFile) {
    // Bytes changed at random all over each file: the result may be a picture or a failure, but the
    // readers must stay inside the data (checked by the sanitiser builds) and keep their promises.
    std::mt19937 random(4711);
    for (const Variant& variant : VARIANTS) {
        std::vector<uint8_t> bytes = Written(variant);
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> damaged = bytes;
            int changes = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < changes; ++i) {
                // Mostly the headers, where the sizes and offsets are.
                size_t limit = (random() % 2 == 0) ? std::min<size_t>(damaged.size(), 160) : damaged.size();
                damaged[random() % limit] = static_cast<uint8_t>(random());
            }
            Picture picture;
            DecodeResult result = picture_files::Decode(damaged, &picture);
            if (result.Ok()) {
                EXPECT_EQ(picture.pixels.size(), static_cast<size_t>(picture.width) * picture.height);
            } else {
                EXPECT_FALSE(result.reason.empty()) << variant.name;
                EXPECT_TRUE(picture.pixels.empty()) << variant.name;
            }
        }
    }
}

} // namespace
