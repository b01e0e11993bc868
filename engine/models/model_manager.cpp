// The model table: slot handling, creation of models and drawing by id.
#include "models/model_manager.h"

ModelManager* ModelManager::exemplar = nullptr;

ModelManager* ModelManager::GetExemplar() {
    if (exemplar == nullptr) {
        exemplar = new ModelManager();
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

void ModelManager::ReleaseAll() {
    for (int i = 0; i < capacity; ++i) {
        slots[i].model = nullptr;
        slots[i].type = 0;
    }
}
