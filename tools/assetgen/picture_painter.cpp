// Colour mixing, supersampled coverage and FreeType text for the generated pictures.
#include "picture_painter.h"

#include <algorithm>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <stdexcept>

namespace assetgen {

Colour Mix(const Colour& a, const Colour& b, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Colour FromArgb(uint32_t argb) {
    return {((argb >> 16) & 0xff) / 255.0f, ((argb >> 8) & 0xff) / 255.0f, (argb & 0xff) / 255.0f,
            (argb >> 24) / 255.0f};
}

uint32_t ToArgb(const Colour& colour) {
    auto channel = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    return (channel(colour.a) << 24) | (channel(colour.r) << 16) | (channel(colour.g) << 8) |
           channel(colour.b);
}

void BlendPixel(Image& image, int x, int y, const Colour& colour, float coverage) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height || coverage <= 0.0f) {
        return;
    }
    Colour dst = FromArgb(image.At(x, y));
    float srcAlpha = colour.a * std::min(coverage, 1.0f);
    float outAlpha = srcAlpha + dst.a * (1.0f - srcAlpha);
    Colour out;
    if (outAlpha > 0.0f) {
        out.r = (colour.r * srcAlpha + dst.r * dst.a * (1.0f - srcAlpha)) / outAlpha;
        out.g = (colour.g * srcAlpha + dst.g * dst.a * (1.0f - srcAlpha)) / outAlpha;
        out.b = (colour.b * srcAlpha + dst.b * dst.a * (1.0f - srcAlpha)) / outAlpha;
    }
    out.a = outAlpha;
    image.At(x, y) = ToArgb(out);
}

float Coverage(const std::function<bool(float x, float y)>& inside, int x, int y, int samples) {
    int hits = 0;
    for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
            if (inside(x + (sx + 0.5f) / samples, y + (sy + 0.5f) / samples)) {
                ++hits;
            }
        }
    }
    return static_cast<float>(hits) / (samples * samples);
}

namespace {

std::string FindFontFile(const std::string& face) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(face.c_str()));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    std::string file;
    FcChar8* path = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
        file = reinterpret_cast<const char*>(path);
    }
    if (match) {
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    if (file.empty()) {
        throw std::runtime_error("no font found for " + face);
    }
    return file;
}

} // namespace

TextMask RenderText(const std::string& text, const std::string& face, int pixelHeight) {
    FT_Library library;
    if (FT_Init_FreeType(&library)) {
        throw std::runtime_error("FreeType cannot start");
    }
    FT_Face ftFace;
    if (FT_New_Face(library, FindFontFile(face).c_str(), 0, &ftFace)) {
        FT_Done_FreeType(library);
        throw std::runtime_error("cannot open the font for " + face);
    }
    FT_Set_Pixel_Sizes(ftFace, 0, pixelHeight);
    const int ascent = static_cast<int>(ftFace->size->metrics.ascender >> 6);
    const int descent = static_cast<int>(-(ftFace->size->metrics.descender >> 6));

    int width = 0;
    for (char c : text) {
        if (!FT_Load_Char(ftFace, static_cast<unsigned char>(c), FT_LOAD_DEFAULT)) {
            width += static_cast<int>(ftFace->glyph->advance.x >> 6);
        }
    }
    TextMask mask;
    mask.width = width + 2;
    mask.height = ascent + descent;
    mask.coverage.assign(size_t(mask.width) * mask.height, 0);
    int penX = 1;
    for (char c : text) {
        if (FT_Load_Char(ftFace, static_cast<unsigned char>(c), FT_LOAD_RENDER)) {
            continue;
        }
        const FT_Bitmap& bitmap = ftFace->glyph->bitmap;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            for (unsigned col = 0; col < bitmap.width; ++col) {
                int x = penX + ftFace->glyph->bitmap_left + static_cast<int>(col);
                int y = ascent - ftFace->glyph->bitmap_top + static_cast<int>(row);
                if (x >= 0 && y >= 0 && x < mask.width && y < mask.height) {
                    uint8_t value = bitmap.buffer[row * bitmap.pitch + col];
                    uint8_t& cell = mask.coverage[size_t(y) * mask.width + x];
                    cell = std::max(cell, value);
                }
            }
        }
        penX += static_cast<int>(ftFace->glyph->advance.x >> 6);
    }
    FT_Done_Face(ftFace);
    FT_Done_FreeType(library);
    return mask;
}

} // namespace assetgen
