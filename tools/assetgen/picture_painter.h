// Small painting tools for the generated pictures: anti-aliased shapes through supersampled coverage,
// colour mixing, and text set with FreeType in a sans face found through fontconfig.
#pragma once

#include "image_writers.h"

#include <functional>
#include <string>

namespace assetgen {

struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
};

Colour Mix(const Colour& a, const Colour& b, float t);
Colour FromArgb(uint32_t argb);
uint32_t ToArgb(const Colour& colour);

// Blends `colour` over the pixel with the given coverage (0..1), keeping the destination's alpha
// where it is more opaque (source-over compositing).
void BlendPixel(Image& image, int x, int y, const Colour& colour, float coverage);

// Coverage of a pixel by a shape given as an inside test on continuous coordinates, measured with
// `samples` x `samples` points.
float Coverage(const std::function<bool(float x, float y)>& inside, int x, int y, int samples = 4);

// Text rendered with FreeType: the picture of a line of text as coverage values 0..255.
struct TextMask {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;
    uint8_t At(int x, int y) const {
        return (x < 0 || y < 0 || x >= width || y >= height) ? 0 : coverage[size_t(y) * width + x];
    }
};

// `face` is a fontconfig pattern such as "Liberation Sans:bold". Throws when no face is found.
TextMask RenderText(const std::string& text, const std::string& face, int pixelHeight);

} // namespace assetgen
