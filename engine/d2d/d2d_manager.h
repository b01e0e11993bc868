// The 2D layer: textured, rotated and blended quads, filled rectangles and one-pixel frames in screen
// pixels, each drawn in a scene of its own from one four-vertex buffer; texture loads by file name
// through the texture cache.
#pragma once

#include "core/velkora_api.h"
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9_math.h"

class GFXObject;
class InitManager;
class TexturManager;

// Screen-space vertex of the 2D layer and the font's screen text (vertex format 0x144, 28 bytes).
struct ScreenVertex {
    D3DXVECTOR4 position; // x, y in back-buffer pixels (y down), z, rhw
    DWORD colour;         // ARGB
    float tu;
    float tv;
};
static_assert(sizeof(ScreenVertex) == 28, "ScreenVertex must match its vertex format");

constexpr DWORD SCREEN_VERTEX_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class VELKORA_API D2DManager {
public:
    static D2DManager* GetExemplar();
    virtual ~D2DManager();

    bool InitD2dManager();
    bool LoadTextur(const char* fileName, int* textureId);
    bool ReleaseTextur(int textureId);
    bool DrawTextur(float x, float y, float width, float height, int textureId, int alpha, double angle,
                    bool alphaBlend);
    bool DrawRect(unsigned long argb, RECT* rect);
    bool DrawFrame(unsigned long argb, RECT* rect);
    bool CreatePlane3DObject(int, int, RECT*, int*);
    bool Draw3dObject2d(GFXObject*, int, int);

protected:
    D2DManager();

    InitManager* deviceOwner = nullptr;
    IDirect3DVertexBuffer9* quadBuffer = nullptr;
    TexturManager* texturCache = nullptr;

private:
    static D2DManager* Exemplar;
};
