// Tests of GDI text as the glyph-texture font drives it: MulDiv rounding, the face behind "Arial" with
// its documented metrics at 10 and 14 points, glyph placement and anti-aliased coverage, colours blended
// per channel, DIB sections of both row orders, the calls it does not support, and the handle rules of
// selection and deletion.
#include "win32/windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

namespace {

HFONT MakeFont(int height, const char* face = "Arial", int weight = FW_NORMAL, BOOL italic = FALSE) {
    return CreateFontA(height, 0, 0, 0, weight, italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, face);
}

// A memory context with an "Arial" font of the given point size selected, and a top-down 32-bit
// bitmap, set up in the order the font uses.
class TextCanvas {
public:
    TextCanvas(int points, int width, int height, int weight = FW_NORMAL, BOOL italic = FALSE) {
        dc = CreateCompatibleDC(nullptr);
        SetMapMode(dc, MM_TEXT);
        int ppi = GetDeviceCaps(dc, LOGPIXELSY);
        font = MakeFont(-MulDiv(points, ppi, 72), "Arial", weight, italic);
        previousFont = SelectObject(dc, font);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        previousBitmap = SelectObject(dc, bitmap);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkColor(dc, 0);
        SetTextAlign(dc, TA_TOP);
        this->width = width;
        this->height = height;
    }
    ~TextCanvas() {
        SelectObject(dc, previousBitmap);
        DeleteObject(bitmap);
        SelectObject(dc, previousFont);
        DeleteObject(font);
        DeleteDC(dc);
    }
    SIZE Extent(const std::string& text) {
        SIZE size = {-1, -1};
        EXPECT_TRUE(GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size)) << text;
        return size;
    }
    DWORD Pixel(int x, int y) const { return bits[y * width + x]; }

    HDC dc = nullptr;
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousFont = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    DWORD* bits = nullptr;
    int width = 0;
    int height = 0;
};

TEST(GdiText, MulDivRoundsHalfAwayFromZero) {
    EXPECT_EQ(MulDiv(10, 96, 72), 13);
    EXPECT_EQ(MulDiv(14, 96, 72), 19);
    EXPECT_EQ(MulDiv(3, 1, 2), 2);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(3, -1, 2), -2);
    EXPECT_EQ(MulDiv(5, 1, 4), 1);
    EXPECT_EQ(MulDiv(0x40000000, 4, 2), -1) << "result beyond int";
    EXPECT_EQ(MulDiv(0x40000000, 0x40000000, 0x40000000), 0x40000000) << "64-bit intermediate";
    EXPECT_EQ(MulDiv(7, 3, 0), -1) << "division by zero";
}

// Arial's documented values in 2048ths of an em: advance widths (a metric-compatible face has the same),
// Windows ascent 1854 and descent 434, capital height 1467. GDI rounds them to whole pixels.
constexpr int ASCENT_UNITS = 1854;
constexpr int DESCENT_UNITS = 434;

int Pixels(int units, int em) {
    return (2 * units * em + 2048) / 4096; // units * em / 2048 rounded, halves up
}

