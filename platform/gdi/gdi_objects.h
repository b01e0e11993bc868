// The objects behind GDI handles (device contexts, fonts, bitmaps) and the table that tells live
// handles from stale or foreign ones, so that a wrong handle fails instead of crashing.
#pragma once

#include "gdi/font_face.h"
#include "gdi/wingdi.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::gdi {

enum class ObjectKind { DeviceContext, Font, Bitmap };

struct GdiObject {
    explicit GdiObject(ObjectKind objectKind) : kind(objectKind) {}
    virtual ~GdiObject() = default;

    ObjectKind kind;
    int selections = 0; // contexts that have this object selected
    bool stock = false; // default objects live for the whole process
};

struct Font : GdiObject {
    Font() : GdiObject(ObjectKind::Font) {}
    std::unique_ptr<FontFace> face;
};

// A 32-bit DIB section: one DWORD per pixel, blue in the low byte.
struct Bitmap : GdiObject {
    Bitmap() : GdiObject(ObjectKind::Bitmap) {}
    int width = 0;
    int height = 0;
    bool topDown = false;
    std::vector<uint32_t> pixels;

    // Row y counted from the top of the picture, whatever the storage order.
    uint32_t* Row(int y) {
        size_t stored = static_cast<size_t>(topDown ? y : height - 1 - y);
        return pixels.data() + stored * static_cast<size_t>(width);
    }
};

struct DeviceContext : GdiObject {
    DeviceContext() : GdiObject(ObjectKind::DeviceContext) {}
    Font* font = nullptr;
    Bitmap* bitmap = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF backgroundColor = RGB(255, 255, 255);
};

// Adds an object to the table of live handles and returns its handle value.
void* Register(std::unique_ptr<GdiObject> object);
// The live object of that kind behind the handle, or null.
GdiObject* LookUp(const void* handle, ObjectKind kind);
// Removes the object from the table and destroys it.
void Destroy(GdiObject* object);

inline DeviceContext* LookUpDc(HDC dc) {
    return static_cast<DeviceContext*>(LookUp(dc, ObjectKind::DeviceContext));
}

// The font and the 1 x 1 bitmap a new context starts with.
Font* StockFont();
Bitmap* StockBitmap();

} // namespace platform::gdi
