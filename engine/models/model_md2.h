// One keyframe model loaded from an MD2 file: all frames expanded into one unindexed vertex buffer of the
// buffer pool (shared by file name), the skin from the texture cache, and the box of frame 0. Drawing
// picks a frame by its offset in the buffer; there is no interpolation.
#pragma once

#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9.h"
#include "models/md2_file.h"

class TexturManager;
class BufferManager;
class GFXObject;

class ModelMD2 {
public:
    explicit ModelMD2(IDirect3DDevice9* device);
    virtual ~ModelMD2();

    ModelMD2(const ModelMD2&) = delete;
    ModelMD2& operator=(const ModelMD2&) = delete;

    // Loads the model file and the skin; false leaves no texture held.
    bool Create(const char* modelFile, const char* skinFile, float scale);
    bool Render(GFXObject* object);
    // Draws from a pretransformed copy of the frames, which no operation makes; false without one.
    bool Render2D(GFXObject* object, int x, int y);
    void GetBoundingBox(D3DXVECTOR3* min, D3DXVECTOR3* max);
    void Release();

    IDirect3DDevice9* device;
    TexturManager* texturManager;
    BufferManager* bufferManager;
    int skinTexture = -1;
    int vertexBuffer = -1;
    int screenVertexBuffer = -1;
    int frameCount = 0;
    int frameBytes = 0;
    int screenFrameBytes = 0;
    int triangleCount = 0;
    int vertexCount = 0;
    D3DXVECTOR3 boxMin{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 boxMax{0.0f, 0.0f, 0.0f};
};
