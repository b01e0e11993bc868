// The picture readers against files written by ImageMagick from pictures the test makes: every
// supported variant decodes to the source pixels (within the loss of the format; lossy files as
// ImageMagick decodes them) and respects the size limits; truncated and damaged files fail with a reason,
// without reading past the data or allocating what a damaged header claims.
#include "picture_files.h"

#include <gtest/gtest.h>

#include "support/process_probes.h"
#include "support/test_files.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace {

using picture_files::Pattern;
using platform::d3dx::DecodeResult;
using platform::d3dx::Picture;

struct Variant {
    const char* name;
    Pattern pattern;
    const char* target;
    const char* options;
    bool compareAlpha;
    int maxDifference;
    double meanDifference;
};

// Sizes are odd on purpose: row padding, partial compression blocks and odd mip levels.
constexpr uint32_t WIDTH = 37;
constexpr uint32_t HEIGHT = 23;
constexpr const char* NO_MIPS = " -define dds:mipmaps=0";

const Variant VARIANTS[] = {
    {"BMP 24 bits, info header", Pattern::Gradient, "BMP3:g24.bmp", "-alpha off", false, 0, 0},
    {"BMP 24 bits, V5 header", Pattern::Gradient, "BMP:g24v5.bmp", "-alpha off", false, 0, 0},
    {"BMP 32 bits with alpha, V5 bit fields", Pattern::Gradient, "BMP:g32.bmp", "", true, 0, 0},
    {"BMP 16 bits 5-6-5", Pattern::Gradient, "BMP:g565.bmp", "-alpha off -define bmp:subtype=RGB565", false,
     8, 4},
    {"BMP 16 bits 4-4-4-4", Pattern::Gradient, "BMP:g4444.bmp", "-define bmp:subtype=ARGB4444", true, 17, 9},
    {"BMP 8 bits, run-length encoded", Pattern::Blocks64, "BMP3:p8rle.bmp", "-alpha off -type Palette", false,
     0, 0},
    {"BMP 8 bits", Pattern::Blocks64, "BMP3:p8.bmp", "-alpha off -type Palette -compress none", false, 0, 0},
    {"BMP 4 bits", Pattern::Blocks16, "BMP3:p4.bmp", "-alpha off -colors 16 -type Palette -compress none",
     false, 0, 0},
    {"BMP 1 bit", Pattern::BlackWhite, "BMP3:p1.bmp", "-alpha off -type Bilevel", false, 0, 0},
    {"PNG RGB", Pattern::Gradient, "PNG24:g.png", "", false, 0, 0},
    {"PNG RGBA interlaced", Pattern::Gradient, "PNG32:gi.png", "-interlace PNG", true, 0, 0},
    {"PNG 16 bits per channel with alpha", Pattern::Gradient, "PNG64:g16.png", "-depth 16", true, 0, 0},
    {"PNG palette", Pattern::Blocks64, "PNG8:p.png", "", false, 0, 0},
    {"PNG grey", Pattern::Grey, "PNG:grey.png", "-type Grayscale", false, 0, 0},
    {"PNG grey with alpha", Pattern::GreyAlpha, "PNG:greya.png",
     "-define png:color-type=4 -define png:bit-depth=8", true, 0, 0},
    {"PNG 1-bit grey", Pattern::BlackWhite, "PNG:bw.png", "-type Bilevel", false, 0, 0},
    {"JPEG", Pattern::Gradient, "JPG:g.jpg", "-alpha off -quality 95", false, 24, 2.0},
    {"JPEG progressive", Pattern::Gradient, "JPG:gp.jpg", "-alpha off -quality 95 -interlace JPEG", false, 24,
     2.0},
    {"JPEG CMYK", Pattern::Gradient, "JPG:cmyk.jpg", "-alpha off -colorspace CMYK -quality 95", false, 24,
     2.0},
    {"JPEG grey", Pattern::Grey, "JPG:grey.jpg", "-type Grayscale -quality 95", false, 8, 1.0},
    {"DDS A8R8G8B8", Pattern::Gradient, "DDS:g.dds", "-define dds:compression=none", true, 0, 0},
    {"DDS DXT1", Pattern::Gradient, "DDS:g1.dds", "-alpha off -define dds:compression=dxt1", false, 24, 6.0},
    {"DDS DXT3", Pattern::Gradient, "DDS:g3.dds", "-define dds:compression=dxt3", true, 24, 4.0},
    {"DDS DXT5 with its own mip levels", Pattern::Gradient, "DDS:g5.dds", "-define dds:compression=dxt5",
     true, 24, 4.0},
};

