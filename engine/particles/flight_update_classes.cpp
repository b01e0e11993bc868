// Radial and burst strategies: interval and quota emission, straight flight relative to the moving
// followed position, and colour interpolation over each particle's life.
#include "particles/flight_update_classes.h"

#include "particles/partikel_system.h"
#include "win32/mmsystem.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr float FLIGHT_POINT_SIZE = 15.0f;
constexpr float BURST2_POINT_SIZE = 3.0f;

// Burst targets scatter around the second followed position by up to the radius per axis, only in
// the positive direction, drawn in the order x, z, y.
void AimBurst(const stdPartikelSystem& system, Partikel& record) {
    const float radius = system.radius;
    record.target[0] = static_cast<float>(*system.extern1X + rand() * radius / 32767.0);
    record.target[2] = static_cast<float>(*system.extern1Z + rand() * radius / 32767.0);
    record.target[1] = static_cast<float>(*system.extern1Y + rand() * radius / 32767.0);
}

} // namespace

FlightUpdateClass::FlightUpdateClass(DWORD initialCounter)
    : counter(initialCounter), lastTime(timeGetTime()) {}

bool FlightUpdateClass::Update(void* system) {
    CreateNewPartikel(system);
    UpdatePartikel(system);
    return true;
}

stdPartikelSystem* FlightUpdateClass::FlyingSystem(void* system, bool needsSecondPosition) const {
    auto* flying = static_cast<stdPartikelSystem*>(system);
    if (flying == nullptr || !HasExternPosition(*flying)) {
        return nullptr;
    }
    if (needsSecondPosition && !HasExternPosition1(*flying)) {
        return nullptr;
    }
    return flying;
}

bool FlightUpdateClass::IntervalElapsed(const stdPartikelSystem& system) const {
    const DWORD elapsed = timeGetTime() - lastTime;
    return !(system.systemLifeTime / 20.0 > static_cast<double>(elapsed));
}

void FlightUpdateClass::Emit(stdPartikelSystem& system, int quota) {
    for (int i = 0; i < system.particleCount; ++i) {
        Partikel& record = system.partikel[i];
        if (record.alive != 0) {
            continue;
        }
        record.alive = 1;
        record.start[0] = *system.externX;
        record.start[1] = *system.externY;
        record.start[2] = *system.externZ;
        Aim(system, record);
        for (int axis = 0; axis < 3; ++axis) {
            record.direction[axis] = record.target[axis] - record.start[axis];
        }
        record.life = DrawPartikelLife(system);
        record.birth = timeGetTime();
        if (--quota <= 0) {
            break;
        }
    }
}

bool FlightUpdateClass::Fly(void* system, float pointSize, Expiry expiry) {
    stdPartikelSystem* flying = FlyingSystem(system, false);
    if (flying == nullptr) {
        return false;
    }
    int live = 0;
    for (int i = 0; i < flying->particleCount; ++i) {
        Partikel& record = flying->partikel[i];
        if (record.alive != 1) {
            continue;
        }
        const DWORD age = timeGetTime() - record.birth;
        if (age > record.life) {
            if (expiry == Expiry::FreeRecord) {
                record.alive = 0;
            }
            continue;
        }
        const float t = LifeFraction(age, record.life);
        PartikelVertex& vertex = flying->vertices[live];
        vertex.x = *flying->externX + t * record.direction[0];
        vertex.y = *flying->externY + t * record.direction[1];
        vertex.z = *flying->externZ + t * record.direction[2];
        vertex.pointSize = pointSize;
        vertex.color = InterpolateColor(*flying, t);
        ++live;
    }
    flying->liveCount = live;
    return true;
}

RadialUpdateClass::RadialUpdateClass() : FlightUpdateClass(timeGetTime()) {}

RadialUpdateClass::~RadialUpdateClass() = default;

bool RadialUpdateClass::CreateNewPartikel(void* system) {
    stdPartikelSystem* flying = FlyingSystem(system, false);
    if (flying == nullptr) {
        return false;
    }
    if (!IntervalElapsed(*flying)) {
        return true;
    }
    lastTime = timeGetTime();
    Emit(*flying, flying->particleCount / 5);
    return true;
}

void RadialUpdateClass::Aim(const stdPartikelSystem& system, Partikel& record) {
    const int degrees = rand() * 360 / 32767;
    const double radians = degrees * DEGREE_TO_RADIAN;
    const auto s = static_cast<float>(std::sin(radians));
    const auto c = static_cast<float>(std::cos(radians));
    // The jitter is an integer division: 0, or 1 when the generator returns 32767.
    record.target[0] = record.start[0] + s * system.radius + static_cast<float>(rand() / 32767);
    record.target[2] = record.start[2] + c * system.radius + static_cast<float>(rand() / 32767);
    record.target[1] = record.start[1] + s * system.radius + static_cast<float>(rand() / 32767);
}

bool RadialUpdateClass::UpdatePartikel(void* system) {
    return Fly(system, FLIGHT_POINT_SIZE, Expiry::FreeRecord);
}

BurstUpdateClass::BurstUpdateClass() : FlightUpdateClass(timeGetTime()) {}

BurstUpdateClass::~BurstUpdateClass() = default;

bool BurstUpdateClass::CreateNewPartikel(void* system) {
    stdPartikelSystem* flying = FlyingSystem(system, true);
    if (flying == nullptr) {
        return false;
    }
    if (!IntervalElapsed(*flying)) {
        return true;
    }
    lastTime = timeGetTime();
    Emit(*flying, flying->particleCount / 20);
    return true;
}

void BurstUpdateClass::Aim(const stdPartikelSystem& system, Partikel& record) {
    AimBurst(system, record);
}

bool BurstUpdateClass::UpdatePartikel(void* system) {
    return Fly(system, FLIGHT_POINT_SIZE, Expiry::KeepRecord);
}

BurstUpdateClass2::BurstUpdateClass2() : FlightUpdateClass(timeGetTime()) {}

BurstUpdateClass2::~BurstUpdateClass2() = default;

bool BurstUpdateClass2::CreateNewPartikel(void* system) {
    stdPartikelSystem* flying = FlyingSystem(system, true);
    if (flying == nullptr) {
        return false;
    }
    lastTime = timeGetTime();
    Emit(*flying, 2);
    return true;
}

void BurstUpdateClass2::Aim(const stdPartikelSystem& system, Partikel& record) {
    AimBurst(system, record);
}

bool BurstUpdateClass2::UpdatePartikel(void* system) {
    return Fly(system, BURST2_POINT_SIZE, Expiry::KeepRecord);
}
