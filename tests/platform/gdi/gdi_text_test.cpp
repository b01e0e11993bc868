// Tests of GDI text as the glyph-texture font drives it: MulDiv rounding, the face behind "Arial",
// metrics at 10 and 14 points, glyph coverage drawn into a top-down DIB section, clipping, and the
// handle rules of selection and deletion.
#include "win32/windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

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

TEST(GdiText, ArialHasTheMetricsOfAMetricCompatibleSansAt96PixelsPerInch) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
    DeleteDC(dc);

    // Widths of Arial in 2048ths of an em; a metric-compatible face has the same advances. Cell heights:
    // the face's Windows ascent (1854) plus descent (434) over 2048, at 13 and 19 pixels.
    struct Advance {
        char character;
        int units;
    } advances[] = {{' ', 569}, {'i', 455}, {'x', 1024}, {'0', 1139}, {'W', 1933}, {'m', 1706}};
    for (auto [points, cell] : {std::pair{10, 15}, {14, 21}}) {
        SCOPED_TRACE(testing::Message() << points << " points");
        TextCanvas canvas(points, 8, 8);
        ASSERT_NE(canvas.font, nullptr);
        int em = MulDiv(points, 96, 72);
        for (const Advance& advance : advances) {
            SIZE size = canvas.Extent(std::string(1, advance.character));
            EXPECT_NEAR(size.cx, advance.units * em / 2048.0, 1.0) << "'" << advance.character << "'";
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
}

TEST(GdiText, GlyphCoverageAt10And14Points) {
    for (int points : {10, 14}) {
        TextCanvas canvas(points, 64, 32);
        ASSERT_NE(canvas.bits, nullptr);
        SIZE size = canvas.Extent("H");
        const int x0 = 10, y0 = 5;
        ASSERT_TRUE(ExtTextOutA(canvas.dc, x0, y0, ETO_OPAQUE, nullptr, "H", 1, nullptr));
        int full = 0, partial = 0, inkTop = 999, inkBottom = -1;
        for (int y = 0; y < canvas.height; ++y) {
            for (int x = 0; x < canvas.width; ++x) {
                DWORD pixel = canvas.Pixel(x, y);
                BYTE b = pixel & 0xFF, g = (pixel >> 8) & 0xFF, r = (pixel >> 16) & 0xFF;
                EXPECT_TRUE(r == g && g == b) << "grey levels only at " << x << "," << y;
                EXPECT_EQ(pixel >> 24, 0u);
                if (b == 0) {
                    continue;
                }
                bool inside = x >= x0 && x < x0 + size.cx && y >= y0 && y < y0 + size.cy;
                EXPECT_TRUE(inside) << "ink outside the cell at " << x << "," << y;
                full += (b >> 4) == 15;
                partial += (b >> 4) > 0 && (b >> 4) < 15;
                inkTop = std::min(inkTop, y);
                inkBottom = std::max(inkBottom, y);
            }
        }
        // Two stems and a bar: the stems are fully covered over most of the capital height (about
        // 0.716 em), the edges anti-aliased.
        int em = MulDiv(points, 96, 72);
        EXPECT_GE(full, em) << points << " points";
        EXPECT_GT(partial, 0) << "anti-aliased edges at " << points << " points";
        EXPECT_NEAR(inkBottom - inkTop + 1, 0.716 * em, 1.5) << "capital height at " << points << " points";
        EXPECT_LE(inkBottom, y0 + canvas.Extent("H").cy - 1);
    }
}

TEST(GdiText, OpaqueCellIsFilledWithTheBackgroundAndGlyphsMoveWithThePen) {
    TextCanvas canvas(14, 80, 30);
    SetBkColor(canvas.dc, RGB(0, 0, 200)); // blue: the low byte of a DIB pixel
    SIZE size = canvas.Extent(".");
    ASSERT_TRUE(ExtTextOutA(canvas.dc, 4, 2, ETO_OPAQUE, nullptr, ".", 1, nullptr));
    EXPECT_EQ(canvas.Pixel(4, 2), 0x0000C8u) << "top-left of the cell";
    EXPECT_EQ(canvas.Pixel(4 + size.cx - 1, 2 + size.cy - 1) & 0xFF, 0xC8u) << "bottom-right of the cell";
    EXPECT_EQ(canvas.Pixel(4 + size.cx, 2), 0u) << "right of the cell untouched";
    EXPECT_EQ(canvas.Pixel(4, 2 + size.cy), 0u) << "below the cell untouched";

    // The same glyph drawn 40 pixels to the right gives the same pixels shifted by 40.
    SetBkColor(canvas.dc, 0);
    ASSERT_TRUE(ExtTextOutA(canvas.dc, 4, 2, ETO_OPAQUE, nullptr, "g", 1, nullptr));
    ASSERT_TRUE(ExtTextOutA(canvas.dc, 44, 2, ETO_OPAQUE, nullptr, "g", 1, nullptr));
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 36; ++x) {
            ASSERT_EQ(canvas.Pixel(x, y), canvas.Pixel(x + 40, y)) << x << "," << y;
        }
    }
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

TEST(GdiText, DibSectionsAreZeroFilledBottomUpRowsStoredLastAndBadHeadersRefused) {
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, 3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    DWORD* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_TRUE(std::all_of(bits, bits + 12, [](DWORD p) { return p == 0; }));
    HGDIOBJ previous = SelectObject(dc, bitmap);
    SetBkColor(dc, RGB(0, 0, 9));
    RECT topRow = {0, 0, 4, 1};
    EXPECT_TRUE(ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &topRow, "", 0, nullptr));
    EXPECT_EQ(bits[0], 0u);
    EXPECT_EQ(bits[2 * 4], 9u) << "row 0 of a bottom-up bitmap is the last row in memory";
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
    DeleteDC(dc);
}

TEST(GdiText, SelectedObjectsAreNotDeletedAndStaleHandlesFail) {
    TextCanvas canvas(10, 8, 8);
    EXPECT_FALSE(DeleteObject(canvas.font)) << "a selected font stays";
    EXPECT_FALSE(DeleteObject(canvas.bitmap)) << "a selected bitmap stays";

    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, canvas.bitmap), nullptr) << "a bitmap belongs to one context";
    EXPECT_NE(SelectObject(other, canvas.font), nullptr) << "a font may be shared";
    DeleteDC(other);

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
