// GDI handles: the table of live objects, memory device contexts, selection and deletion of fonts
// and bitmaps, DIB sections and the context's text attributes. Every entry point checks its handle
// against the table first.
#include "gdi/gdi_objects.h"

#include <cstdlib>
#include <mutex>
#include <unordered_set>

namespace platform::gdi {

namespace {

constexpr int PIXELS_PER_INCH = 96;
constexpr LONG MAX_DIB_SIDE = 32768;
constexpr uint64_t MAX_DIB_PIXELS = 1u << 28;

struct ObjectTable {
    std::mutex lock;
    std::unordered_set<GdiObject*> live;
};

ObjectTable& Table() {
    static ObjectTable* table = new ObjectTable(); // outlives every static destructor that may free
    return *table;
}

} // namespace

void* Register(std::unique_ptr<GdiObject> object) {
    ObjectTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    GdiObject* raw = object.release();
    table.live.insert(raw);
    return raw;
}

GdiObject* LookUp(const void* handle, ObjectKind kind) {
    if (handle == nullptr) {
        return nullptr;
    }
    ObjectTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto* object = static_cast<GdiObject*>(const_cast<void*>(handle));
    auto found = table.live.find(object);
    if (found == table.live.end() || (*found)->kind != kind) {
        return nullptr;
    }
    return object;
}

void Destroy(GdiObject* object) {
    {
        ObjectTable& table = Table();
        std::lock_guard<std::mutex> guard(table.lock);
        table.live.erase(object);
    }
    delete object;
}

Font* StockFont() {
    static Font* font = [] {
        auto created = std::make_unique<Font>();
        created->stock = true;
        std::string error;
        created->face = FontFace::Create(FontRequest{"System", 0, FW_NORMAL, false}, &error);
        return static_cast<Font*>(Register(std::move(created)));
    }();
    return font;
}

Bitmap* StockBitmap() {
    static Bitmap* bitmap = [] {
        auto created = std::make_unique<Bitmap>();
        created->stock = true;
        created->width = 1;
        created->height = 1;
        created->pixels.assign(1, 0);
        return static_cast<Bitmap*>(Register(std::move(created)));
    }();
    return bitmap;
}

} // namespace platform::gdi

using namespace platform::gdi;

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    int64_t product = static_cast<int64_t>(number) * numerator;
    uint64_t magnitude = static_cast<uint64_t>(std::llabs(product));
    uint64_t divisor = static_cast<uint64_t>(std::llabs(static_cast<long long>(denominator)));
    uint64_t quotient = (magnitude + divisor / 2) / divisor;
    bool negative = (product < 0) != (denominator < 0);
    if (quotient > static_cast<uint64_t>(INT32_MAX) + (negative ? 1u : 0u)) {
        return -1;
    }
    return negative ? static_cast<int>(-static_cast<int64_t>(quotient)) : static_cast<int>(quotient);
}

HDC CreateCompatibleDC(HDC reference) {
    if (reference != nullptr && LookUpDc(reference) == nullptr) {
        return nullptr;
    }
    auto dc = std::make_unique<DeviceContext>();
    dc->font = StockFont();
    dc->bitmap = StockBitmap();
    dc->font->selections++;
    dc->bitmap->selections++;
    return static_cast<HDC>(Register(std::move(dc)));
}

BOOL DeleteDC(HDC handle) {
    DeviceContext* dc = LookUpDc(handle);
    if (dc == nullptr) {
        return FALSE;
    }
    dc->font->selections--;
    dc->bitmap->selections--;
    Destroy(dc);
    return TRUE;
}

int SetMapMode(HDC handle, int mode) {
    // MM_TEXT is the only mode, so it is always the previous one.
    return LookUpDc(handle) != nullptr && mode == MM_TEXT ? MM_TEXT : 0;
}

int GetDeviceCaps(HDC handle, int index) {
    if (LookUpDc(handle) == nullptr) {
        return 0;
    }
    return index == LOGPIXELSX || index == LOGPIXELSY ? PIXELS_PER_INCH : 0;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
    DeviceContext* dc = LookUpDc(handle);
    if (dc == nullptr) {
        return nullptr;
    }
    if (auto* font = static_cast<Font*>(LookUp(object, ObjectKind::Font))) {
        Font* previous = dc->font;
        previous->selections--;
        font->selections++;
        dc->font = font;
        return previous;
    }
    if (auto* bitmap = static_cast<Bitmap*>(LookUp(object, ObjectKind::Bitmap))) {
        // A bitmap belongs to one context at a time; the shared stock bitmap is the exception.
        if (bitmap != dc->bitmap && bitmap->selections > 0 && !bitmap->stock) {
            return nullptr;
        }
        Bitmap* previous = dc->bitmap;
        previous->selections--;
        bitmap->selections++;
        dc->bitmap = bitmap;
        return previous;
    }
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ handle) {
    GdiObject* object = LookUp(handle, ObjectKind::Font);
    if (object == nullptr) {
        object = LookUp(handle, ObjectKind::Bitmap);
    }
    if (object == nullptr || object->selections > 0) {
        return FALSE;
    }
    if (!object->stock) {
        Destroy(object);
    }
    return TRUE;
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    if (bits != nullptr) {
        *bits = nullptr;
    }
    if ((dc != nullptr && LookUpDc(dc) == nullptr) || info == nullptr || usage != DIB_RGB_COLORS ||
        section != nullptr || offset != 0) {
        return nullptr;
    }
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 || header.biBitCount != 32 ||
        header.biCompression != BI_RGB || header.biWidth <= 0 || header.biWidth > MAX_DIB_SIDE ||
        header.biHeight == 0 || header.biHeight < -MAX_DIB_SIDE || header.biHeight > MAX_DIB_SIDE) {
        return nullptr;
    }
    auto bitmap = std::make_unique<Bitmap>();
    bitmap->width = header.biWidth;
    bitmap->height = std::abs(header.biHeight);
    bitmap->topDown = header.biHeight < 0;
    uint64_t count = static_cast<uint64_t>(bitmap->width) * static_cast<uint64_t>(bitmap->height);
    if (count > MAX_DIB_PIXELS) {
        return nullptr;
    }
    bitmap->pixels.assign(count, 0);
    void* pixels = bitmap->pixels.data();
    HBITMAP handle = static_cast<HBITMAP>(Register(std::move(bitmap)));
    if (bits != nullptr) {
        *bits = pixels;
    }
    return handle;
}

COLORREF SetTextColor(HDC handle, COLORREF color) {
    DeviceContext* dc = LookUpDc(handle);
    if (dc == nullptr) {
        return CLR_INVALID;
    }
    COLORREF previous = dc->textColor;
    dc->textColor = color & 0x00FFFFFF;
    return previous;
}

COLORREF SetBkColor(HDC handle, COLORREF color) {
    DeviceContext* dc = LookUpDc(handle);
    if (dc == nullptr) {
        return CLR_INVALID;
    }
    COLORREF previous = dc->backgroundColor;
    dc->backgroundColor = color & 0x00FFFFFF;
    return previous;
}

UINT SetTextAlign(HDC handle, UINT align) {
    // TA_TOP | TA_LEFT is the only alignment, so it is always the previous one.
    return LookUpDc(handle) != nullptr && align == (TA_TOP | TA_LEFT) ? TA_TOP | TA_LEFT : GDI_ERROR;
}
