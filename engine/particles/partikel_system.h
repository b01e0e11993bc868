// One particle system: a fixed pool of particle records, the point-sprite vertices drawn from them,
// the parameters the update strategies read, and up to five update strategies that the system owns.
// The subclasses differ only in their point scale and, for the status bar, the bar's description.
#pragma once

#include "core/velkora_api.h"
#include "win32/windows_base.h"

#include <cstdint>

class BufferManager;
class StdPartikelUpdateClass;

// Vertex format of a particle vertex: position, point size and diffuse colour.
constexpr DWORD PARTIKEL_VERTEX_FVF = 0x62;

// The vertex handed to the device; the colour is ARGB in 32 bits so the stride stays 20 bytes.
struct PartikelVertex {
    float x;
    float y;
    float z;
    float pointSize;
    DWORD color;
};
static_assert(sizeof(PartikelVertex) == 20, "particle vertices are drawn with a stride of 20 bytes");

// One particle in memory. Positions are triples x, y, z; colours are floats 0..255.
struct Partikel {
    float direction[3];
    float start[3];
    float target[3];
    DWORD life;
    DWORD birth;
    float colorR;
    float colorG;
    float colorB;
    float colorA;
    uint8_t alive;
};

class VELKORA_API stdPartikelSystem {
public:
    static constexpr int UPDATE_SLOTS = 5;

    stdPartikelSystem();
    virtual bool InitializePartikelSystem(int count);
    virtual bool Update();
    // Frees nothing: the owner calls Release first (the particle manager does so on removal).
    virtual ~stdPartikelSystem();

    bool SetRadius(float value);
    bool SetBlendMode(int mode);
    bool SetExternPosition(float* x, float* y, float* z);
    bool SetExternPosition1(float* x, float* y, float* z);
    bool SetInternPosition(float x, float y, float z);
    bool SetStartColor(int a, int r, int g, int b);
    bool SetEndColor(int a, int r, int g, int b);
    bool SetLifeTimeSystem(unsigned long milliseconds);
    bool SetSinglePartikelLifeTime(unsigned long minimum, unsigned long maximum);
    // Takes ownership of `updateClass` (a StdPartikelUpdateClass). A slot outside 0..4 is refused and
    // the object stays the caller's; an object already in the slot is deleted and replaced.
    bool SetUpdateClass(int slot, void* updateClass);
    // Rebuilds the given vertex buffer from the whole vertex array. False when the system has no
    // vertices (the buffer is left alone) or the rebuild failed.
    bool bFillVertexBuffer(int vertexBufferId);
    // Frees the update objects and both arrays and forgets them; calling it twice is harmless.
    bool Release();

    // Read and written directly by the update strategies and the particle manager.
    float pointScaleC = 1.0f;
    int32_t blendMode = 0;
    int32_t particleCount = 0;
    int32_t liveCount = 0;
    DWORD systemLifeTime = 0;
    float* externX = nullptr;
    float* externY = nullptr;
    float* externZ = nullptr;
    float* extern1X = nullptr;
    float* extern1Y = nullptr;
    float* extern1Z = nullptr;
    float internX = 0.0f;
    float internY = 0.0f;
    float internZ = 0.0f;
    DWORD partikelLifeMin = 0;
    DWORD partikelLifeMax = 0;
    int32_t startColorR = 0;
    int32_t startColorA = 0;
    int32_t startColorG = 0;
    int32_t startColorB = 0;
    int32_t endColorR = 0;
    int32_t endColorA = 0;
    int32_t endColorG = 0;
    int32_t endColorB = 0;
    float radius = 0.0f;
    PartikelVertex* vertices = nullptr;
    Partikel* partikel = nullptr;
    StdPartikelUpdateClass* updateClasses[UPDATE_SLOTS] = {};
    BufferManager* bufferManager = nullptr;

private:
    void FreeArrays();
};

// A row of points that shows a value against its maximum (the status-bar strategy reads the fields).
class VELKORA_API PartStatusBar : public stdPartikelSystem {
public:
    PartStatusBar();
    ~PartStatusBar() override;

    float* currentValue = nullptr;
    float* maximumValue = nullptr;
    float barWidth = 0.0f;
    float barYOffset = 0.0f;
};

class PartSystemScale20 : public stdPartikelSystem {
public:
    PartSystemScale20();
    ~PartSystemScale20() override;
};

class PartSystemScale10 : public stdPartikelSystem {
public:
    PartSystemScale10();
    ~PartSystemScale10() override;
};
