// The MD2 model: loading through the MD2 reader into the buffer pool and the texture cache, and drawing
// one frame with a scene object's world matrix.
#include "models/model_md2.h"

#include "core/buffer_manager.h"
#include "core/textur_manager.h"
#include "models/gfx_object.h"
#include "win32/file_access.h"

namespace {

constexpr DWORD SCREEN_VERTEX_FVF = 0x104; // D3DFVF_XYZRHW | D3DFVF_TEX1
constexpr UINT SCREEN_VERTEX_STRIDE = 24;
constexpr int SCREEN_VERTEX_BYTES_PER_TRIANGLE = 3 * SCREEN_VERTEX_STRIDE;

} // namespace

ModelMD2::ModelMD2(IDirect3DDevice9* device) : device(device) {
    bufferManager = BufferManager::GetExemplar();
    texturManager = TexturManager::GetExemplar();
}

ModelMD2::~ModelMD2() {
    Release();
}

bool ModelMD2::Create(const char* modelFile, const char* skinFile, float scale) {
    if (skinTexture >= 0 || frameCount > 0) {
        return false; // already made; a second load would hold the skin twice
    }
    FILE* file = platform::OpenDataFile(modelFile, "rb");
    if (file == nullptr) {
        return false;
    }
    Md2Mesh mesh;
    const bool read = ReadMd2Mesh(file, scale, &mesh, nullptr);
    std::fclose(file);
    if (!read) {
        return false;
    }

    D3DXVECTOR3 min;
    D3DXVECTOR3 max;
    if (FAILED(D3DXComputeBoundingBox(&mesh.vertices[0].position, DWORD(mesh.triangleCount * 3),
                                      sizeof(MD2Vertex), &min, &max))) {
        return false;
    }
    boxMin = min;
    boxMax = max;

    // Named after the file: a later model of the same file shares this buffer, whatever its scale.
    const int bytes = int(mesh.vertices.size() * sizeof(MD2Vertex));
    vertexBuffer =
        bufferManager->CreateVertexBufferEx(mesh.vertices.data(), bytes, MD2_VERTEX_FVF, true, modelFile);
    if (vertexBuffer < 0) {
        return false;
    }

    const int skin = texturManager->LoadTextur(skinFile, 0);
    if (skin <= -1) {
        return false;
    }
    skinTexture = skin;
    vertexCount = mesh.vertexCount;
    triangleCount = mesh.triangleCount;
    frameCount = mesh.frameCount;
    frameBytes = mesh.triangleCount * int(3 * sizeof(MD2Vertex));
    screenFrameBytes = mesh.triangleCount * SCREEN_VERTEX_BYTES_PER_TRIANGLE;
    return true;
}

bool ModelMD2::Render(GFXObject* object) {
    if (object == nullptr) {
        return false;
    }
    D3DXMATRIX* world = object->GetWorldMatrix();
    if (world == nullptr) {
        return false;
    }
    if (FAILED(device->SetTransform(D3DTS_WORLD, world))) {
        return false;
    }
    const int frame = object->frame;
    if (frame < 0 || frame >= frameCount) {
        return false;
    }
    IDirect3DTexture9* texture = texturManager->GetTextur(skinTexture);
    if (texture == nullptr || FAILED(device->SetTexture(0, texture))) {
        return false;
    }
    IDirect3DVertexBuffer9* buffer = bufferManager->GetVertexBuffer(vertexBuffer);
    if (buffer == nullptr) {
        return false;
    }
    if (FAILED(device->SetFVF(MD2_VERTEX_FVF))) {
        return false;
    }
    if (FAILED(device->SetStreamSource(0, buffer, UINT(frameBytes * frame), sizeof(MD2Vertex)))) {
        return false;
    }
    return SUCCEEDED(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, UINT(triangleCount)));
}

bool ModelMD2::Render2D(GFXObject* object, int x, int y) {
    (void)x;
    (void)y;
    // Without the pretransformed copy there is nothing to draw; leave the device as it is.
    if (screenVertexBuffer == -1 || object == nullptr) {
        return false;
    }
    D3DXMATRIX scaling;
    D3DXMatrixIdentity(&scaling);
    D3DXMatrixScaling(&scaling, 20.0f, 10.0f, 10.0f);
    device->SetTransform(D3DTS_WORLD, &scaling);

    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    device->SetSamplerState(1, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);

    IDirect3DTexture9* texture = texturManager->GetTextur(skinTexture);
    if (texture == nullptr || FAILED(device->SetTexture(0, texture))) {
        return false;
    }
    IDirect3DVertexBuffer9* buffer = bufferManager->GetVertexBuffer(screenVertexBuffer);
    if (buffer == nullptr) {
        return false;
    }
    if (FAILED(device->SetFVF(SCREEN_VERTEX_FVF))) {
        return false;
    }
    const int frame = object->frame;
    if (frame < 0 || frame >= frameCount) {
        return false;
    }
    if (FAILED(device->SetStreamSource(0, buffer, UINT(screenFrameBytes * frame), SCREEN_VERTEX_STRIDE))) {
        return false;
    }
    return SUCCEEDED(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, UINT(triangleCount)));
}

void ModelMD2::GetBoundingBox(D3DXVECTOR3* min, D3DXVECTOR3* max) {
    if (min != nullptr && max != nullptr) {
        *min = boxMin;
        *max = boxMax;
    }
}

void ModelMD2::Release() {
    // The vertex buffer stays in the pool under the file's name for later models of the same file.
    if (skinTexture >= 0) {
        texturManager->ReleaseTextur(skinTexture);
        skinTexture = -1;
    }
}
