// The 2D layer: quads, rectangles and frames in screen pixels from one four-vertex buffer, each draw
// in a scene of its own; texture loads through the texture cache.
#include "d2d/d2d_manager.h"

#include "core/init_manager.h"
#include "core/textur_manager.h"

#include <cmath>
#include <new>

D2DManager* D2DManager::Exemplar = nullptr;

namespace {

constexpr UINT QUAD_VERTEX_COUNT = 4;
constexpr UINT QUAD_BYTES = QUAD_VERTEX_COUNT * sizeof(ScreenVertex);
// Degrees to radians as the layer has always converted them: 3.141592 / 180, not the exact value.
constexpr double RADIANS_PER_DEGREE = 0.01745328888888889;

void SetPosition(ScreenVertex* vertex, float x, float y, DWORD colour) {
    vertex->position = D3DXVECTOR4(x, y, 0.0f, 1.0f);
    vertex->colour = colour;
}

} // namespace

D2DManager::D2DManager() = default;

D2DManager::~D2DManager() {
    if (quadBuffer != nullptr) {
        quadBuffer->Release();
        quadBuffer = nullptr;
    }
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

D2DManager* D2DManager::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) D2DManager;
    }
    return Exemplar;
}

bool D2DManager::InitD2dManager() {
    deviceOwner = InitManager::GetExemplar();
    texturCache = TexturManager::GetExemplar();
    IDirect3DDevice9* device = deviceOwner != nullptr ? deviceOwner->device : nullptr;
    if (device == nullptr) {
        return false;
    }
    if (quadBuffer != nullptr) {
        quadBuffer->Release();
        quadBuffer = nullptr;
    }
    const HRESULT result = device->CreateVertexBuffer(QUAD_BYTES, D3DUSAGE_WRITEONLY, SCREEN_VERTEX_FVF,
                                                      D3DPOOL_MANAGED, &quadBuffer, nullptr);
    if (result < 0) {
        quadBuffer = nullptr;
        return false;
    }
    return true;
}

bool D2DManager::LoadTextur(const char* fileName, int* textureId) {
    if (textureId == nullptr) {
        return false;
    }
    *textureId = texturCache != nullptr ? texturCache->LoadTextur(fileName, 1) : -1;
    return *textureId != -1;
}

bool D2DManager::ReleaseTextur(int textureId) {
    if (texturCache != nullptr) {
        texturCache->ReleaseTextur(textureId);
    }
    return true;
}

// Without a quad buffer (set-up missing or failed) or a lockable one, nothing is drawn and the call
// reports false.
bool D2DManager::DrawTextur(float x, float y, float width, float height, int textureId, int alpha,
                            double angle, bool alphaBlend) {
    IDirect3DDevice9* device = deviceOwner != nullptr ? deviceOwner->device : nullptr;
    if (quadBuffer == nullptr || device == nullptr) {
        return false;
    }
    const DWORD colour = static_cast<DWORD>(alpha & 0xFF) << 24;
    const double radians = angle * RADIANS_PER_DEGREE;
    const double s = std::sin(radians);
    const double c = std::cos(radians);
    const float cx = x + width / 2;
    const float cy = y + height / 2;

    void* locked = nullptr;
    if (quadBuffer->Lock(0, 0, &locked, 0) < 0 || locked == nullptr) {
        return false;
    }
    ScreenVertex* vertices = static_cast<ScreenVertex*>(locked);
    SetPosition(&vertices[0], x, y + height, colour);
    vertices[0].tu = 0.0f;
    vertices[0].tv = 1.0f;
    SetPosition(&vertices[1], x, y, colour);
    vertices[1].tu = 0.0f;
    vertices[1].tv = 0.0f;
    SetPosition(&vertices[2], x + width, y + height, colour);
    vertices[2].tu = 1.0f;
    vertices[2].tv = 1.0f;
    SetPosition(&vertices[3], x + width, y, colour);
    vertices[3].tu = 1.0f;
    vertices[3].tv = 0.0f;
    for (UINT i = 0; i < QUAD_VERTEX_COUNT; ++i) {
        const double dx = vertices[i].position.x - cx;
        const double dy = vertices[i].position.y - cy;
        vertices[i].position.x = static_cast<float>(cx + (c * dx + s * dy));
        vertices[i].position.y = static_cast<float>(cy + (-s * dx + c * dy));
    }
    quadBuffer->Unlock();

    device->BeginScene();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    if (alphaBlend) {
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);

    IDirect3DTexture9* texture = texturCache != nullptr ? texturCache->GetTextur(textureId) : nullptr;
    device->SetTexture(0, texture);
    device->SetTexture(1, nullptr);

    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);

    device->SetFVF(SCREEN_VERTEX_FVF);
    device->SetStreamSource(0, quadBuffer, 0, sizeof(ScreenVertex));
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    device->EndScene();
    return true;
}

bool D2DManager::DrawRect(unsigned long argb, RECT* rect) {
    IDirect3DDevice9* device = deviceOwner != nullptr ? deviceOwner->device : nullptr;
    if (quadBuffer == nullptr || device == nullptr || rect == nullptr) {
        return false;
    }
    const DWORD colour = static_cast<DWORD>(argb);
    const float left = static_cast<float>(rect->left);
    const float top = static_cast<float>(rect->top);
    const float right = static_cast<float>(rect->right);
    const float bottom = static_cast<float>(rect->bottom);

    void* locked = nullptr;
    if (quadBuffer->Lock(0, 0, &locked, 0) < 0 || locked == nullptr) {
        return false;
    }
    ScreenVertex* vertices = static_cast<ScreenVertex*>(locked);
    SetPosition(&vertices[0], left, bottom, colour);
    SetPosition(&vertices[1], left, top, colour);
    SetPosition(&vertices[2], right, bottom, colour);
    SetPosition(&vertices[3], right, top, colour);
    quadBuffer->Unlock();

    if (device->BeginScene() < 0) {
        return false;
    }
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);

    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);

    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);

    device->SetFVF(SCREEN_VERTEX_FVF);
    device->SetStreamSource(0, quadBuffer, 0, sizeof(ScreenVertex));
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    device->EndScene();
    return true;
}

bool D2DManager::DrawFrame(unsigned long argb, RECT* rect) {
    if (quadBuffer == nullptr || rect == nullptr) {
        return false;
    }
    const LONG l = rect->left;
    const LONG t = rect->top;
    const LONG r = rect->right;
    const LONG b = rect->bottom;
    RECT bars[4] = {{l, t, r, t - 1}, {l, b, r, b + 1}, {l, t - 1, l + 1, b + 1}, {r, t - 1, r + 1, b + 1}};
    for (RECT& bar : bars) {
        DrawRect(argb, &bar);
    }
    return true;
}

bool D2DManager::CreatePlane3DObject(int, int, RECT*, int*) {
    return true;
}

bool D2DManager::Draw3dObject2d(GFXObject*, int, int) {
    return false;
}
