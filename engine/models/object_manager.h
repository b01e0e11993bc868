// The object table: the scene objects to be drawn, each bound to a model of the model table, culled
// against the camera and drawn once per frame.
#pragma once

#include "core/velkora_api.h"

class ModelManager;
class KameraKlass;
class GFXObject;

class VELKORA_API ObjectManager {
public:
    static ObjectManager* GetExemplar();

    virtual ~ObjectManager();

private:
    ObjectManager();

    static ObjectManager* Exemplar;

    ModelManager* modelManager = nullptr;
    KameraKlass* kamera = nullptr;
    GFXObject** objects = nullptr;
    int capacity = 0;
    int objectCount = 0;
};
