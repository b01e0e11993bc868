// Bitmap-font text: the glyph texture built with GDI, the state blocks, and the three drawing paths
// (screen pixels, viewport-relative, object-space geometry) with their common batching walk.
#include "d2d/d3d_font.h"

#include "core/init_manager.h"
#include "gdi/wingdi.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

constexpr DWORD FIRST_CODE = 32;
constexpr DWORD LAST_CODE = 126;
constexpr DWORD START_TEXTURE_SIZE = 128;
// The glyph texture never grows beyond this; a font that would need more fails to build.
constexpr DWORD LARGEST_TEXTURE_SIZE = 1u << 15;
// Rounds of the shrink loop before a font that still does not fit is given up.
constexpr int MAX_SHRINK_ROUNDS = 200;
constexpr UINT VERTEX_BUFFER_BYTES = 9600;
constexpr DWORD BATCH_VERTEX_LIMIT = 294;

// Releases every GDI object of the glyph build on every path out of it.
class GlyphCanvas {
public:
    GlyphCanvas() : dc(CreateCompatibleDC(nullptr)) {}
    ~GlyphCanvas() {
        if (dc == nullptr) {
            return;
        }
        if (bitmap != nullptr) {
            SelectObject(dc, previousBitmap);
            DeleteObject(bitmap);
        }
        if (font != nullptr) {
            SelectObject(dc, previousFont);
            DeleteObject(font);
        }
        DeleteDC(dc);
    }
    GlyphCanvas(const GlyphCanvas&) = delete;
    GlyphCanvas& operator=(const GlyphCanvas&) = delete;

    // Selects a new font in place of the current one, which is deleted.
    void UseFont(HFONT newFont) {
        if (font != nullptr) {
            SelectObject(dc, previousFont);
            DeleteObject(font);
            font = nullptr;
        }
        previousFont = SelectObject(dc, newFont);
        font = newFont;
    }

    void UseBitmap(HBITMAP newBitmap) {
        previousBitmap = SelectObject(dc, newBitmap);
        bitmap = newBitmap;
    }

    HDC dc;

private:
    HFONT font = nullptr;
    HGDIOBJ previousFont = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousBitmap = nullptr;
};

// The placement rules of one drawing path: glyph size, line feed, the six vertices, the advance.
struct ScreenLayout {
    float x;
    float y;
    float z;
    float lineStart;
    float lineAdvance;
    // Glyph size in pixels = texels * factor / divisor.
    float widthFactor;
    float heightFactor;
    float divisor;
    float advanceMargin;
    DWORD colour;

    void LineFeed() {
        x = lineStart;
        y += lineAdvance;
    }
    void Emit(ScreenVertex* v, const float* uv, float w, float h) const {
        v[0] = InitFont2DVertex(D3DXVECTOR4(x - 0.5f, y + h - 0.5f, z, 1.0f), colour, uv[0], uv[3]);
        v[1] = InitFont2DVertex(D3DXVECTOR4(x - 0.5f, y - 0.5f, z, 1.0f), colour, uv[0], uv[1]);
        v[2] = InitFont2DVertex(D3DXVECTOR4(x + w - 0.5f, y + h - 0.5f, z, 1.0f), colour, uv[2], uv[3]);
        v[3] = InitFont2DVertex(D3DXVECTOR4(x + w - 0.5f, y - 0.5f, z, 1.0f), colour, uv[2], uv[1]);
        v[4] = InitFont2DVertex(D3DXVECTOR4(x + w - 0.5f, y + h - 0.5f, z, 1.0f), colour, uv[2], uv[3]);
        v[5] = InitFont2DVertex(D3DXVECTOR4(x - 0.5f, y - 0.5f, z, 1.0f), colour, uv[0], uv[1]);
    }
    void Advance(float w) { x += w - advanceMargin; }
};

struct ObjectLayout {
    float x;
    float y;
    float lineStart;
    float lineAdvance;
    // Glyph size in object units = texels * factor / divisor.
    float widthFactor;
    float heightFactor;
    float divisor;
    float advanceMargin;

