// Bitmap-font text: every printable glyph of one GDI font rasterised into one square alpha texture,
// drawn as textured quads in batches from a dynamic vertex buffer, in screen pixels, relative to the
// viewport or as flat geometry in object space.
#pragma once

#include "core/velkora_api.h"
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9_math.h"
#include "d2d/d2d_manager.h"

class InitManager;

// Creation flags.
constexpr DWORD D3DFONT_BOLD = 0x0001;
constexpr DWORD D3DFONT_ITALIC = 0x0002;
constexpr DWORD D3DFONT_ZENABLE = 0x0004;

// Drawing flags.
constexpr DWORD D3DFONT_CENTERED_X = 0x0001;
constexpr DWORD D3DFONT_CENTERED_Y = 0x0002;
constexpr DWORD D3DFONT_TWOSIDED = 0x0004;
constexpr DWORD D3DFONT_FILTERED = 0x0008;

// Vertex of the 3D text (vertex format 0x112, 32 bytes).
struct Font3DVertex {
    float x, y, z;
    float nx, ny, nz;
    float tu, tv;
};
static_assert(sizeof(Font3DVertex) == 32, "Font3DVertex must match its vertex format");

constexpr DWORD FONT3D_VERTEX_FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

ScreenVertex InitFont2DVertex(const D3DXVECTOR4& position, DWORD colour, float tu, float tv);
Font3DVertex InitFont3DVertex(const D3DXVECTOR3& position, const D3DXVECTOR3& normal, float tu, float tv);

class VELKORA_API CD3DFont {
public:
    CD3DFont(const char* fontName, DWORD height, DWORD flags);
    ~CD3DFont();

    HRESULT InitDeviceObjects(IDirect3DDevice9* device);
    HRESULT RestoreDeviceObjects();
    HRESULT InvalidateDeviceObjects();
    HRESULT DeleteDeviceObjects();

    HRESULT DrawTextA(float x, float y, DWORD colour, const char* text, DWORD flags);
    HRESULT DrawTextScaled(float x, float y, float z, float xScale, float yScale, DWORD colour,
                           const char* text, DWORD flags);
    HRESULT Render3DText(const char* text, DWORD flags);
    HRESULT GetTextExtent(const char* text, SIZE* size);

    char faceName[80] = {};
    DWORD height = 0;
    DWORD creationFlags = 0;
    IDirect3DDevice9* device = nullptr;
    IDirect3DTexture9* glyphTexture = nullptr;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    DWORD textureWidth = 0;
    DWORD textureHeight = 0;
    float textScale = 1.0f;
    float glyphCoordinates[95][4] = {};
    DWORD spacing = 0;
    IDirect3DStateBlock9* savedStateBlock = nullptr;
    IDirect3DStateBlock9* drawingStateBlock = nullptr;
    InitManager* deviceOwner = nullptr;

private:
    HRESULT CreateGDIFont(HDC dc, HFONT* font);
    HRESULT PaintAlphabet(HDC dc, BOOL measureOnly);
    bool HasDeviceObjects() const;
    // Saves the caller's states, applies the drawing states and binds the vertex format and buffer;
    // flag D3DFONT_FILTERED switches to linear filtering.
    void BeginTextStates(DWORD fvf, UINT stride, DWORD flags);
    float LineHeight() const;
};
