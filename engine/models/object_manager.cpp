// The object table: entries, binding objects to models, visibility test and drawing.
#include "models/object_manager.h"

#include "core/init_manager.h"
#include "core/kamera_klass.h"
#include "models/gfx_object.h"
#include "models/model_manager.h"

#include <new>

ObjectManager* ObjectManager::Exemplar = nullptr;

ObjectManager* ObjectManager::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) ObjectManager();
    }
    return Exemplar;
}

ObjectManager::ObjectManager() = default;

ObjectManager::~ObjectManager() {
    if (objects != nullptr) {
        ReleaseAll(true);
        delete[] objects;
        objects = nullptr;
    }
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

bool ObjectManager::Init(int max) {
    if (objects != nullptr || max <= 0) {
        return false;
    }
    InitManager::GetExemplar();
    kamera = KameraKlass::GetExemplar();
    modelManager = ModelManager::GetExemplar();
    objects = new (std::nothrow) GFXObject*[size_t(max)]();
    if (objects == nullptr) {
        capacity = 0;
        return false;
    }
    capacity = max;
    objectCount = 0;
    return true;
}

bool ObjectManager::Holds(const GFXObject* object) const {
    const int i = object->objectIndex;
    return i >= 0 && i < capacity && objects[i] == object;
}

bool ObjectManager::AddObject(GFXObject* object, int modelId) {
    // A second entry for one object would have it deleted twice.
    if (object == nullptr || objects == nullptr || Holds(object)) {
        return false;
    }
    if (objectCount >= capacity) {
        return false;
    }
    int free = -1;
    for (int i = 0; i < capacity; ++i) {
        if (objects[i] == nullptr) {
            free = i;
            break;
        }
    }
    if (free < 0) {
        return false;
    }
    D3DXVECTOR3 min;
    D3DXVECTOR3 max;
    if (!modelManager->GetBoundingBox4Model(&min, &max, modelId)) {
        return false;
    }
    if (!object->CopyBoundingBox(&min, &max)) {
        return false;
    }
    object->modelId = modelId;
    object->objectIndex = free;
    objects[free] = object;
    objectCount += 1;
    return true;
}

bool ObjectManager::RenderAll() {
    bool ok = true;
    int drawn = 0;
    for (int i = 0; i < capacity && drawn < objectCount; ++i) {
        GFXObject* object = objects[i];
        if (object != nullptr && object->enabled && IsObjectViewable(object)) {
            if (!modelManager->RenderModel(object)) {
                ok = false;
            }
            drawn += 1;
        }
    }
    return ok;
}

bool ObjectManager::IsObjectViewable(GFXObject* object) {
    const D3DXVECTOR3* minPointer = object->GetBoundVecMin();
    const D3DXVECTOR3* maxPointer = object->GetBoundVecMax();
    if (minPointer == nullptr || maxPointer == nullptr) {
        return false;
    }
    const D3DXVECTOR3 min = *minPointer;
    const D3DXVECTOR3 max = *maxPointer;
    const bool inSight = kamera->CheckIfObjectInsightViewport(&min, &max);
    object->inView = inSight;
    return inSight;
}

void ObjectManager::ReleaseObject(GFXObject* object, bool deleteObject) {
    if (objects == nullptr || object == nullptr || !Holds(object)) {
        return;
    }
    const int i = object->objectIndex;
    if (deleteObject) {
        delete object;
    }
    objects[i] = nullptr;
    objectCount -= 1;
}

void ObjectManager::ReleaseAll(bool deleteObjects) {
    if (objects == nullptr) {
        return;
    }
    for (int i = 0; i < capacity; ++i) {
        if (objects[i] != nullptr) {
            if (deleteObjects) {
                delete objects[i];
            }
            objects[i] = nullptr;
        }
    }
    objectCount = 0;
}