    void LineFeed() {
        x = lineStart;
        y -= lineAdvance;
    }
    void Emit(Font3DVertex* v, const float* uv, float w, float h) const {
        const D3DXVECTOR3 normal(0.0f, 0.0f, -1.0f);
        v[0] = InitFont3DVertex(D3DXVECTOR3(x, y, 0.0f), normal, uv[0], uv[3]);
        v[1] = InitFont3DVertex(D3DXVECTOR3(x, y + h, 0.0f), normal, uv[0], uv[1]);
        v[2] = InitFont3DVertex(D3DXVECTOR3(x + w, y, 0.0f), normal, uv[2], uv[3]);
        v[3] = InitFont3DVertex(D3DXVECTOR3(x + w, y + h, 0.0f), normal, uv[2], uv[1]);
        v[4] = InitFont3DVertex(D3DXVECTOR3(x + w, y, 0.0f), normal, uv[2], uv[3]);
        v[5] = InitFont3DVertex(D3DXVECTOR3(x, y + h, 0.0f), normal, uv[0], uv[1]);
    }
    void Advance(float w) { x += w - advanceMargin; }
};

bool IsGlyphCode(signed char c) {
    return c >= static_cast<signed char>(FIRST_CODE) && c <= static_cast<signed char>(LAST_CODE);
}

// Turns every visible glyph into two triangles and draws them in batches of at most 100 triangles.
// E_FAIL when the vertex buffer cannot be locked; the buffer is left unlocked.
template <typename Vertex, typename Layout>
HRESULT DrawGlyphs(IDirect3DDevice9* device, IDirect3DVertexBuffer9* buffer, const float (*coordinates)[4],
                   DWORD textureWidth, DWORD textureHeight, const char* text, Layout& layout) {
    DWORD triangles = 0;
    void* locked = nullptr;
    if (buffer->Lock(0, 0, &locked, D3DLOCK_DISCARD) < 0 || locked == nullptr) {
        return E_FAIL;
    }
    Vertex* vertices = static_cast<Vertex*>(locked);
    for (const char* p = text; *p != '\0'; ++p) {
        const signed char c = static_cast<signed char>(*p);
        if (c == '\n') {
            layout.LineFeed();
            continue;
        }
        if (!IsGlyphCode(c)) {
            continue;
        }
        const float* uv = coordinates[c - static_cast<signed char>(FIRST_CODE)];
        const float w =
            (uv[2] - uv[0]) * static_cast<float>(textureWidth) * layout.widthFactor / layout.divisor;
        const float h =
            (uv[3] - uv[1]) * static_cast<float>(textureHeight) * layout.heightFactor / layout.divisor;
        if (c != ' ') {
            layout.Emit(vertices, uv, w, h);
            vertices += 6;
            triangles += 2;
            if (triangles * 3 > BATCH_VERTEX_LIMIT) {
                buffer->Unlock();
                device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
                locked = nullptr;
                if (buffer->Lock(0, 0, &locked, D3DLOCK_DISCARD) < 0 || locked == nullptr) {
                    return E_FAIL;
                }
                vertices = static_cast<Vertex*>(locked);
                triangles = 0;
            }
        }
        layout.Advance(w);
    }
    buffer->Unlock();
    if (triangles > 0) {
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
    }
    return S_OK;
}

} // namespace

ScreenVertex InitFont2DVertex(const D3DXVECTOR4& position, DWORD colour, float tu, float tv) {
    ScreenVertex vertex;
    vertex.position = position;
    vertex.colour = colour;
    vertex.tu = tu;
    vertex.tv = tv;
    return vertex;
}

Font3DVertex InitFont3DVertex(const D3DXVECTOR3& position, const D3DXVECTOR3& normal, float tu, float tv) {
    return Font3DVertex{position.x, position.y, position.z, normal.x, normal.y, normal.z, tu, tv};
}

CD3DFont::CD3DFont(const char* fontName, DWORD newHeight, DWORD flags) {
    deviceOwner = InitManager::GetExemplar();
    IDirect3DDevice9* ownerDevice = deviceOwner != nullptr ? deviceOwner->device : nullptr;
    // At most 80 bytes are copied; the last one is always the terminator.
    for (size_t i = 0; fontName != nullptr && i < sizeof(faceName) && fontName[i] != '\0'; ++i) {
        faceName[i] = fontName[i];
    }
    faceName[sizeof(faceName) - 1] = '\0';
    height = newHeight;
    creationFlags = flags;
    spacing = 0;
    glyphTexture = nullptr;
    vertexBuffer = nullptr;
    savedStateBlock = nullptr;
    drawingStateBlock = nullptr;
    InitDeviceObjects(ownerDevice);
    RestoreDeviceObjects();
}

