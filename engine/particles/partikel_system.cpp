// The particle system core: array set-up, the update-strategy slots, the vertex-buffer fill and the
// release of everything a system owns.
#include "particles/partikel_system.h"

#include "core/buffer_manager.h"
#include "particles/std_partikel_update_class.h"

#include <cstring>
#include <new>

stdPartikelSystem::stdPartikelSystem() = default;

stdPartikelSystem::~stdPartikelSystem() = default;

void stdPartikelSystem::FreeArrays() {
    delete[] vertices;
    vertices = nullptr;
    delete[] partikel;
    partikel = nullptr;
    particleCount = 0;
    liveCount = 0;
}

bool stdPartikelSystem::InitializePartikelSystem(int count) {
    bufferManager = BufferManager::GetExemplar();
    if (count < 0) {
        return false;
    }
    // A second initialisation replaces the pool; the old arrays must not leak.
    FreeArrays();

    vertices = new (std::nothrow) PartikelVertex[static_cast<size_t>(count)];
    if (vertices != nullptr) {
        partikel = new (std::nothrow) Partikel[static_cast<size_t>(count)];
    }
    if (vertices == nullptr || partikel == nullptr) {
        FreeArrays();
        return false;
    }

    particleCount = count;
    std::memset(static_cast<void*>(vertices), 0, sizeof(PartikelVertex) * static_cast<size_t>(count));
    std::memset(static_cast<void*>(partikel), 0, sizeof(Partikel) * static_cast<size_t>(count));
    liveCount = 0;
    return true;
}

bool stdPartikelSystem::Update() {
    for (StdPartikelUpdateClass* updateClass : updateClasses) {
        if (updateClass != nullptr) {
            updateClass->Update(this);
        }
    }
    return true;
}

bool stdPartikelSystem::SetRadius(float value) {
    radius = value;
    return true;
}

bool stdPartikelSystem::SetBlendMode(int mode) {
    blendMode = mode;
    return true;
}

bool stdPartikelSystem::SetExternPosition(float* x, float* y, float* z) {
    externX = x;
    externY = y;
    externZ = z;
    return true;
}

bool stdPartikelSystem::SetExternPosition1(float* x, float* y, float* z) {
    extern1X = x;
    extern1Y = y;
    extern1Z = z;
    return true;
}

bool stdPartikelSystem::SetInternPosition(float x, float y, float z) {
    internX = x;
    internY = y;
    internZ = z;
    return true;
}

bool stdPartikelSystem::SetStartColor(int a, int r, int g, int b) {
    startColorA = a;
    startColorR = r;
    startColorG = g;
    startColorB = b;
    return true;
}

bool stdPartikelSystem::SetEndColor(int a, int r, int g, int b) {
    endColorA = a;
    endColorR = r;
    endColorG = g;
    endColorB = b;
    return true;
}

bool stdPartikelSystem::SetLifeTimeSystem(unsigned long milliseconds) {
    systemLifeTime = static_cast<DWORD>(milliseconds);
    return true;
}

bool stdPartikelSystem::SetSinglePartikelLifeTime(unsigned long minimum, unsigned long maximum) {
    partikelLifeMin = static_cast<DWORD>(minimum);
    partikelLifeMax = static_cast<DWORD>(maximum);
    return true;
}

bool stdPartikelSystem::SetUpdateClass(int slot, void* updateClass) {
    if (slot < 0 || slot >= UPDATE_SLOTS) {
        return false;
    }
    auto* incoming = static_cast<StdPartikelUpdateClass*>(updateClass);
    if (updateClasses[slot] != incoming) {
        // The system owns what sits in its slots, so a replaced strategy is its to delete.
        delete updateClasses[slot];
        updateClasses[slot] = incoming;
    }
    return true;
}

bool stdPartikelSystem::bFillVertexBuffer(int vertexBufferId) {
    // An empty system must not rebuild the buffer: a zero-byte buffer cannot be created, and the
    // failed rebuild would leave the slot free for someone else while the manager keeps its id.
    if (vertices == nullptr || particleCount <= 0 || bufferManager == nullptr) {
        return false;
    }
    const int bytes = particleCount * static_cast<int>(sizeof(PartikelVertex));
    return bufferManager->RecreateVertexBuffer(vertices, bytes, PARTIKEL_VERTEX_FVF, 1, vertexBufferId) != -1;
}

bool stdPartikelSystem::Release() {
    for (StdPartikelUpdateClass*& updateClass : updateClasses) {
        delete updateClass;
        updateClass = nullptr;
    }
    FreeArrays();
    return true;
}

PartStatusBar::PartStatusBar() {
    pointScaleC = 20.0f;
}

PartStatusBar::~PartStatusBar() = default;

PartSystemScale20::PartSystemScale20() {
    pointScaleC = 20.0f;
}

PartSystemScale20::~PartSystemScale20() = default;

PartSystemScale10::PartSystemScale10() {
    pointScaleC = 10.0f;
}

PartSystemScale10::~PartSystemScale10() = default;