TEST(GdiText, ArialHasTheMetricsOfAMetricCompatibleSansAt96PixelsPerInch) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
    DeleteDC(dc);

    struct Advance {
        char character;
        int units;
    } advances[] = {{' ', 569},  {'i', 455},  {'x', 1024}, {'0', 1139}, {'W', 1933},
                    {'m', 1706}, {'H', 1479}, {'A', 1366}, {'.', 569}};
    for (auto [points, em, cell] : {std::tuple{10, 13, 15}, {14, 19, 21}}) {
        SCOPED_TRACE(testing::Message() << points << " points");
        TextCanvas canvas(points, 8, 8);
        ASSERT_NE(canvas.font, nullptr);
        EXPECT_EQ(cell, Pixels(ASCENT_UNITS, em) + Pixels(DESCENT_UNITS, em));
        for (const Advance& advance : advances) {
            SIZE size = canvas.Extent(std::string(1, advance.character));
            EXPECT_EQ(size.cx, Pixels(advance.units, em)) << "'" << advance.character << "'";
        }
        int sum = 0;
        std::string all;
        for (int c = 32; c <= 126; ++c) {
            SIZE size = canvas.Extent(std::string(1, static_cast<char>(c)));
            EXPECT_EQ(size.cy, cell) << "code " << c << ": every character has the same cell height";
            EXPECT_GT(size.cx, 0) << "code " << c;
            sum += size.cx;
            all += static_cast<char>(c);
        }
        EXPECT_EQ(canvas.Extent(all).cx, sum) << "a string's width is the sum of its advances";
        EXPECT_EQ(canvas.Extent("").cx, 0);
    }
    TextCanvas regular(14, 8, 8), bold(14, 8, 8, FW_BOLD);
    EXPECT_GT(bold.Extent("Quarvel").cx, regular.Extent("Quarvel").cx) << "bold is wider";

    // A positive height asks for the cell: an em of height * 2048 / 2288 rounded (18: 16.1; 20: 17.9),
    // and at 18 the rounded ascent and descent (14 + 3) leave one pixel that goes to the descent.
    for (auto [height, em] : {std::pair{18, 16}, {20, 18}}) {
        HDC cellDc = CreateCompatibleDC(nullptr);
        HFONT cellFont = MakeFont(height);
        ASSERT_NE(cellFont, nullptr);
        HGDIOBJ previous = SelectObject(cellDc, cellFont);
        SIZE size = {};
        ASSERT_TRUE(GetTextExtentPoint32A(cellDc, "W", 1, &size));
        EXPECT_EQ(size.cy, height);
        EXPECT_EQ(size.cx, Pixels(1933, em)) << height;
        SelectObject(cellDc, previous);
        DeleteObject(cellFont);
        DeleteDC(cellDc);
    }
}

struct Ink {
    int left = 999, top = 999, right = -1, bottom = -1;
    int full = 0, partial = 0; // pixels of a coverage of at least 240, and of less
};

// Where a glyph's coverage lies in columns [from, to) of a white-on-black canvas.
Ink InkOf(const TextCanvas& canvas, int from, int to) {
    Ink ink;
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = from; x < to; ++x) {
            DWORD b = canvas.Pixel(x, y) & 0xFF;
            if (b != 0) {
                ink = {std::min(ink.left, x),   std::min(ink.top, y),  std::max(ink.right, x),
                       std::max(ink.bottom, y), ink.full + (b >= 240), ink.partial + (b < 240)};
            }
        }
    }
    return ink;
}

// "HH" at (10, 5): each capital stands on the baseline, the font's ascent below the cell's top, and the
// second lies exactly one advance of 'H' (1479 units) right of the first.
TEST(GdiText, GlyphsStandOnTheBaselineOneAdvanceApartWithAntiAliasedEdges) {
    for (int points : {10, 14}) {
        SCOPED_TRACE(testing::Message() << points << " points");
        const int em = MulDiv(points, 96, 72);
        const int advance = Pixels(1479, em);
        const int ascent = Pixels(ASCENT_UNITS, em);
        TextCanvas canvas(points, 64, 32);
        ASSERT_NE(canvas.bits, nullptr);
        const int x0 = 10, y0 = 5;
        ASSERT_TRUE(ExtTextOutA(canvas.dc, x0, y0, ETO_OPAQUE, nullptr, "HH", 2, nullptr));
        for (int y = 0; y < canvas.height; ++y) {
            for (int x = 0; x < canvas.width; ++x) {
                DWORD pixel = canvas.Pixel(x, y);
                EXPECT_EQ(pixel, (pixel & 0xFF) * 0x010101u) << "grey levels only at " << x << "," << y;
            }
        }
        Ink first = InkOf(canvas, 0, x0 + advance);
        Ink second = InkOf(canvas, x0 + advance, canvas.width);
        EXPECT_EQ(first.bottom, y0 + ascent - 1) << "the baseline";
        EXPECT_NEAR(first.bottom - first.top + 1, 1467.0 * em / 2048, 1.0) << "capital height";
        EXPECT_GE(first.left, x0);
        EXPECT_LE(first.left, x0 + 1) << "Arial's 'H' starts 158 units right of the pen";
        EXPECT_GE(first.full, em) << "two stems fully covered";
        EXPECT_GT(first.partial, 0) << "anti-aliased edges";
        EXPECT_EQ(second.left - first.left, advance);
        EXPECT_EQ(second.right - first.right, advance);
        EXPECT_EQ(std::pair(second.top, second.bottom), std::pair(first.top, first.bottom));
        EXPECT_EQ(second.right, InkOf(canvas, 0, canvas.width).right) << "nothing after the text";
    }
}

