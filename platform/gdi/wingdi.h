// The GDI subset the engine uses to rasterise text: memory device contexts, fonts found through
// fontconfig and drawn with FreeType, 32-bit DIB sections, text extents and opaque text output. The
// bitmap structures keep their Windows layout because files (BMP) are read into them.
#pragma once

#include "win32/windows_base.h"

// Device capabilities.
#define LOGPIXELSX 88
#define LOGPIXELSY 90

// Mapping modes.
#define MM_TEXT 1

// Font weights.
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700

// Character sets, precisions, qualities and pitches of CreateFontA.
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0
#define FF_SWISS 0x20

// Text alignment: the reference point of ExtTextOutA is the top-left corner of the text's cell.
#define TA_NOUPDATECP 0
#define TA_LEFT 0
#define TA_TOP 0

// ExtTextOutA options.
#define ETO_OPAQUE 0x0002

// Bitmaps.
#define DIB_RGB_COLORS 0
#define BI_RGB 0
#define BI_RLE8 1
#define BI_RLE4 2
#define BI_BITFIELDS 3

#define CLR_INVALID 0xFFFFFFFF
#define GDI_ERROR 0xFFFFFFFF

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // negative: rows run top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

// The 14-byte header at the start of a BMP file, packed as stored.
#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)

static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD is stored as four bytes");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is stored as 40 bytes");
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER is stored as 14 bytes");

using LPBITMAPINFO = BITMAPINFO*;
using LPSIZE = SIZE*;

// KERNEL32: a * b / c with a 64-bit intermediate, rounded to the nearest integer (halves away from
// zero). -1 when c is 0 or the result does not fit.
int MulDiv(int number, int numerator, int denominator);

// A memory device context; the reference context is null (the screen) or a live context. It starts
// with a shared 1 x 1 bitmap, the default font, text colour black, background white, TA_TOP.
HDC CreateCompatibleDC(HDC reference);
BOOL DeleteDC(HDC dc);
// Only MM_TEXT (one logical unit is one pixel, y down): returns the previous mode (MM_TEXT); 0 for any
// other mode or a bad context.
int SetMapMode(HDC dc, int mode);
// LOGPIXELSX/LOGPIXELSY: 96; 0 for any other index.
int GetDeviceCaps(HDC dc, int index);

// A font of the given height: negative means character (em) height in pixels, positive cell height,
// zero a default. The face name goes through fontconfig ("Arial" resolves to a metric-compatible
// sans). Null when no face can be loaded.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);

// Selects a font or bitmap into the context and returns the one it replaces (null on failure).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Deletes a font or bitmap. An object still selected into a context is not deleted (FALSE).
BOOL DeleteObject(HGDIOBJ object);

// A zero-filled 32-bit bitmap whose pixels the caller reads and writes through *bits.
// Top-down when biHeight is negative. Only BI_RGB and DIB_RGB_COLORS are accepted.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);

// Return the previous colour, or CLR_INVALID for a bad context.
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
// Only TA_TOP | TA_LEFT (0) is supported: it returns the previous alignment (always that one); any other
// alignment, or a bad context, gives GDI_ERROR and changes nothing.
UINT SetTextAlign(HDC dc, UINT align);

// cx = the sum of the advance widths, cy = the cell height (ascent + descent) of the selected font.
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, LPSIZE size);

// Draws the text with its cell's top-left at (x, y) in the text colour, anti-aliased over the
// background colour, clipped to the selected bitmap. ETO_OPAQUE first fills the text's cell with the
// background colour. Only the font's own advances are used: a rectangle, per-character advances (dx)
// or options other than ETO_OPAQUE make the call fail (FALSE) without drawing.
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count,
                 const INT* dx);
