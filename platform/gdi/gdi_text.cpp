// GDI text: creating fonts, measuring strings and drawing them into the selected DIB section with
// anti-aliased coverage blended from the background colour to the text colour.
#include "gdi/gdi_objects.h"

#include <algorithm>
#include <cstring>

using namespace platform::gdi;

namespace {

// COLORREF is 0x00BBGGRR; a DIB pixel is 0x00RRGGBB.
uint32_t DibPixelOf(COLORREF color) {
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

// Each colour channel moves from the pixel's value towards the text's by coverage / 255, rounded. The
// top byte of a written pixel is 0, as in every pixel GDI writes.
uint32_t Blend(uint32_t under, uint32_t over, unsigned coverage) {
    const auto weight = static_cast<int>(coverage);
    auto channel = [&](int shift) {
        const int a = static_cast<int>((under >> shift) & 0xFF);
        const int b = static_cast<int>((over >> shift) & 0xFF);
        return static_cast<uint32_t>((a * (255 - weight) + b * weight + 127) / 255) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

struct Box {
    int left;
    int top;
    int right;
    int bottom;
};

// The part of the area that lies inside the bitmap.
Box ClipToBitmap(const Box& area, const Bitmap& bitmap) {
    return {std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, bitmap.width),
            std::min(area.bottom, bitmap.height)};
}

void Fill(Bitmap* bitmap, const Box& area, uint32_t pixel) {
    Box clipped = ClipToBitmap(area, *bitmap);
    for (int y = clipped.top; y < clipped.bottom; ++y) {
        uint32_t* row = bitmap->Row(y);
        std::fill(row + clipped.left, row + std::max(clipped.left, clipped.right), pixel);
    }
}

void DrawGlyph(Bitmap* bitmap, const GlyphImage& glyph, int penX, int cellTop, uint32_t color) {
    int originX = penX + glyph.left;
    int originY = cellTop + glyph.top;
    Box area = ClipToBitmap({originX, originY, originX + glyph.width, originY + glyph.height}, *bitmap);
    for (int y = area.top; y < area.bottom; ++y) {
        uint32_t* row = bitmap->Row(y);
        const uint8_t* coverage = glyph.coverage.data() + static_cast<size_t>(y - originY) * glyph.width;
        for (int x = area.left; x < area.right; ++x) {
            unsigned amount = coverage[x - originX];
            if (amount != 0) {
                row[x] = Blend(row[x], color, amount);
            }
        }
    }
}

} // namespace

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
    // Width, angles, decorations, character set, precisions, quality and pitch are accepted and not
    // used: the face comes from its name, weight and slant alone, and glyphs are always anti-aliased.
    (void)width, (void)escapement, (void)orientation, (void)underline, (void)strikeOut, (void)charSet;
    (void)outPrecision, (void)clipPrecision, (void)quality, (void)pitchAndFamily;
    FontRequest request;
    if (faceName != nullptr) {
        request.faceName.assign(faceName, strnlen(faceName, 32));
    }
    request.height = height;
    request.weight = weight == FW_DONTCARE ? FW_NORMAL : weight;
    request.italic = italic != 0;
    std::string error;
    auto font = std::make_unique<Font>();
    font->face = FontFace::Create(request, &error);
    if (font->face == nullptr) {
        return nullptr;
    }
    return static_cast<HFONT>(Register(std::move(font)));
}

BOOL GetTextExtentPoint32A(HDC handle, LPCSTR text, int count, LPSIZE size) {
    DeviceContext* dc = LookUpDc(handle);
    if (dc == nullptr || size == nullptr || count < 0 || (text == nullptr && count > 0) ||
        dc->font->face == nullptr) {
        return FALSE;
    }
    int64_t widthSum = 0;
    for (int i = 0; i < count; ++i) {
        widthSum += dc->font->face->Advance(static_cast<unsigned char>(text[i]));
    }
    size->cx = static_cast<LONG>(std::min<int64_t>(widthSum, INT32_MAX));
    size->cy = dc->font->face->CellHeight();
    return TRUE;
}

BOOL ExtTextOutA(HDC handle, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count,
                 const INT* dx) {
    DeviceContext* dc = LookUpDc(handle);
    if (dc == nullptr || (text == nullptr && count > 0) || dc->font->face == nullptr || rect != nullptr ||
        dx != nullptr || (options & ~static_cast<UINT>(ETO_OPAQUE)) != 0) {
        return FALSE;
    }
    FontFace* face = dc->font->face.get();
    Bitmap* bitmap = dc->bitmap;
    int64_t textWidth = 0;
    for (UINT i = 0; i < count; ++i) {
        textWidth += face->Advance(static_cast<unsigned char>(text[i]));
    }
    if (textWidth > INT32_MAX / 2) {
        return FALSE;
    }
    if ((options & ETO_OPAQUE) != 0) {
        Fill(bitmap, {x, y, x + static_cast<int>(textWidth), y + face->CellHeight()},
             DibPixelOf(dc->backgroundColor));
    }

    uint32_t color = DibPixelOf(dc->textColor);
    GlyphImage glyph;
    int penX = x;
    for (UINT i = 0; i < count; ++i) {
        auto character = static_cast<unsigned char>(text[i]);
        if (!face->Render(character, &glyph)) {
            return FALSE;
        }
        DrawGlyph(bitmap, glyph, penX, y, color);
        penX += face->Advance(character);
    }
    return TRUE;
}
