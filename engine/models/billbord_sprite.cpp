// The billboard sprite: quad building, the facing angle, the states it draws with and the few it puts
// back afterwards.
#include "models/billbord_sprite.h"

#include "core/buffer_manager.h"
#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "models/gfx_object.h"

#include <cmath>

namespace {

constexpr float HALF_PI = 1.5707964f;
constexpr int QUAD_BYTES = 4 * int(sizeof(BillbordVertex));
constexpr DWORD ALPHA_CUTOFF = 0x10;

} // namespace

float BillbordFacingAngle(float dx, float dz) {
    if (dx == 0.0f && dz == 0.0f) {
        return 0.0f;
    }
    // On the line dx = 0 the ratio is an infinity of the sign of dz, which gives -pi or 0.
    const float turn = -std::atan(dz / dx);
    return dx > 0.0f ? turn + HALF_PI : turn - HALF_PI;
}

BillbordSprite::BillbordSprite(IDirect3DDevice9* device) : device(device) {
    bufferManager = BufferManager::GetExemplar();
    texturManager = TexturManager::GetExemplar();
    kamera = KameraKlass::GetExemplar();
}

BillbordSprite::~BillbordSprite() {
    Release();
}

void BillbordSprite::FillQuad(BillbordVertex* vertices, float u0, float u1, D3DCOLOR diffuse) const {
    vertices[0] = {D3DXVECTOR3(-halfWidth, 0.0f, 0.0f), diffuse, u0, 1.0f};
    vertices[1] = {D3DXVECTOR3(-halfWidth, height, 0.0f), diffuse, u0, 0.0f};
    vertices[2] = {D3DXVECTOR3(halfWidth, 0.0f, 0.0f), diffuse, u1, 1.0f};
    vertices[3] = {D3DXVECTOR3(halfWidth, height, 0.0f), diffuse, u1, 0.0f};
}

bool BillbordSprite::Create(const char* textureFile, int frames, float halfWidth, float height) {
    // SetFrame divides by the frame count.
    if (frames < 1 || textureId != -1) {
        return false;
    }
    const int texture = texturManager->LoadTextur(textureFile, 1);
    if (texture <= -1) {
        return false;
    }
    textureId = texture;
    this->halfWidth = halfWidth;
    this->height = height;
    frameCount = frames;

    BillbordVertex vertices[4];
    FillQuad(vertices, 0.0f, 1.0f, 0);
    vertexBuffer = bufferManager->CreateVertexBuffer(vertices, QUAD_BYTES, BILLBORD_VERTEX_FVF, false);
    return vertexBuffer != -1;
}

bool BillbordSprite::SetFrame(int frame, int alpha) {
    if (vertexBuffer == -1) {
        return false;
    }
    const float step = 1.0f / float(frameCount);
    const float u0 = float(frame) * step;
    const float u1 = float(frame) * step + step;
    const D3DCOLOR diffuse = D3DCOLOR(alpha & 0xFF) << 24;

    BillbordVertex vertices[4];
    FillQuad(vertices, u0, u1, diffuse);
    vertexBuffer =
        bufferManager->RecreateVertexBuffer(vertices, QUAD_BYTES, BILLBORD_VERTEX_FVF, 0, vertexBuffer);
    return vertexBuffer != -1;
}

bool BillbordSprite::Render(GFXObject* object) {
    if (object == nullptr) {
        return false;
    }
    SetFrame(object->frame, object->alpha);

    const float dx = kamera->position.x - object->position.x;
    const float dz = kamera->position.z - object->position.z;
    D3DXMATRIX world;
    D3DXMatrixRotationY(&world, BillbordFacingAngle(dx, dz));
    world._41 = object->position.x;
    world._42 = object->position.y;
    world._43 = object->position.z;
    device->SetTransform(D3DTS_WORLD, &world);

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, ALPHA_CUTOFF);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);

    // Colour from the texture alone; alpha is the texture's times the vertex alpha.
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);

    bool drawn = false;
    IDirect3DTexture9* texture = texturManager->GetTextur(textureId);
    IDirect3DVertexBuffer9* buffer =
        vertexBuffer == -1 ? nullptr : bufferManager->GetVertexBuffer(vertexBuffer);
    if (texture != nullptr && buffer != nullptr && SUCCEEDED(device->SetTexture(0, texture)) &&
        SUCCEEDED(device->SetFVF(BILLBORD_VERTEX_FVF)) &&
        SUCCEEDED(device->SetStreamSource(0, buffer, 0, sizeof(BillbordVertex)))) {
        drawn = SUCCEEDED(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2));
    }
    // Put back what later draws rely on, whether or not the quad was drawn.
    RestoreStates();
    return drawn;
}

void BillbordSprite::RestoreStates() {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}

void BillbordSprite::GetBoundingBox(D3DXVECTOR3* min, D3DXVECTOR3* max) {
    if (min != nullptr && max != nullptr) {
        *min = D3DXVECTOR3(-halfWidth, -height, -halfWidth);
        *max = D3DXVECTOR3(halfWidth, height, halfWidth);
    }
}

void BillbordSprite::Release() {
    if (textureId != -1) {
        texturManager->ReleaseTextur(textureId);
        textureId = -1;
    }
    if (vertexBuffer != -1) {
        bufferManager->ReleaseVertexBuffer(vertexBuffer);
        vertexBuffer = -1;
    }
}
