// The object table: the scene objects to be drawn, each bound to a model of the model table, culled
// against the camera's visibility window and drawn once per frame.
#pragma once

#include "core/velkora_api.h"

class ModelManager;
class KameraKlass;
class GFXObject;

class VELKORA_API ObjectManager {
public:
    static ObjectManager* GetExemplar();

    // Deletes every object still held: objects handed to the table must come from new.
    virtual ~ObjectManager();

    ObjectManager(const ObjectManager&) = delete;
    ObjectManager& operator=(const ObjectManager&) = delete;

    // Makes a table of max empty entries; refused for max <= 0 and when a table exists already.
    bool Init(int max);
    // Puts the object into the lowest free entry and gives it the model's box. Refused for a null object,
    // an object held already, a full table and a model id without a model.
    bool AddObject(GFXObject* object, int modelId);
    // Draws every enabled object in the camera's window; false when any draw failed. Must be called
    // inside a scene.
    bool RenderAll();
    void ReleaseObject(GFXObject* object, bool deleteObject);
    void ReleaseAll(bool deleteObjects);

    ModelManager* modelManager = nullptr;
    KameraKlass* kamera = nullptr;
    GFXObject** objects = nullptr;
    int capacity = 0;
    int objectCount = 0;

private:
    ObjectManager();

    bool IsObjectViewable(GFXObject* object);
    bool Holds(const GFXObject* object) const;

    static ObjectManager* Exemplar;
};