CD3DFont::~CD3DFont() {
    InvalidateDeviceObjects();
    DeleteDeviceObjects();
}

HRESULT CD3DFont::CreateGDIFont(HDC dc, HFONT* font) {
    const int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
    const int gdiHeight = -MulDiv(static_cast<int>(height),
                                  static_cast<int>(static_cast<float>(pixelsPerInch) * textScale), 72);
    const int weight = (creationFlags & D3DFONT_BOLD) != 0 ? FW_BOLD : FW_NORMAL;
    const DWORD italic = (creationFlags & D3DFONT_ITALIC) != 0 ? TRUE : FALSE;
    *font = CreateFontA(gdiHeight, 0, 0, 0, weight, italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, faceName);
    return *font == nullptr ? E_FAIL : S_OK;
}

HRESULT CD3DFont::PaintAlphabet(HDC dc, BOOL measureOnly) {
    char text[2] = {'x', '\0'};
    SIZE size{0, 0};
    if (!GetTextExtentPoint32A(dc, text, 1, &size)) {
        return E_FAIL;
    }
    spacing = static_cast<DWORD>(std::ceil(static_cast<double>(size.cy) * static_cast<double>(0.3f)));

    DWORD x = spacing;
    DWORD y = 0;
    for (DWORD c = FIRST_CODE; c <= LAST_CODE; ++c) {
        text[0] = static_cast<char>(c);
        if (!GetTextExtentPoint32A(dc, text, 1, &size)) {
            return E_FAIL;
        }
        const DWORD cx = static_cast<DWORD>(size.cx);
        const DWORD cy = static_cast<DWORD>(size.cy);
        if (x + cx + spacing > textureWidth) {
            x = spacing;
            y += cy + 1;
        }
        if (y + cy > textureHeight) {
            return D3DERR_MOREDATA;
        }
        if (!measureOnly) {
            if (!ExtTextOutA(dc, static_cast<int>(x), static_cast<int>(y), ETO_OPAQUE, nullptr, text, 1,
                             nullptr)) {
                return E_FAIL;
            }
            float* uv = glyphCoordinates[c - FIRST_CODE];
            uv[0] = static_cast<float>(x - spacing) / static_cast<float>(textureWidth);
            uv[1] = static_cast<float>(y) / static_cast<float>(textureHeight);
            uv[2] = static_cast<float>(x + cx + spacing) / static_cast<float>(textureWidth);
            uv[3] = static_cast<float>(y + cy) / static_cast<float>(textureHeight);
        }
        x += cx + 2 * spacing;
    }
    return S_OK;
}

