// The model table: a fixed array of slots, each holding one loaded model (an MD2 keyframe model or a
// camera-facing billboard sprite) addressed by its index, the model id. The table owns the models.
#pragma once

#include "core/velkora_api.h"

class InitManager;

// One entry of the table: the model object (null when free) and its type: 0 empty, 1 ModelMD2,
// 2 BillbordSprite.
struct ModelSlot {
    void* model;
    int type;
};

class VELKORA_API ModelManager {
public:
    static ModelManager* GetExemplar();

    virtual ~ModelManager();

    // Destroys every model held, so that they give back their textures and buffers.
    void ReleaseAll();

private:
    ModelManager();

    static ModelManager* exemplar;

    InitManager* initManager = nullptr;
    int capacity = 0;
    ModelSlot* slots = nullptr;
};
