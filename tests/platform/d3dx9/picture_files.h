// Test pictures for the texture loader: source pictures made by the test, written to files by an
// independent encoder (ImageMagick's convert), and decoding with generous limits.
#pragma once

#include "d3dx9/picture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace picture_files {

// A8R8G8B8 pixels, top row first.
using Source = platform::d3dx::Picture;

enum class Pattern {
    Gradient,   // smooth colour ramps with a varying alpha: survives lossy encoders within a tolerance
    Blocks16,   // 16 flat opaque colours in 4 x 4 blocks: fits a 16-entry palette
    Blocks64,   // the same with 64 colours
    Grey,       // an opaque grey ramp
    GreyAlpha,  // the grey ramp with an alpha ramp across
    BlackWhite, // opaque black and white checks
};

inline uint32_t PixelOf(Pattern pattern, uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    auto argb = [](uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
        return (a << 24) | (r << 16) | (g << 8) | b;
    };
    uint32_t index = (x / 4 + (y / 4) * 5) % (pattern == Pattern::Blocks16 ? 16 : 64);
    uint32_t grey = (x + y) * 255 / (width + height - 2);
    switch (pattern) {
    case Pattern::Gradient:
        return argb(64 + (x * 191) / (width - 1), x * 255 / (width - 1), y * 255 / (height - 1), 255 - grey);
    case Pattern::Blocks16:
    case Pattern::Blocks64: // four levels per channel: 0, 85, 170, 255
        return argb(255, (index % 4) * 85, ((index / 4) % 4) * 85, ((index / 16) % 4) * 85);
    case Pattern::Grey:
        return argb(255, grey, grey, grey);
    case Pattern::GreyAlpha:
        return argb(64 + (x * 191) / (width - 1), grey, grey, grey);
    case Pattern::BlackWhite:
        return ((x / 3 + y / 2) % 2) != 0 ? 0xFFFFFFFFu : 0xFF000000u;
    }
    return 0;
}

inline Source MakeSource(Pattern pattern, uint32_t width, uint32_t height) {
    Source source{width, height, {}};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            source.pixels.push_back(PixelOf(pattern, x, y, width, height));
        }
    }
    return source;
}

inline bool ConvertAvailable() {
    return std::system("convert -version > /dev/null 2>&1") == 0;
}

// Writes the source as raw RGBA and runs `convert -size WxH -depth 8 rgba:<raw> <options> <target>`;
// the target may carry a format prefix ("BMP3:name.bmp"). Returns the written file's path, or an empty
// path when convert failed.
inline std::filesystem::path Convert(const Source& source, const std::filesystem::path& folder,
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
    std::string prefix = target.substr(0, target.find(':') + 1);
    std::filesystem::path path = folder / target.substr(prefix.size());
    std::string command = "convert -size " + std::to_string(source.width) + "x" +
                          std::to_string(source.height) + " -depth 8 rgba:'" + raw.string() + "' " + options +
                          " '" + prefix + path.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(path)) {
        return {};
    }
    return path;
}

// The picture as ImageMagick decodes the file (`convert <path> -depth 8 rgba:-`): an independent
// decoder to compare with. Empty when convert fails.
inline Source DecodeWithConvert(const std::filesystem::path& path, uint32_t width, uint32_t height) {
    Source decoded{width, height, {}};
    std::string command = "convert '" + path.string() + "' -depth 8 rgba:- 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    unsigned char rgba[4];
    while (decoded.pixels.size() < static_cast<size_t>(width) * height && std::fread(rgba, 1, 4, pipe) == 4) {
        decoded.pixels.push_back(static_cast<uint32_t>(rgba[3]) << 24 | rgba[0] << 16 | rgba[1] << 8 |
                                 rgba[2]);
    }
    bool complete = pclose(pipe) == 0 && decoded.pixels.size() == static_cast<size_t>(width) * height;
    return complete ? decoded : Source{};
}

inline platform::d3dx::DecodeResult Decode(const std::vector<uint8_t>& bytes,
                                           platform::d3dx::Picture* picture) {
    return platform::d3dx::DecodePicture(bytes.data(), bytes.size(), {8192, 8192}, picture);
}

} // namespace picture_files
