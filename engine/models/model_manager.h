// The model table: a fixed array of slots, each holding one loaded model (an MD2 keyframe model or a
// camera-facing billboard sprite) addressed by its index, the model id. The table owns the models.
#pragma once

#include "core/velkora_api.h"
#include "d3dx9/d3dx9.h"

class InitManager;
class GFXObject;

// One entry of the table: the model object (null when free) and its type.
struct ModelSlot {
    void* model;
    int type;
};

constexpr int MODEL_SLOT_EMPTY = 0;
constexpr int MODEL_SLOT_MD2 = 1;
constexpr int MODEL_SLOT_BILLBORD = 2;

class VELKORA_API ModelManager {
public:
    static ModelManager* GetExemplar();

    virtual ~ModelManager();

    ModelManager(const ModelManager&) = delete;
    ModelManager& operator=(const ModelManager&) = delete;

    // Makes a table of max free slots. Refused for max <= 0 and when a table exists already.
    bool Init(int max);
    // Both return the model id, or -1. A wanted id of -1 or less takes the lowest free slot; any other
    // wanted id is taken exactly or refused.
    int PrepareModelMD2(const char* modelFile, const char* skinFile, float scale, int wantedId);
    int PrepareBillbordSprite(const char* textureFile, int frames, float halfWidth, float height,
                              int wantedId);
    bool RenderModel(GFXObject* object);
    bool RenderModel2D(GFXObject* object, int x, int y);
    bool GetBoundingBox4Model(D3DXVECTOR3* min, D3DXVECTOR3* max, int id);
    void ReleaseModel(int id);
    // Destroys every model held, so that they give back their textures and buffers.
    void ReleaseAll();

    InitManager* initManager = nullptr;
    int capacity = 0;
    ModelSlot* slots = nullptr;

private:
    ModelManager();

    int GetFreeSlot();
    bool ChkRange(int id);
    int GetFreeModelId(int wantedId);
    void DestroySlot(ModelSlot& slot);

    static ModelManager* exemplar;
};
