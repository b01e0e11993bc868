// The object table: entries, binding objects to models, visibility test and drawing.
#include "models/object_manager.h"

ObjectManager* ObjectManager::Exemplar = nullptr;

ObjectManager* ObjectManager::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new ObjectManager();
    }
    return Exemplar;
}

ObjectManager::ObjectManager() = default;

ObjectManager::~ObjectManager() {
    delete[] objects;
    objects = nullptr;
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}
