// A camera-facing billboard: a flat quad standing on its base point and turned about Y towards the
// camera, textured with one frame of a horizontal strip and drawn with a per-object transparency.
#pragma once

#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9.h"

class TexturManager;
class BufferManager;
class KameraKlass;
class GFXObject;

// One corner of the quad (FVF 0x142, 24 bytes).
struct BillbordVertex {
    D3DXVECTOR3 position;
    D3DCOLOR diffuse;
    float tu;
    float tv;
};
static_assert(sizeof(BillbordVertex) == 24, "the stride that the quad is drawn with");

constexpr DWORD BILLBORD_VERTEX_FVF = 0x142;

// The turn about Y that faces the quad towards a camera lying (dx, dz) away from the object. Straight
// above or below the object (dx = dz = 0) there is no direction; the angle is then 0.
float BillbordFacingAngle(float dx, float dz);

class BillbordSprite {
public:
    explicit BillbordSprite(IDirect3DDevice9* device);
    ~BillbordSprite();

    BillbordSprite(const BillbordSprite&) = delete;
    BillbordSprite& operator=(const BillbordSprite&) = delete;

    // False for a missing texture, a refused buffer or fewer than one frame.
    bool Create(const char* textureFile, int frames, float halfWidth, float height);
    // Rewrites the quad with the frame's part of the strip and the vertex alpha (low 8 bits of alpha).
    bool SetFrame(int frame, int alpha);
    bool Render(GFXObject* object);
    void GetBoundingBox(D3DXVECTOR3* min, D3DXVECTOR3* max);
    void Release();

    IDirect3DDevice9* device;
    TexturManager* texturManager;
    BufferManager* bufferManager;
    KameraKlass* kamera;
    int textureId = -1;
    int vertexBuffer = -1;
    float halfWidth = 0.0f;
    float height = 0.0f;
    int frameCount = 0;

private:
    void FillQuad(BillbordVertex* vertices, float u0, float u1, D3DCOLOR diffuse) const;
    void RestoreStates();
};
