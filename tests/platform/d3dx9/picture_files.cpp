// Source pictures, the call to ImageMagick and pixel comparisons for the loader's tests.
#include "picture_files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace picture_files {

namespace {

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

} // namespace

Source Gradient(uint32_t width, uint32_t height) {
    Source source{width, height, {}};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t r = x * 255 / (width - 1);
            uint32_t g = y * 255 / (height - 1);
            uint32_t b = 255 - (x + y) * 255 / (width + height - 2);
            uint32_t a = 64 + (x * 191) / (width - 1);
            source.pixels.push_back(Argb(a, r, g, b));
        }
    }
    return source;
}

Source Blocks(uint32_t width, uint32_t height, uint32_t count) {
    Source source{width, height, {}};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t index = (x / 4 + (y / 4) * 5) % count;
            // Four levels per channel: 0, 85, 170, 255.
            source.pixels.push_back(
                Argb(255, (index % 4) * 85, ((index / 4) % 4) * 85, ((index / 16) % 4) * 85));
        }
    }
    return source;
}

Source GreyRamp(uint32_t width, uint32_t height) {
    Source source{width, height, {}};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t v = (x + y) * 255 / (width + height - 2);
            source.pixels.push_back(Argb(255, v, v, v));
        }
    }
    return source;
}

Source BlackAndWhite(uint32_t width, uint32_t height) {
    Source source{width, height, {}};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            source.pixels.push_back(((x / 3 + y / 2) % 2) != 0 ? 0xFFFFFFFFu : 0xFF000000u);
        }
    }
    return source;
}

bool ConvertAvailable() {
    return std::system("convert -version > /dev/null 2>&1") == 0;
}

std::filesystem::path Convert(const Source& source, const std::filesystem::path& folder,
                              const std::string& target, const std::string& options) {
    std::filesystem::path raw = folder / "source.rgba";
    {
        std::ofstream out(raw, std::ios::binary);
        for (uint32_t pixel : source.pixels) {
            char rgba[4] = {static_cast<char>((pixel >> 16) & 0xFF), static_cast<char>((pixel >> 8) & 0xFF),
                            static_cast<char>(pixel & 0xFF), static_cast<char>(pixel >> 24)};
            out.write(rgba, 4);
        }
    }
    // The target may carry a format prefix ("BMP3:name.bmp"); the file is the part after it.
    std::string file = target.substr(target.find(':') + 1);
    std::string prefix = target.substr(0, target.find(':') + 1);
    std::filesystem::path path = folder / file;
    std::ostringstream command;
    command << "convert -size " << source.width << "x" << source.height << " -depth 8 rgba:'" << raw.string()
            << "' " << options << " '" << prefix << path.string() << "' 2>/dev/null";
    if (std::system(command.str().c_str()) != 0 || !std::filesystem::exists(path)) {
        return {};
    }
    return path;
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Difference Compare(const platform::d3dx::Picture& decoded, const Source& source, bool compareAlpha) {
    Difference difference;
    if (decoded.width != source.width || decoded.height != source.height) {
        difference.maximum = 256;
        difference.where = "sizes differ";
        return difference;
    }
    double sum = 0;
    size_t count = 0;
    for (uint32_t y = 0; y < source.height; ++y) {
        for (uint32_t x = 0; x < source.width; ++x) {
            uint32_t a = decoded.pixels[y * source.width + x];
            uint32_t b = source.pixels[y * source.width + x];
            for (int channel = 0; channel < (compareAlpha ? 4 : 3); ++channel) {
                int d = std::abs(static_cast<int>((a >> (8 * channel)) & 0xFF) -
                                 static_cast<int>((b >> (8 * channel)) & 0xFF));
                sum += d;
                ++count;
                if (d > difference.maximum) {
                    char text[96];
                    std::snprintf(text, sizeof(text), "(%u, %u): decoded %08X, source %08X", x, y, a, b);
                    difference.maximum = d;
                    difference.where = text;
                }
            }
        }
    }
    difference.mean = count > 0 ? sum / count : 0.0;
    return difference;
}

platform::d3dx::DecodeResult Decode(const std::vector<uint8_t>& bytes, platform::d3dx::Picture* picture) {
    platform::d3dx::DecodeLimits limits;
    limits.maxWidth = 8192;
    limits.maxHeight = 8192;
    return platform::d3dx::DecodePicture(bytes.data(), bytes.size(), limits, picture);
}

} // namespace picture_files