// Without a device the glyphs are still laid out (so that text can be measured), but no texture is
// made and the result is E_FAIL; likewise when the texture cannot be created or locked.
HRESULT CD3DFont::InitDeviceObjects(IDirect3DDevice9* newDevice) {
    // A texture from an earlier build is given back before the new one is made.
    if (glyphTexture != nullptr) {
        glyphTexture->Release();
        glyphTexture = nullptr;
    }
    device = newDevice;
    textScale = 1.0f;

    GlyphCanvas canvas;
    if (canvas.dc == nullptr) {
        return E_FAIL;
    }
    HDC dc = canvas.dc;
    SetMapMode(dc, MM_TEXT);

    HFONT font = nullptr;
    HRESULT result = CreateGDIFont(dc, &font);
    if (result < 0) {
        return result;
    }
    canvas.UseFont(font);

    textureWidth = START_TEXTURE_SIZE;
    textureHeight = START_TEXTURE_SIZE;
    while ((result = PaintAlphabet(dc, TRUE)) == D3DERR_MOREDATA) {
        if (textureWidth >= LARGEST_TEXTURE_SIZE) {
            return E_FAIL;
        }
        textureWidth *= 2;
        textureHeight *= 2;
    }
    if (result < 0) {
        return result;
    }

    D3DCAPS9 caps{};
    if (device != nullptr && device->GetDeviceCaps(&caps) >= 0 && textureWidth > caps.MaxTextureWidth &&
        caps.MaxTextureWidth > 0) {
        textScale = static_cast<float>(caps.MaxTextureWidth) / static_cast<float>(textureWidth);
        textureWidth = caps.MaxTextureWidth;
        textureHeight = caps.MaxTextureWidth;
        int round = 0;
        do {
            if (round > 0) {
                textScale *= 0.9f;
            }
            if (++round > MAX_SHRINK_ROUNDS) {
                return E_FAIL;
            }
            result = CreateGDIFont(dc, &font);
            if (result < 0) {
                return result;
            }
            canvas.UseFont(font);
            result = PaintAlphabet(dc, TRUE);
        } while (result == D3DERR_MOREDATA);
        if (result < 0) {
            return result;
        }
    }

    HRESULT textureResult = E_FAIL;
    if (device != nullptr) {
        textureResult = device->CreateTexture(textureWidth, textureHeight, 1, 0, D3DFMT_A4R4G4B4,
                                              D3DPOOL_MANAGED, &glyphTexture, nullptr);
        if (textureResult < 0) {
            glyphTexture = nullptr;
        }
    }

    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(textureWidth);
    info.bmiHeader.biHeight = -static_cast<LONG>(textureHeight);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        return E_FAIL;
    }
    canvas.UseBitmap(bitmap);
    SetTextColor(dc, 0x00FFFFFF);
    SetBkColor(dc, 0x00000000);
    SetTextAlign(dc, TA_TOP);

    result = PaintAlphabet(dc, FALSE);
    if (result < 0) {
        return result;
    }
    if (glyphTexture == nullptr) {
        return textureResult;
    }

    D3DLOCKED_RECT lockedRect{};
    result = glyphTexture->LockRect(0, &lockedRect, nullptr, 0);
    if (result < 0 || lockedRect.pBits == nullptr) {
        // An unfilled texture would show garbage: it is given back and the font draws nothing.
        glyphTexture->Release();
        glyphTexture = nullptr;
        return result < 0 ? result : E_FAIL;
    }
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    BYTE* row = static_cast<BYTE*>(lockedRect.pBits);
    for (DWORD y = 0; y < textureHeight; ++y) {
        WORD* texels = reinterpret_cast<WORD*>(row);
        for (DWORD x = 0; x < textureWidth; ++x) {
            const WORD alpha = static_cast<WORD>((pixels[y * textureWidth + x] & 0xFF) >> 4);
            texels[x] = alpha > 0 ? static_cast<WORD>((alpha << 12) | 0x0FFF) : WORD{0};
        }
        row += lockedRect.Pitch;
    }
    glyphTexture->UnlockRect(0);
    return S_OK;
}

HRESULT CD3DFont::RestoreDeviceObjects() {
    if (device == nullptr) {
        return E_FAIL;
    }
    InvalidateDeviceObjects();
    HRESULT result = device->CreateVertexBuffer(VERTEX_BUFFER_BYTES, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0,
                                                D3DPOOL_DEFAULT, &vertexBuffer, nullptr);
    if (result < 0) {
        vertexBuffer = nullptr;
        return result;
    }

    bool blendingSupported = true;
    IDirect3D9* direct3D = nullptr;
    if (device->GetDirect3D(&direct3D) >= 0 && direct3D != nullptr) {
        D3DCAPS9 caps{};
        D3DDISPLAYMODE mode{};
        device->GetDeviceCaps(&caps);
        device->GetDisplayMode(0, &mode);
        IDirect3DSurface9* surface = nullptr;
        if (device->GetRenderTarget(0, &surface) >= 0 && surface != nullptr) {
            D3DSURFACE_DESC desc{};
            surface->GetDesc(&desc);
            if (direct3D->CheckDeviceFormat(caps.AdapterOrdinal, caps.DeviceType, mode.Format,
                                            D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING,
                                            D3DRTYPE_SURFACE, desc.Format) < 0) {
                blendingSupported = false;
            }
            surface->Release();
        }
        direct3D->Release();
    }

    for (IDirect3DStateBlock9** block : {&savedStateBlock, &drawingStateBlock}) {
        device->BeginStateBlock();
        device->SetTexture(0, glyphTexture);
        device->SetRenderState(D3DRS_ZENABLE, (creationFlags & D3DFONT_ZENABLE) != 0 ? TRUE : FALSE);
        if (blendingSupported) {
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        } else {
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        }
        device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        device->SetRenderState(D3DRS_ALPHAREF, 0x08);
        device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        device->SetRenderState(D3DRS_CLIPPING, TRUE);
        device->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
        device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
        device->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        device->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN |
                                                           D3DCOLORWRITEENABLE_BLUE |
                                                           D3DCOLORWRITEENABLE_ALPHA);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
        *block = nullptr;
        device->EndStateBlock(block);
    }
    return S_OK;
}

