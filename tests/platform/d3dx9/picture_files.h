// Test pictures for the texture loader: a source picture made by the test, written to files by an
// independent encoder (ImageMagick's convert), and comparisons of decoded pixels with the source.
#pragma once

#include "d3dx9/picture.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace picture_files {

// A8R8G8B8 pixels, top row first.
struct Source {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;
};

// Smooth colour ramps with a varying alpha: survives lossy encoders within a small tolerance.
Source Gradient(uint32_t width, uint32_t height);
// `count` flat colours (at most 64) in 4 x 4 blocks, opaque: fits a palette of that many entries.
Source Blocks(uint32_t width, uint32_t height, uint32_t count);
// A grey ramp, opaque.
Source GreyRamp(uint32_t width, uint32_t height);
// Black and white checks, opaque.
Source BlackAndWhite(uint32_t width, uint32_t height);

// True when ImageMagick's convert can be run.
bool ConvertAvailable();
// Writes the source as raw RGBA and runs `convert -size WxH -depth 8 rgba:<raw> <options> <target>`.
// Returns the written file's path, or an empty path when convert failed.
std::filesystem::path Convert(const Source& source, const std::filesystem::path& folder,
                              const std::string& target, const std::string& options);

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);

struct Difference {
    int maximum = 0;   // largest difference of one channel
    double mean = 0.0; // mean difference over all channels compared
    std::string where; // the first pixel with the largest difference
};

// Compares the decoded picture with the source (alpha only when compareAlpha).
Difference Compare(const platform::d3dx::Picture& decoded, const Source& source, bool compareAlpha);

// Decodes with generous limits.
platform::d3dx::DecodeResult Decode(const std::vector<uint8_t>& bytes, platform::d3dx::Picture* picture);

} // namespace picture_files