// The largest and the mean difference of one channel (alpha only when compareAlpha).
std::pair<int, double> Compare(const Picture& decoded, const picture_files::Source& source,
                               bool compareAlpha) {
    if (decoded.width != source.width || decoded.height != source.height) {
        return {256, 256.0};
    }
    int maximum = 0;
    double sum = 0;
    int channels = compareAlpha ? 4 : 3;
    for (size_t i = 0; i < source.pixels.size(); ++i) {
        for (int channel = 0; channel < channels; ++channel) {
            int d = std::abs(static_cast<int>((decoded.pixels[i] >> (8 * channel)) & 0xFF) -
                             static_cast<int>((source.pixels[i] >> (8 * channel)) & 0xFF));
            sum += d;
            maximum = std::max(maximum, d);
        }
    }
    return {maximum, sum / (static_cast<double>(source.pixels.size()) * channels)};
}

class PictureDecoders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(picture_files::ConvertAvailable()) << "ImageMagick's convert is needed";
    }

    // The file of the variant as ImageMagick wrote it.
    std::vector<uint8_t> Written(const Variant& variant) {
        std::string options = variant.options;
        if (std::strncmp(variant.target, "DDS", 3) == 0 && std::strstr(variant.name, "mip") == nullptr) {
            options += NO_MIPS;
        }
        auto path = picture_files::Convert(picture_files::MakeSource(variant.pattern, WIDTH, HEIGHT),
                                           folder.Path(), variant.target, options);
        EXPECT_FALSE(path.empty()) << variant.name << ": convert failed";
        return path.empty() ? std::vector<uint8_t>() : testing_support::ReadFile(path);
    }

    std::vector<uint8_t> Written(const char* name) {
        auto found = std::find_if(std::begin(VARIANTS), std::end(VARIANTS),
                                  [&](const Variant& v) { return std::strcmp(v.name, name) == 0; });
        EXPECT_NE(found, std::end(VARIANTS)) << name;
        return found != std::end(VARIANTS) ? Written(*found) : std::vector<uint8_t>();
    }

    testing_support::TemporaryFolder folder;
};

TEST_F(PictureDecoders, EveryVariantDecodesToTheSourcePixelsWithinTheSizeLimits) {
    for (const Variant& variant : VARIANTS) {
        SCOPED_TRACE(variant.name);
        std::vector<uint8_t> bytes = Written(variant);
        Picture picture;
        DecodeResult result = picture_files::Decode(bytes, &picture);
        ASSERT_TRUE(result.Ok()) << result.reason;
        auto source = picture_files::MakeSource(variant.pattern, WIDTH, HEIGHT);
        auto [maximum, mean] = Compare(picture, source, variant.compareAlpha);
        EXPECT_LE(maximum, variant.maxDifference);
        EXPECT_LE(mean, variant.meanDifference);
        // The lossy formats' own pixels as another decoder reads them: libjpeg's exactly, the blocks'
        // colours up to the rounding of the thirds between their end points.
        const std::string target = variant.target;
        const bool jpeg = target.rfind("JPG", 0) == 0, blocks = target.find("DXT") != std::string::npos ||
                                                                std::strstr(variant.name, "DXT") != nullptr;
        if (jpeg || blocks) {
            auto independent =
                picture_files::DecodeWithConvert(folder / target.substr(target.find(':') + 1), WIDTH, HEIGHT);
            EXPECT_LE(Compare(picture, independent, variant.compareAlpha).first, jpeg ? 0 : 1)
                << "against ImageMagick's decoding";
        }
        if (!variant.compareAlpha) {
            EXPECT_TRUE(std::all_of(picture.pixels.begin(), picture.pixels.end(), [](uint32_t p) {
                return (p >> 24) == 0xFF;
            })) << "formats without alpha decode opaque";
        }
        // Exactly the limits is fine; one pixel over either side or the count is refused before decoding.
        const uint64_t pixels = WIDTH * HEIGHT;
        for (auto [maxWidth, maxHeight, maxPixels, ok] :
             {std::tuple{WIDTH, HEIGHT, pixels, true}, std::tuple{WIDTH - 1, 4096u, pixels, false},
              std::tuple{4096u, HEIGHT - 1, pixels, false}, std::tuple{4096u, 4096u, pixels - 1, false}}) {
            Picture limited;
            result = platform::d3dx::DecodePicture(bytes.data(), bytes.size(),
                                                   {maxWidth, maxHeight, maxPixels}, &limited);
            EXPECT_EQ(result.code, ok ? S_OK : platform::d3dx::DECODE_TOO_LARGE)
                << maxWidth << "x" << maxHeight << ", " << maxPixels << " pixels";
        }
    }
}

