// The particle manager: a singleton holding up to 1000 particle systems, the shared vertex buffer
// they are drawn from and the star texture, plus the preset builder and its parameter record.
#pragma once

#include "core/velkora_api.h"
#include "win32/windows_base.h"

#include <cstdint>
#include <cstring>

class InitManager;
class TexturManager;
class BufferManager;
class stdPartikelSystem;

// The parameters of a preset system. The caller fills and keeps it; the manager reads it only during
// CreatePartikelSystemEx and keeps the pointers it holds, which must outlive the system.
struct VELKORA_API CREATE_PARTSYSTEMSTRUCT {
    int32_t type;
    float* externX;
    float* externY;
    float* externZ;
    float* extern1X;
    float* extern1Y;
    float* extern1Z;
    int32_t* systemId;
    float barWidth;
    float barYOffset;
    int32_t reserved1[2];
    float* maximumValue;
    float* currentValue;
    int32_t reserved2[2];
    float internX;
    float internY;
    float internZ;
    int32_t startColorA;
    int32_t startColorR;
    int32_t startColorG;
    int32_t startColorB;
    int32_t endColorA;
    int32_t endColorR;
    int32_t endColorG;
    int32_t endColorB;
    DWORD systemLifeTime;
};

// The bit pattern of a float, for the render states that take floats.
inline DWORD FloatToDword(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

class VELKORA_API PointManager {
public:
    static constexpr int MAX_SYSTEMS = 1000;
    // Vertices of the shared buffer's first contents; every draw rebuilds it at the system's size.
    static constexpr int SHARED_BUFFER_VERTICES = 1000;

    static PointManager* GetExemplar();
    // Releases and deletes the systems still held; the texture and the buffer stay with their caches.
    virtual ~PointManager();

    // Binds the device owner and the caches, loads the star texture and creates the shared vertex
    // buffer; true when the buffer exists. A second call replaces the texture and the buffer.
    bool InitPointManager();
    // Puts the system in the lowest free slot and writes the slot to `id`. False, with nothing
    // written, for a null argument, a system held already or a full table. The manager then owns
    // the system.
    bool AddSystem(int* id, stdPartikelSystem* system);
    // Releases and deletes the system in slot `id`; an empty slot is fine. False for an id outside
    // the table.
    bool ReleaseSystem(int id);
    // Updates, then draws, every system. Call it inside an open scene.
    bool Update();
    bool DrawSystems();
    // Builds preset `type` 0..5 from the record. A type outside 0..5 builds nothing and reports true.
    // False, with everything made freed and no id written, when the record lacks a pointer the
    // preset needs, an allocation fails or the table is full.
    bool CreatePartikelSystemEx(CREATE_PARTSYSTEMSTRUCT* record);

    stdPartikelSystem* systems[MAX_SYSTEMS] = {};
    int32_t sharedVertexBufferId = -1;
    InitManager* initManager = nullptr;
    TexturManager* texturManager = nullptr;
    BufferManager* bufferManager = nullptr;
    int32_t starTextureId = -1;

protected:
    PointManager();

private:
    bool UpdatePartikelSystem(stdPartikelSystem* system);
    bool DrawSingleSystem(stdPartikelSystem* system);
    bool CreateSharedVertexBuffer();

    static PointManager* Exemplar;
};