void CD3DFont::BeginTextStates(DWORD fvf, UINT stride, DWORD flags) {
    savedStateBlock->Capture();
    drawingStateBlock->Apply();
    device->SetFVF(fvf);
    device->SetPixelShader(nullptr);
    device->SetStreamSource(0, vertexBuffer, 0, stride);
    if ((flags & D3DFONT_FILTERED) != 0) {
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    }
}

HRESULT CD3DFont::InvalidateDeviceObjects() {
    if (vertexBuffer != nullptr) {
        vertexBuffer->Release();
        vertexBuffer = nullptr;
    }
    if (savedStateBlock != nullptr) {
        savedStateBlock->Release();
        savedStateBlock = nullptr;
    }
    if (drawingStateBlock != nullptr) {
        drawingStateBlock->Release();
        drawingStateBlock = nullptr;
    }
    return S_OK;
}

HRESULT CD3DFont::DeleteDeviceObjects() {
    if (glyphTexture != nullptr) {
        glyphTexture->Release();
        glyphTexture = nullptr;
    }
    device = nullptr;
    return S_OK;
}

HRESULT CD3DFont::DrawTextA(float x, float y, DWORD colour, const char* text, DWORD flags) {
    if (device == nullptr || text == nullptr) {
        return E_FAIL;
    }
    device->BeginScene();
    // A font whose device objects are missing draws nothing but still closes the scene it opened.
    if (!HasDeviceObjects()) {
        device->EndScene();
        return E_FAIL;
    }
    BeginTextStates(SCREEN_VERTEX_FVF, sizeof(ScreenVertex), flags);

    const float spacingF = static_cast<float>(spacing);
    if ((flags & D3DFONT_CENTERED_X) != 0) {
        D3DVIEWPORT9 viewport{};
        device->GetViewport(&viewport);
        float lineWidth = 0.0f;
        for (const char* p = text; *p != '\0' && *p != '\n'; ++p) {
            const signed char c = static_cast<signed char>(*p);
            if (!IsGlyphCode(c)) {
                continue;
            }
            const float* uv = glyphCoordinates[c - static_cast<signed char>(FIRST_CODE)];
            lineWidth += (uv[2] - uv[0]) * static_cast<float>(textureWidth) / textScale - 2 * spacingF;
        }
        x = (static_cast<float>(viewport.Width) - lineWidth) / 2;
    }
    if ((flags & D3DFONT_CENTERED_Y) != 0) {
        D3DVIEWPORT9 viewport{};
        device->GetViewport(&viewport);
        y = (static_cast<float>(viewport.Height) - LineHeight()) / 2;
    }
    x -= spacingF;

    ScreenLayout layout{x, y, 0.9f, x, LineHeight(), 1.0f, 1.0f, textScale, 2 * spacingF, colour};
    const HRESULT result = DrawGlyphs<ScreenVertex>(device, vertexBuffer, glyphCoordinates, textureWidth,
                                                    textureHeight, text, layout);

    savedStateBlock->Apply();
    device->EndScene();
    return result;
}

