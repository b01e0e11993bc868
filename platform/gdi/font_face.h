// One sized font face for GDI text: found by name through fontconfig, loaded and rasterised with
// FreeType, with metrics in whole pixels as GDI reports them (advance widths, ascent, descent).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::gdi {

// An 8-bit coverage image of one glyph, placed relative to the cell's top-left corner.
struct GlyphImage {
    int left = 0; // pixels right of the pen position
    int top = 0;  // pixels below the cell's top
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage; // width * height, 0 (none) to 255 (full), rows top-down
};

struct FontRequest {
    std::string faceName;
    int height = 0; // GDI convention: < 0 em height in pixels, > 0 cell height, 0 default
    int weight = 400;
    bool italic = false;
};

class FontFace {
public:
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // Null when no installed face can be found or loaded; `error` then says why.
    static std::unique_ptr<FontFace> Create(const FontRequest& request, std::string* error);

    int Ascent() const { return ascent; }
    int Descent() const { return descent; }
    int CellHeight() const { return ascent + descent; }
    int EmPixels() const { return emPixels; }
    const std::string& FilePath() const { return filePath; }
    // The advance width of a single-byte character (Windows-1252) in whole pixels.
    int Advance(unsigned char character);
    // The coverage image of the character; an empty image for blanks. False on a FreeType failure.
    bool Render(unsigned char character, GlyphImage* image);

private:
    FontFace() = default;
    bool LoadGlyph(unsigned char character);

    void* face = nullptr; // FT_Face, kept opaque so that FreeType's headers stay inside the library
    std::string filePath;
    int emPixels = 0;
    int ascent = 0;
    int descent = 0;
    int advances[256];
    bool advanceKnown[256] = {};
};

} // namespace platform::gdi