// Dark text on a light background, different in every channel: each pixel is the background moved
// towards the text colour by the glyph's coverage (coverage/255, rounded), which white text on black
// shows directly. The channels' differences share no factor with 255, so that some coverage brings
// each of them within a hair of half a step.
TEST(GdiText, DarkTextOnALightBackgroundBlendsEachChannelByTheCoverage) {
    const char* const TEXT = "Wg@&%Qs";
    const int length = static_cast<int>(std::strlen(TEXT));
    TextCanvas white(14, 96, 24);
    TextCanvas dark(14, 96, 24);
    ASSERT_TRUE(ExtTextOutA(white.dc, 3, 2, ETO_OPAQUE, nullptr, TEXT, length, nullptr));
    EXPECT_EQ(SetTextColor(dark.dc, RGB(23, 199, 91)), RGB(255, 255, 255));
    EXPECT_EQ(SetBkColor(dark.dc, RGB(250, 30, 140)), RGB(0, 0, 0));
    ASSERT_TRUE(ExtTextOutA(dark.dc, 3, 2, ETO_OPAQUE, nullptr, TEXT, length, nullptr));
    const int text[3] = {91, 199, 23};        // blue, green, red: DIB byte order
    const int background[3] = {140, 30, 250};
    const int cellWidth = white.Extent(TEXT).cx;
    int full = 0, partial = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 96; ++x) {
            const DWORD coverage = white.Pixel(x, y) & 0xFF;
            const bool inCell = x >= 3 && x < 3 + cellWidth && y >= 2 && y < 2 + 21;
            DWORD expected = 0;
            if (inCell) {
                for (int c = 0; c < 3; ++c) {
                    long value = background[c] + std::lround((text[c] - background[c]) * (coverage / 255.0));
                    expected |= static_cast<DWORD>(value) << (8 * c);
                }
            }
            ASSERT_EQ(dark.Pixel(x, y), expected) << x << "," << y << " coverage " << coverage;
            full += coverage == 255;
            partial += coverage > 0 && coverage < 255;
        }
    }
    EXPECT_GT(full, 0);
    EXPECT_GT(partial, 0);
    EXPECT_EQ(dark.Pixel(3, 2), 0x00FA1E8Cu) << "background of the cell";
}

TEST(GdiText, DrawingIsClippedToTheBitmap) {
    TextCanvas canvas(14, 12, 10);
    SetBkColor(canvas.dc, RGB(0, 0, 1));
    // Partly and wholly outside on every side; nothing is written outside the pixels.
    EXPECT_TRUE(ExtTextOutA(canvas.dc, -6, -8, ETO_OPAQUE, nullptr, "WW", 2, nullptr));
    EXPECT_TRUE(ExtTextOutA(canvas.dc, 8, 5, ETO_OPAQUE, nullptr, "Wg", 2, nullptr));
    EXPECT_TRUE(ExtTextOutA(canvas.dc, 5000, -5000, ETO_OPAQUE, nullptr, "W", 1, nullptr));
    EXPECT_NE(canvas.Pixel(0, 0), 0u);
    EXPECT_NE(canvas.Pixel(11, 9), 0u);
}