// Sixteen bits a channel become the nearest eight-bit value, v * 255 / 65535 rounded; the values are
// chosen so that most of them round up, where keeping the high byte would give one less.
TEST_F(PictureDecoders, SixteenBitPngChannelsBecomeTheNearestEightBitValue) {
    constexpr uint32_t W = 6, H = 2;
    auto value = [](uint32_t x, uint32_t y, uint32_t c) {
        return (x * 10007 + y * 30011 + c * 4099 + 0xC0) & 0xFFFF;
    };
    {
        std::ofstream raw(folder / "deep.rgba", std::ios::binary);
        for (uint32_t i = 0; i < W * H * 4; ++i) {
            const uint32_t v = value(i / 4 % W, i / 4 / W, i % 4);
            raw.put(static_cast<char>(v >> 8)).put(static_cast<char>(v & 0xFF));
        }
    }
    const std::string command = "convert -size 6x2 -depth 16 -endian MSB rgba:'" +
                                (folder / "deep.rgba").string() + "' PNG64:'" +
                                (folder / "deep.png").string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    Picture picture;
    DecodeResult result = picture_files::Decode(testing_support::ReadFile(folder / "deep.png"), &picture);
    ASSERT_TRUE(result.Ok()) << result.reason;
    ASSERT_EQ(picture.pixels.size(), W * H);
    int roundedUp = 0;
    for (uint32_t i = 0; i < W * H; ++i) {
        const int shifts[4] = {16, 8, 0, 24}; // red, green, blue, alpha in the file's order
        for (uint32_t c = 0; c < 4; ++c) {
            const uint32_t v = value(i % W, i / W, c), expected = (v * 255 + 32767) / 65535;
            roundedUp += expected != v >> 8;
            EXPECT_EQ((picture.pixels[i] >> shifts[c]) & 0xFF, expected)
                << "pixel " << i << ", channel " << c;
        }
    }
    EXPECT_GT(roundedUp, 24);
}

TEST_F(PictureDecoders, TruncatedFilesFailCleanly) {
    for (const Variant& variant : VARIANTS) {
        std::vector<uint8_t> bytes = Written(variant);
        ASSERT_GT(bytes.size(), 64u);
        // A JPEG that lacks only its end marker is whole (see below).
        const bool jpeg = std::strncmp(variant.target, "JPG", 3) == 0;
        for (size_t length : {size_t{0}, size_t{1}, size_t{3}, size_t{20}, size_t{60}, bytes.size() / 2,
                              bytes.size() - (jpeg ? 40 : 2), bytes.size() - (jpeg ? 3 : 1)}) {
            // An exact-size copy, so that any read past the end shows under the address sanitiser.
            std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length));
            Picture picture;
            testing::internal::CaptureStderr();
            DecodeResult result = picture_files::Decode(truncated, &picture);
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the libraries' messages stay inside";
            EXPECT_EQ(result.code, platform::d3dx::DECODE_INVALID_DATA)
                << variant.name << " cut to " << length << " of " << bytes.size() << " bytes";
            // The reason says more than the format's name; libpng's own says where it stopped.
            EXPECT_GT(result.reason.size(), result.reason.find(": ") + 2)
                << variant.name << ": " << result.reason;
            if (std::strncmp(variant.target, "PNG", 3) == 0 && length >= 8) {
                EXPECT_NE(result.reason.find("ends early"), std::string::npos)
                    << variant.name << ": " << result.reason;
            }
            EXPECT_TRUE(picture.pixels.empty()) << variant.name;
        }
    }
}

