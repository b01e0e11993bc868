// The model table: slot handling, creation of models and drawing by id.
#include "models/model_manager.h"

#include "core/init_manager.h"
#include "models/billbord_sprite.h"
#include "models/gfx_object.h"
#include "models/model_md2.h"

#include <new>

ModelManager* ModelManager::exemplar = nullptr;

ModelManager* ModelManager::GetExemplar() {
    if (exemplar == nullptr) {
        exemplar = new (std::nothrow) ModelManager();
    }
    return exemplar;
}

ModelManager::ModelManager() = default;

ModelManager::~ModelManager() {
    if (slots != nullptr) {
        ReleaseAll();
        delete[] slots;
        slots = nullptr;
    }
    if (exemplar == this) {
        exemplar = nullptr;
    }
}

bool ModelManager::Init(int max) {
    // A second table would lose the models of the first.
    if (max <= 0 || slots != nullptr) {
        return false;
    }
    initManager = InitManager::GetExemplar();
    slots = new (std::nothrow) ModelSlot[size_t(max)];
    if (slots == nullptr) {
        capacity = 0;
        return false;
    }
    capacity = max;
    for (int i = 0; i < capacity; ++i) {
        slots[i] = {nullptr, MODEL_SLOT_EMPTY};
    }
    return true;
}

int ModelManager::GetFreeSlot() {
    for (int i = 0; i < capacity; ++i) {
        if (slots[i].model == nullptr) {
            return i;
        }
    }
    return -1;
}

bool ModelManager::ChkRange(int id) {
    return id >= 0 && id < capacity;
}

int ModelManager::GetFreeModelId(int wantedId) {
    if (wantedId > -1) {
        return ChkRange(wantedId) && slots[wantedId].model == nullptr ? wantedId : -1;
    }
    return GetFreeSlot();
}

int ModelManager::PrepareModelMD2(const char* modelFile, const char* skinFile, float scale, int wantedId) {
    const int id = GetFreeModelId(wantedId);
    if (id < 0 || initManager == nullptr) {
        return -1;
    }
    ModelMD2* model = new (std::nothrow) ModelMD2(initManager->device);
    if (model == nullptr) {
        return -1;
    }
    if (!model->Create(modelFile, skinFile, scale)) {
        delete model;
        return -1;
    }
    slots[id].type = MODEL_SLOT_MD2;
    slots[id].model = model;
    return id;
}

int ModelManager::PrepareBillbordSprite(const char* textureFile, int frames, float halfWidth, float height,
                                        int wantedId) {
    const int id = GetFreeModelId(wantedId);
    if (id < 0 || initManager == nullptr) {
        return -1;
    }
    BillbordSprite* sprite = new (std::nothrow) BillbordSprite(initManager->device);
    if (sprite == nullptr) {
        return -1;
    }
    if (!sprite->Create(textureFile, frames, halfWidth, height)) {
        delete sprite;
        return -1;
    }
    slots[id].type = MODEL_SLOT_BILLBORD;
    slots[id].model = sprite;
    return id;
}

bool ModelManager::RenderModel(GFXObject* object) {
    if (object == nullptr || !ChkRange(object->modelId)) {
        return false;
    }
    ModelSlot& slot = slots[object->modelId];
    switch (slot.type) {
    case MODEL_SLOT_MD2:
        return static_cast<ModelMD2*>(slot.model)->Render(object);
    case MODEL_SLOT_BILLBORD:
        return static_cast<BillbordSprite*>(slot.model)->Render(object);
    default:
        return false;
    }
}

bool ModelManager::RenderModel2D(GFXObject* object, int x, int y) {
    if (object == nullptr || !ChkRange(object->modelId)) {
        return false;
    }
    ModelSlot& slot = slots[object->modelId];
    if (slot.type == MODEL_SLOT_MD2) {
        return static_cast<ModelMD2*>(slot.model)->Render2D(object, x, y);
    }
    return false;
}

bool ModelManager::GetBoundingBox4Model(D3DXVECTOR3* min, D3DXVECTOR3* max, int id) {
    if (min == nullptr || max == nullptr) {
        return false;
    }
    if (!ChkRange(id)) {
        return false;
    }
    ModelSlot& slot = slots[id];
    switch (slot.type) {
    case MODEL_SLOT_MD2:
        static_cast<ModelMD2*>(slot.model)->GetBoundingBox(min, max);
        return true;
    case MODEL_SLOT_BILLBORD:
        static_cast<BillbordSprite*>(slot.model)->GetBoundingBox(min, max);
        return true;
    default:
        return false;
    }
}

void ModelManager::DestroySlot(ModelSlot& slot) {
    if (slot.type == MODEL_SLOT_MD2) {
        delete static_cast<ModelMD2*>(slot.model);
    } else if (slot.type == MODEL_SLOT_BILLBORD) {
        delete static_cast<BillbordSprite*>(slot.model);
    }
    slot.model = nullptr;
    slot.type = MODEL_SLOT_EMPTY;
}

void ModelManager::ReleaseModel(int id) {
    // A free slot stays free.
    if (ChkRange(id)) {
        DestroySlot(slots[id]);
    }
}

void ModelManager::ReleaseAll() {
    for (int i = 0; i < capacity; ++i) {
        if (slots[i].model != nullptr) {
            DestroySlot(slots[i]);
        }
    }
}
