// Ring and spiral strategies: every free record is placed at every call, on a circle.
#include "particles/formation_update_classes.h"

#include "particles/partikel_system.h"
#include "win32/mmsystem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr float FORMATION_POINT_SIZE = 3.0f;

// Spiral colours: the colour of a placed record, the flash, and the floors the dimming stops at.
constexpr float SPIRAL_RED = 120.0f;
constexpr float SPIRAL_GREEN = 250.0f;
constexpr float SPIRAL_BLUE = 120.0f;
constexpr float SPIRAL_ALPHA = 255.0f;
constexpr float SPIRAL_FLASH = 255.0f;
constexpr float SPIRAL_FLOOR_RED = 50.0f;
constexpr float SPIRAL_FLOOR_GREEN = 150.0f;
constexpr float SPIRAL_FLOOR_BLUE = 50.0f;
constexpr float SPIRAL_FLOOR_ALPHA = 100.0f;
// Height lost per millisecond, and the height step between neighbouring records.
constexpr float SPIRAL_SINK_RATE = 0.03f;
constexpr double SPIRAL_RISE = 0.2;

DWORD FloatColor(const Partikel& record) {
    const auto channel = [](float value) { return static_cast<DWORD>(static_cast<int>(value)) & 255u; };
    return (channel(record.colorA) << 24) | (channel(record.colorR) << 16) | (channel(record.colorG) << 8) |
           channel(record.colorB);
}

} // namespace

RingUpdateClass::RingUpdateClass() : counter(0), lastTime(timeGetTime()) {}

RingUpdateClass::~RingUpdateClass() = default;

bool RingUpdateClass::Update(void* system) {
    CreateNewPartikel(system);
    UpdatePartikel(system);
    return true;
}

bool RingUpdateClass::CreateNewPartikel(void* system) {
    auto* ring = static_cast<stdPartikelSystem*>(system);
    if (ring == nullptr) {
        return false;
    }
    const double step = 360.0 / ring->particleCount;
    double angle = 0.0;
    for (int i = 0; i < ring->particleCount; ++i) {
        Partikel& record = ring->partikel[i];
        if (record.alive != 0) {
            continue;
        }
        record.alive = 1;
        const double radians = angle * DEGREE_TO_RADIAN;
        const auto s = static_cast<float>(std::sin(radians));
        const auto c = static_cast<float>(std::cos(radians));
        record.start[0] = ring->internX;
        record.start[1] = ring->internY;
        record.start[2] = ring->internZ;
        record.target[0] = ring->internX + s * ring->radius;
        record.target[1] = ring->internY;
        record.target[2] = ring->internZ + c * ring->radius;
        record.direction[0] = record.target[0] - record.start[0];
        record.direction[2] = record.target[2] - record.start[2];
        record.birth = timeGetTime();
        angle += step;
    }
    ring->liveCount = ring->particleCount;
    return true;
}

bool RingUpdateClass::UpdatePartikel(void* system) {
    auto* ring = static_cast<stdPartikelSystem*>(system);
    if (ring == nullptr) {
        return false;
    }
    int live = 0;
    for (int i = 0; i < ring->particleCount; ++i) {
        const Partikel& record = ring->partikel[i];
        if (record.alive != 1) {
            continue;
        }
        const DWORD age = timeGetTime() - record.birth;
        if (age > ring->systemLifeTime) {
            ring->liveCount = 0;
            return false;
        }
        const float t = LifeFraction(age, ring->systemLifeTime);
        PartikelVertex& vertex = ring->vertices[live];
        vertex.x = ring->internX + t * record.direction[0];
        vertex.y = ring->internY;
        vertex.z = ring->internZ + t * record.direction[2];
        vertex.pointSize = FORMATION_POINT_SIZE;
        vertex.color = InterpolateColor(*ring, t);
        ++live;
    }
    ring->liveCount = live;
    return true;
}

SpiralUpdateClass::SpiralUpdateClass() : counter(0), lastTime(timeGetTime()) {}

SpiralUpdateClass::~SpiralUpdateClass() = default;

bool SpiralUpdateClass::Update(void* system) {
    CreateNewPartikel(system);
    UpdatePartikel(system);
    return true;
}

bool SpiralUpdateClass::CreateNewPartikel(void* system) {
    auto* spiral = static_cast<stdPartikelSystem*>(system);
    if (spiral == nullptr) {
        return false;
    }
    const double step = 360.0 / spiral->particleCount;
    double angle = 0.0;
    for (int i = 0; i < spiral->particleCount; ++i) {
        Partikel& record = spiral->partikel[i];
        if (record.alive != 0) {
            continue;
        }
        record.alive = 1;
        record.colorR = SPIRAL_RED;
        record.colorG = SPIRAL_GREEN;
        record.colorB = SPIRAL_BLUE;
        record.colorA = SPIRAL_ALPHA;
        const double radians = angle * DEGREE_TO_RADIAN;
        const auto s = static_cast<float>(std::sin(radians));
        const auto c = static_cast<float>(std::cos(radians));
        record.start[0] = s * spiral->radius + static_cast<float>(rand() / 32767);
        record.start[2] = c * spiral->radius + static_cast<float>(rand() / 32767);
        record.start[1] = static_cast<float>(i * SPIRAL_RISE);
        angle += step;
    }
    spiral->liveCount = spiral->particleCount;
    return true;
}

bool SpiralUpdateClass::UpdatePartikel(void* system) {
    auto* spiral = static_cast<stdPartikelSystem*>(system);
    if (spiral == nullptr || !HasExternPosition(*spiral)) {
        return false;
    }
    const auto dt = static_cast<float>(timeGetTime() - lastTime);
    lastTime = timeGetTime();

    ++counter;
    if (spiral->particleCount > 0 && counter < static_cast<DWORD>(spiral->particleCount)) {
        Partikel& lit = spiral->partikel[counter];
        lit.colorR = SPIRAL_FLASH;
        lit.colorG = SPIRAL_FLASH;
        lit.colorB = SPIRAL_FLASH;
        lit.colorA = SPIRAL_FLASH;
    }

    for (int i = 0; i < spiral->particleCount; ++i) {
        Partikel& record = spiral->partikel[i];
        record.start[1] = std::max(record.start[1] - dt * SPIRAL_SINK_RATE, 0.0f);
        record.colorR = std::max(record.colorR - dt, SPIRAL_FLOOR_RED);
        record.colorA = std::max(record.colorA - dt, SPIRAL_FLOOR_ALPHA);
        record.colorB = std::max(record.colorB - dt, SPIRAL_FLOOR_BLUE);
        record.colorG = std::max(record.colorG - dt, SPIRAL_FLOOR_GREEN);

        PartikelVertex& vertex = spiral->vertices[i];
        vertex.x = *spiral->externX + record.start[0];
        vertex.y = *spiral->externY + record.start[1];
        vertex.z = *spiral->externZ + record.start[2];
        vertex.color = FloatColor(record);
        vertex.pointSize = FORMATION_POINT_SIZE;
    }
    return true;
}