// A positive biHeight stores the bottom row first: text at the top of the picture lands at the end of
// the memory, row for row reversed.
TEST(GdiText, DibSectionsAreZeroFilledBottomUpRowsStoredLastAndBadHeadersRefused) {
    TextCanvas topDown(10, 8, 20);
    HDC dc = topDown.dc;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 8, 20, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    DWORD* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_TRUE(std::all_of(bits, bits + 160, [](DWORD p) { return p == 0; }));
    ASSERT_TRUE(ExtTextOutA(dc, 1, 0, ETO_OPAQUE, nullptr, "H", 1, nullptr));
    HGDIOBJ previous = SelectObject(dc, bitmap);
    ASSERT_TRUE(ExtTextOutA(dc, 1, 0, ETO_OPAQUE, nullptr, "H", 1, nullptr));
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(bits[(19 - y) * 8 + x], topDown.Pixel(x, y)) << x << "," << y;
        }
    }
    EXPECT_NE(topDown.Pixel(2, 10), 0u) << "the 'H' stem";
    EXPECT_EQ(bits[19 * 8 + 1], topDown.Pixel(1, 0));
    SelectObject(dc, previous);
    EXPECT_TRUE(DeleteObject(bitmap));

    struct Row {
        BITMAPINFOHEADER header;
        const char* what;
    } rows[] = {
        {{sizeof(BITMAPINFOHEADER), 16, -16, 1, 24, BI_RGB, 0, 0, 0, 0, 0}, "24 bits"},
        {{sizeof(BITMAPINFOHEADER), 0, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, "zero width"},
        {{sizeof(BITMAPINFOHEADER), -4, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, "negative width"},
        {{sizeof(BITMAPINFOHEADER), 16, 0, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, "zero height"},
        {{sizeof(BITMAPINFOHEADER), 0x7FFFFFFF, -0x7FFFFFFF, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, "huge"},
        {{12, 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, "short header"},
        {{sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_BITFIELDS, 0, 0, 0, 0, 0}, "bit fields"},
    };
    for (const Row& row : rows) {
        info.bmiHeader = row.header;
        bits = reinterpret_cast<DWORD*>(&info);
        EXPECT_EQ(CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0),
                  nullptr)
            << row.what;
        EXPECT_EQ(bits, nullptr) << row.what;
    }
}

// Only what the glyph font needs is there: top-left alignment, the pixel mapping, the font's own
// advances, no rectangle. Anything else fails and leaves the context and the pixels as they were.
TEST(GdiText, UnsupportedModesAlignmentsAndOptionsFailAndChangeNothing) {
    TextCanvas canvas(10, 16, 16);
    EXPECT_EQ(SetTextAlign(canvas.dc, TA_TOP | TA_LEFT), static_cast<UINT>(TA_TOP | TA_LEFT));
    EXPECT_EQ(SetTextAlign(canvas.dc, 24), GDI_ERROR) << "baseline alignment";
    EXPECT_EQ(SetTextAlign(canvas.dc, 2), GDI_ERROR) << "right alignment";
    EXPECT_EQ(SetTextAlign(nullptr, TA_TOP), GDI_ERROR);
    EXPECT_EQ(SetMapMode(canvas.dc, MM_TEXT), MM_TEXT);
    EXPECT_EQ(SetMapMode(canvas.dc, 2), 0) << "a metric mapping";
    EXPECT_EQ(SetMapMode(nullptr, MM_TEXT), 0);
    EXPECT_EQ(GetDeviceCaps(canvas.dc, 8), 0) << "an index other than the pixels per inch";
    EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSY), 0);

    const RECT rect = {0, 0, 16, 16};
    const INT dx[] = {5};
    EXPECT_FALSE(ExtTextOutA(canvas.dc, 0, 0, ETO_OPAQUE, &rect, "W", 1, nullptr));
    EXPECT_FALSE(ExtTextOutA(canvas.dc, 0, 0, ETO_OPAQUE, nullptr, "W", 1, dx));
    EXPECT_FALSE(ExtTextOutA(canvas.dc, 0, 0, ETO_OPAQUE | 0x0004, nullptr, "W", 1, nullptr)) << "clipped";
    SetBkColor(canvas.dc, RGB(1, 2, 3));
    for (int i = 0; i < 16 * 16; ++i) {
        ASSERT_EQ(canvas.bits[i], 0u) << "pixel " << i;
    }
    // The text as asked for does draw: the cell in the background colour, glyphs in the text colour.
    EXPECT_TRUE(ExtTextOutA(canvas.dc, 0, 0, ETO_OPAQUE, nullptr, "W", 1, nullptr));
    EXPECT_EQ(canvas.Pixel(0, 0), 0x00010203u);
    EXPECT_EQ(canvas.Pixel(12, 0), 0u) << "right of the 12-pixel cell";
    // Without ETO_OPAQUE the cell keeps what was there, and a pixel the glyph covers loses its top byte.
    SetBkColor(canvas.dc, RGB(9, 9, 9));
    std::fill(canvas.bits, canvas.bits + 16 * 16, 0xFF010203u);
    EXPECT_TRUE(ExtTextOutA(canvas.dc, 0, 0, 0, nullptr, ".", 1, nullptr));
    int covered = 0;
    for (int i = 0; i < 16 * 16; ++i) {
        if (canvas.bits[i] != 0xFF010203u) {
            ++covered;
            EXPECT_EQ(canvas.bits[i] >> 24, 0u) << "pixel " << i;
        }
    }
    EXPECT_GT(covered, 0);
    EXPECT_EQ(canvas.Pixel(0, 0), 0xFF010203u) << "the cell's corner, away from the full stop";
}

TEST(GdiText, SelectedObjectsAreNotDeletedAndStaleHandlesFail) {
    TextCanvas canvas(10, 8, 8);
    EXPECT_FALSE(DeleteObject(canvas.font)) << "a selected font stays";
    EXPECT_FALSE(DeleteObject(canvas.bitmap)) << "a selected bitmap stays";

    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, canvas.bitmap), nullptr) << "a bitmap belongs to one context";
    EXPECT_NE(SelectObject(other, canvas.font), nullptr) << "a font may be shared";
    DeleteDC(other);

    // A new context's own bitmap and font are shared by every new context: held, they stay; free, a
    // deletion succeeds but leaves them for the next context. Its font is at least the 16 pixels of the
    // system font.
    HDC fresh = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(DeleteObject(canvas.previousBitmap));
    EXPECT_FALSE(DeleteObject(canvas.previousFont));
    SIZE defaultSize = {};
    ASSERT_TRUE(GetTextExtentPoint32A(fresh, "x", 1, &defaultSize));
    EXPECT_GE(defaultSize.cy, 16);
    EXPECT_TRUE(DeleteDC(fresh));
    EXPECT_FALSE(DeleteDC(fresh)) << "already deleted";
    EXPECT_TRUE(DeleteObject(canvas.previousBitmap));
    EXPECT_TRUE(DeleteObject(canvas.previousBitmap)) << "still there";
    EXPECT_TRUE(DeleteObject(canvas.previousFont));

    HFONT extra = MakeFont(-13);
    ASSERT_NE(extra, nullptr);
    EXPECT_TRUE(DeleteObject(extra));
    EXPECT_FALSE(DeleteObject(extra)) << "already deleted";
    EXPECT_EQ(SelectObject(canvas.dc, extra), nullptr);
    EXPECT_FALSE(DeleteObject(canvas.dc)) << "a context is not a drawing object";

    SIZE size;
    EXPECT_FALSE(GetTextExtentPoint32A(nullptr, "x", 1, &size));
    EXPECT_FALSE(GetTextExtentPoint32A(canvas.dc, nullptr, 1, &size));
    EXPECT_FALSE(ExtTextOutA(nullptr, 0, 0, ETO_OPAQUE, nullptr, "x", 1, nullptr));
    EXPECT_EQ(SetTextColor(nullptr, 0), CLR_INVALID);

    HFONT fallback = MakeFont(-13, "No Such Face 4711");
    EXPECT_NE(fallback, nullptr) << "an unknown face name falls back to an installed face";
    DeleteObject(fallback);
}

} // namespace