HRESULT CD3DFont::DrawTextScaled(float x, float y, float z, float xScale, float yScale, DWORD colour,
                                 const char* text, DWORD flags) {
    if (device == nullptr || text == nullptr || !HasDeviceObjects()) {
        return E_FAIL;
    }
    BeginTextStates(SCREEN_VERTEX_FVF, sizeof(ScreenVertex), flags);

    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    const float viewWidth = static_cast<float>(viewport.Width);
    const float viewHeight = static_cast<float>(viewport.Height);
    const float lineHeight = LineHeight();
    const float kx = viewHeight * xScale / lineHeight;
    const float ky = viewHeight * yScale / lineHeight;
    const float spacingF = static_cast<float>(spacing);
    if ((flags & D3DFONT_CENTERED_X) != 0) {
        float lineWidth = 0.0f;
        for (const char* p = text; *p != '\0' && *p != '\n'; ++p) {
            const signed char c = static_cast<signed char>(*p);
            if (!IsGlyphCode(c)) {
                continue;
            }
            const float* uv = glyphCoordinates[c - static_cast<signed char>(FIRST_CODE)];
            lineWidth += (uv[2] - uv[0]) * static_cast<float>(textureWidth) * kx - 2 * spacingF * kx;
        }
        x = -lineWidth / viewWidth;
    }
    if ((flags & D3DFONT_CENTERED_Y) != 0) {
        y = -lineHeight / viewHeight;
    }
    float penX = (x + 1.0f) * viewWidth / 2;
    const float penY = (y + 1.0f) * viewHeight / 2;
    penX -= spacingF * kx;

    ScreenLayout layout{penX, penY, z, penX, viewHeight * yScale, kx, ky, 1.0f, 2 * spacingF * kx, colour};
    const HRESULT result = DrawGlyphs<ScreenVertex>(device, vertexBuffer, glyphCoordinates, textureWidth,
                                                    textureHeight, text, layout);
    savedStateBlock->Apply();
    return result;
}

HRESULT CD3DFont::Render3DText(const char* text, DWORD flags) {
    if (device == nullptr || text == nullptr || !HasDeviceObjects()) {
        return E_FAIL;
    }
    BeginTextStates(FONT3D_VERTEX_FVF, sizeof(Font3DVertex), flags);

    float x = 0.0f;
    float y = 0.0f;
    if ((flags & D3DFONT_CENTERED_X) != 0) {
        SIZE size{0, 0};
        GetTextExtent(text, &size);
        x = -(static_cast<float>(size.cx) / 10.0f) / 2.0f;
    }
    if ((flags & D3DFONT_CENTERED_Y) != 0) {
        SIZE size{0, 0};
        GetTextExtent(text, &size);
        y = -(static_cast<float>(size.cy) / 10.0f) / 2.0f;
    }
    if ((flags & D3DFONT_TWOSIDED) != 0) {
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    const float spacingF = static_cast<float>(spacing);
    x -= spacingF / 10.0f;

    ObjectLayout layout{x, y, x, LineHeight() / 10.0f, 1.0f, 1.0f, 10.0f * textScale, 2 * spacingF / 10.0f};
    const HRESULT result = DrawGlyphs<Font3DVertex>(device, vertexBuffer, glyphCoordinates, textureWidth,
                                                    textureHeight, text, layout);
    savedStateBlock->Apply();
    return result;
}

bool CD3DFont::HasDeviceObjects() const {
    return glyphTexture != nullptr && vertexBuffer != nullptr && savedStateBlock != nullptr &&
           drawingStateBlock != nullptr;
}

// Row 0 (the space) gives the height of every line, in texels.
float CD3DFont::LineHeight() const {
    return (glyphCoordinates[0][3] - glyphCoordinates[0][1]) * static_cast<float>(textureHeight);
}

HRESULT CD3DFont::GetTextExtent(const char* text, SIZE* size) {
    if (text == nullptr || size == nullptr) {
        return E_FAIL;
    }
    const float rowHeight = LineHeight();
    const float spacingF = static_cast<float>(spacing);
    float rowWidth = 0.0f;
    float width = 0.0f;
    float textHeight = rowHeight;
    for (const char* p = text; *p != '\0'; ++p) {
        const signed char c = static_cast<signed char>(*p);
        if (c == '\n') {
            rowWidth = 0.0f;
            textHeight += rowHeight;
            continue;
        }
        if (!IsGlyphCode(c)) {
            continue;
        }
        const float* uv = glyphCoordinates[c - static_cast<signed char>(FIRST_CODE)];
        rowWidth += (uv[2] - uv[0]) * static_cast<float>(textureWidth) - 2 * spacingF;
        if (rowWidth > width) {
            width = rowWidth;
        }
    }
    size->cx = static_cast<LONG>(width);
    size->cy = static_cast<LONG>(textHeight);
    return S_OK;
}