// Pictures from other programs often carry stray bytes before the end marker or lack it; every scanline
// is still in the data, so they decode to the intact file's pixels. A file that misses data, even whole
// progressive scans, stays refused.
TEST_F(PictureDecoders, JpegWithStrayBytesOrNoEndMarkerDecodesWhileMissingScansStayRefused) {
    const std::vector<uint8_t> stray = {0x0A, 0x00, 0x37, 0x21, 0x5C, 0x80, 0x13, 0x42, 0x00, 0x7E, 0x01};
    for (const char* name : {"JPEG", "JPEG progressive", "JPEG CMYK", "JPEG grey"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> whole = Written(name);
        ASSERT_GT(whole.size(), 64u);
        ASSERT_EQ(whole[whole.size() - 2], 0xFF);
        ASSERT_EQ(whole[whole.size() - 1], 0xD9);
        Picture reference;
        ASSERT_TRUE(picture_files::Decode(whole, &reference).Ok());
        const std::vector<uint8_t> data(whole.begin(), whole.end() - 2);

        std::vector<uint8_t> strayBeforeEnd = data;
        strayBeforeEnd.insert(strayBeforeEnd.end(), stray.begin(), stray.end());
        const std::vector<uint8_t> strayWithoutEnd = strayBeforeEnd;
        strayBeforeEnd.insert(strayBeforeEnd.end(), {0xFF, 0xD9});
        std::vector<uint8_t> halfEnd = data;
        halfEnd.push_back(0xFF);
        std::vector<std::pair<const char*, std::vector<uint8_t>>> rows = {
            {"stray bytes before the end marker", strayBeforeEnd},
            {"no end marker", data},
            {"half an end marker", halfEnd},
            {"stray bytes and no end marker", strayWithoutEnd},
        };
        if (std::string(whole.begin() + 6, whole.begin() + 11) == std::string("JFIF", 5)) {
            rows.emplace_back("a newer JFIF version", whole);
            rows.back().second[11] = 2; // major version of the header
        }
        for (const auto& [what, bytes] : rows) {
            Picture picture;
            DecodeResult result = picture_files::Decode(bytes, &picture);
            ASSERT_TRUE(result.Ok()) << what << ": " << result.reason;
            EXPECT_TRUE(picture.pixels == reference.pixels) << what;
        }

        // Cut just before each scan after the first: whole scans are missing, the rest is intact.
        size_t scans = 0;
        for (size_t at = 2; at + 1 < data.size(); ++at) {
            if (data[at] != 0xFF || data[at + 1] != 0xDA || scans++ == 0) {
                continue;
            }
            std::vector<uint8_t> cut(data.begin(), data.begin() + static_cast<ptrdiff_t>(at));
            Picture picture;
            DecodeResult result = picture_files::Decode(cut, &picture);
            EXPECT_EQ(result.code, platform::d3dx::DECODE_INVALID_DATA) << "cut before the scan at " << at;
            EXPECT_TRUE(picture.pixels.empty());
        }
        EXPECT_EQ(scans > 1, std::strcmp(name, "JPEG progressive") == 0) << scans << " scans";
    }

    // The segments of a file up to its first scan, each from its marker, and where the first scan starts.
    auto segments = [](const std::vector<uint8_t>& bytes, size_t* firstScan) {
        std::vector<std::pair<size_t, size_t>> found;
        for (size_t at = 2; at + 4 <= bytes.size() && bytes[at + 1] != 0xDA;) {
            found.emplace_back(at, 2 + (bytes[at + 2] << 8 | bytes[at + 3]));
            at += found.back().second;
            *firstScan = at;
        }
        return found;
    };
    // CMYK samples without Adobe's marker are still taken as inverted ink, as other viewers take them.
    const std::vector<uint8_t> cmyk = Written("JPEG CMYK");
    std::vector<uint8_t> plain(cmyk.begin(), cmyk.begin() + 2);
    size_t firstScan = 0;
    for (auto [at, length] : segments(cmyk, &firstScan)) {
        if (cmyk[at + 1] != 0xEE) {
            plain.insert(plain.end(), cmyk.begin() + at, cmyk.begin() + at + length);
        }
    }
    plain.insert(plain.end(), cmyk.begin() + firstScan, cmyk.end());
    ASSERT_LT(plain.size(), cmyk.size()) << "the Adobe marker is gone";
    testing_support::WriteFile(folder / "plain.jpg", plain);
    Picture picture;
    ASSERT_TRUE(picture_files::Decode(plain, &picture).Ok());
    EXPECT_EQ(
        Compare(picture, picture_files::DecodeWithConvert(folder / "plain.jpg", WIDTH, HEIGHT), false).first,
        0)
        << "against ImageMagick's decoding";

    // A progressive file whose scan refining the DC values (spectral selection 0 to 0, approximation
    // high bit 1) is left out, and its end marker: every other scan is whole, and still data is missing.
    std::vector<uint8_t> progressive = Written("JPEG progressive");
    size_t refinement = 0;
    for (size_t at = 2; at + 12 < progressive.size() && refinement == 0; ++at) {
        const size_t selection = at + 5 + 2 * progressive[at + 4]; // after the component list
        if (progressive[at] == 0xFF && progressive[at + 1] == 0xDA && progressive[selection] == 0 &&
            progressive[selection + 1] == 0 && (progressive[selection + 2] >> 4) == 1) {
            refinement = at;
        }
    }
    ASSERT_NE(refinement, 0u);
    size_t next = refinement + 2;
    while (next + 1 < progressive.size() && !(progressive[next] == 0xFF && progressive[next + 1] != 0 &&
                                              (progressive[next + 1] & 0xF8) != 0xD0)) {
        ++next;
    }
    progressive.erase(progressive.begin() + static_cast<ptrdiff_t>(refinement),
                      progressive.begin() + static_cast<ptrdiff_t>(next));
    progressive.resize(progressive.size() - 2);
    EXPECT_EQ(picture_files::Decode(progressive, &picture).code, platform::d3dx::DECODE_INVALID_DATA);
}

TEST_F(PictureDecoders, DamagedHeadersFailWithAReason) {
    auto patch = [](std::vector<uint8_t> bytes, size_t offset, uint32_t value, size_t size = 4) {
        std::memcpy(&bytes[offset], &value, size);
        return bytes;
    };
    std::vector<uint8_t> bmp = Written("BMP 24 bits, info header");
    std::vector<uint8_t> bmp8 = Written("BMP 8 bits");
    std::vector<uint8_t> png = Written("PNG RGB");
    std::vector<uint8_t> dds = Written("DDS A8R8G8B8");
    std::vector<uint8_t> dxt = Written("DDS DXT1");
    std::vector<uint8_t> pngCrc = png;
    pngCrc[pngCrc.size() / 2] ^= 0x55; // inside the image data: its checksum no longer matches
    struct Row {
        const char* what;
        std::vector<uint8_t> bytes;
    } rows[] = {
        {"BMP with 7 bits per pixel", patch(bmp, 28, 7, 2)},
        {"BMP with a huge size", patch(patch(bmp, 18, 0x7FFFFFFF), 22, 0x7FFFFFFF)},
        {"BMP with the data offset past the end", patch(bmp, 10, 0x7FFFFFF0u)},
        {"BMP with an unknown compression", patch(bmp, 30, 9)},
        {"BMP with a huge palette count", patch(bmp8, 46, 0xFFFFFFF0u)},
        {"PNG with a damaged checksum", pngCrc},
        {"DDS with a huge height", patch(dds, 12, 0x40000000)},
        {"DDS of no columns", patch(dds, 16, 0)},
        {"DXT1 DDS of no rows", patch(dxt, 12, 0)},
        {"DDS with 12 bits per pixel", patch(dds, 88, 12)},
        {"DDS with a split channel mask", patch(dds, 92, 0x00F0F000)},
        {"DDS with an unknown compressed format", patch(dxt, 84, 0x31495441)},
        {"unknown format", std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        Picture picture;
        DecodeResult result = picture_files::Decode(row.bytes, &picture);
        // Damage, except a size beyond the limits that the header states before the data is looked at.
        const bool tooLarge = std::strstr(row.what, "DDS with a huge") != nullptr;
        EXPECT_EQ(result.code,
                  tooLarge ? platform::d3dx::DECODE_TOO_LARGE : platform::d3dx::DECODE_INVALID_DATA)
            << row.what;
        EXPECT_FALSE(result.reason.empty()) << row.what;
    }
}

TEST_F(PictureDecoders, PngChunkClaimingMoreThanTheFileIsRefusedBeforeAnyAllocation) {
    // A text chunk that says it is 1.6 GB long, in a 200-byte file: libpng would allocate that much
    // before finding the file too short.
    std::vector<uint8_t> bytes = Written("PNG RGB");
    ASSERT_GT(bytes.size(), 33u);
    std::vector<uint8_t> damaged(200, 0);
    std::copy(bytes.begin(), bytes.begin() + 33, damaged.begin()); // signature and header chunk
    const uint8_t text[] = {0x60, 0x60, 0x00, 0x00, 't', 'E', 'X', 't', 'a', 'b', 'c'};
    std::copy(std::begin(text), std::end(text), damaged.begin() + 33);
    long before = testing_support::PeakResidentKilobytes();
    Picture picture;
    EXPECT_EQ(picture_files::Decode(damaged, &picture).code, platform::d3dx::DECODE_INVALID_DATA);
    EXPECT_LT(testing_support::PeakResidentKilobytes() - before, 64 * 1024)
        << "kilobytes of peak memory added by one decode";
}

} // namespace
