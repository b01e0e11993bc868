// The six preset effects of the particle manager: which system class and strategy each builds, with
// its particle count, colours, blend mode, radius and lifetimes.
#include "particles/flight_update_classes.h"
#include "particles/formation_update_classes.h"
#include "particles/partikel_system.h"
#include "particles/point_manager.h"
#include "particles/update_status_bar.h"

#include <new>

namespace {

struct Argb {
    int a;
    int r;
    int g;
    int b;
};

struct Preset {
    int particles;
    Argb start;
    Argb end;
    int blendMode;
    float radius;
    // Only the radial and burst presets set lifetimes; the ring takes its lifetime from the record.
    bool setsLives;
    unsigned long lifeMin;
    unsigned long lifeMax;
    unsigned long systemLifeTime;
};

constexpr int PRESET_COUNT = 6;
constexpr int RADIAL = 0;
constexpr int SPIRAL = 1;
constexpr int STATUS_BAR = 2;
constexpr int RING = 3;
constexpr int BURST = 4;
constexpr int FINE_BURST = 5;

constexpr Preset PRESETS[PRESET_COUNT] = {
    {100, {255, 255, 200, 255}, {0, 100, 0, 0}, 1, 1.5f, true, 1100, 1200, 1000},
    {60, {255, 255, 200, 255}, {100, 100, 100, 100}, 1, 0.8f, false, 0, 0, 0},
    {60, {255, 255, 200, 255}, {100, 100, 100, 100}, 0, 1.8f, false, 0, 0, 0},
    {60, {0, 0, 0, 0}, {0, 0, 0, 0}, 1, 1.8f, false, 0, 0, 0},
    {200, {255, 255, 255, 250}, {0, 250, 50, 0}, 1, 0.8f, true, 100, 400, 1000},
    {200, {155, 255, 255, 255}, {100, 0, 0, 255}, 1, 0.1f, true, 600, 600, 2000},
};

// The fine burst draws with a larger point scale than its class.
constexpr float FINE_BURST_POINT_SCALE = 30.0f;

bool HasAll(const float* x, const float* y, const float* z) {
    return x != nullptr && y != nullptr && z != nullptr;
}

// Whether the record holds every pointer its preset dereferences, now or at every frame.
bool RecordIsComplete(const CREATE_PARTSYSTEMSTRUCT& record) {
    if (record.systemId == nullptr) {
        return false;
    }
    const int type = record.type;
    if (type != RING && !HasAll(record.externX, record.externY, record.externZ)) {
        return false;
    }
    if ((type == BURST || type == FINE_BURST) && !HasAll(record.extern1X, record.extern1Y, record.extern1Z)) {
        return false;
    }
    if (type == STATUS_BAR && (record.maximumValue == nullptr || record.currentValue == nullptr)) {
        return false;
    }
    return true;
}

stdPartikelSystem* NewSystem(int type) {
    switch (type) {
    case STATUS_BAR:
        return new (std::nothrow) PartStatusBar();
    case SPIRAL:
    case RING:
        return new (std::nothrow) PartSystemScale20();
    default:
        return new (std::nothrow) PartSystemScale10();
    }
}

StdPartikelUpdateClass* NewStrategy(int type) {
    switch (type) {
    case RADIAL:
        return new (std::nothrow) RadialUpdateClass();
    case SPIRAL:
        return new (std::nothrow) SpiralUpdateClass();
    case STATUS_BAR:
        return new (std::nothrow) UpdateStatusBar();
    case RING:
        return new (std::nothrow) RingUpdateClass();
    default:
        return new (std::nothrow) BurstUpdateClass();
    }
}

void ConfigureSystem(stdPartikelSystem& system, const CREATE_PARTSYSTEMSTRUCT& record) {
    const int type = record.type;
    const Preset& preset = PRESETS[type];
    if (type == RING) {
        system.SetLifeTimeSystem(record.systemLifeTime);
        system.SetInternPosition(record.internX, record.internY, record.internZ);
        system.SetEndColor(record.endColorA, record.endColorR, record.endColorG, record.endColorB);
        system.SetStartColor(record.startColorA, record.startColorR, record.startColorG, record.startColorB);
        system.SetBlendMode(preset.blendMode);
        system.SetRadius(preset.radius);
        return;
    }
    system.SetExternPosition(record.externX, record.externY, record.externZ);
    if (type == BURST || type == FINE_BURST) {
        system.SetExternPosition1(record.extern1X, record.extern1Y, record.extern1Z);
    }
    system.SetEndColor(preset.end.a, preset.end.r, preset.end.g, preset.end.b);
    system.SetStartColor(preset.start.a, preset.start.r, preset.start.g, preset.start.b);
    system.SetBlendMode(preset.blendMode);
    system.SetRadius(preset.radius);
    if (type == FINE_BURST) {
        system.pointScaleC = FINE_BURST_POINT_SCALE;
    }
    if (preset.setsLives) {
        system.SetSinglePartikelLifeTime(preset.lifeMin, preset.lifeMax);
        system.SetLifeTimeSystem(preset.systemLifeTime);
    }
}

void Discard(stdPartikelSystem* system, StdPartikelUpdateClass* strategy) {
    if (system != nullptr) {
        system->Release();
    }
    delete system;
    delete strategy;
}

} // namespace

bool PointManager::CreatePartikelSystemEx(CREATE_PARTSYSTEMSTRUCT* record) {
    if (record == nullptr) {
        return false;
    }
    if (static_cast<unsigned>(record->type) >= static_cast<unsigned>(PRESET_COUNT)) {
        return true;
    }
    if (!RecordIsComplete(*record)) {
        return false;
    }
    const int type = record->type;

    stdPartikelSystem* system = NewSystem(type);
    StdPartikelUpdateClass* strategy = NewStrategy(type);
    if (system == nullptr || strategy == nullptr ||
        !system->InitializePartikelSystem(PRESETS[type].particles)) {
        Discard(system, strategy);
        return false;
    }
    ConfigureSystem(*system, *record);
    system->SetUpdateClass(0, strategy);

    if (type == STATUS_BAR) {
        auto* bar = static_cast<PartStatusBar*>(system);
        bar->maximumValue = record->maximumValue;
        bar->currentValue = record->currentValue;
        bar->barWidth = record->barWidth;
        bar->barYOffset = record->barYOffset;
    }

    // The id is written only when the system found a slot; otherwise nothing of it may remain.
    if (!AddSystem(record->systemId, system)) {
        Discard(system, nullptr);
        return false;
    }
    return true;
}
