// The do-nothing base strategy and the arithmetic shared by the strategies.
#include "particles/std_partikel_update_class.h"

#include "particles/partikel_system.h"

#include <cstdint>
#include <cstdlib>

StdPartikelUpdateClass::~StdPartikelUpdateClass() = default;

bool StdPartikelUpdateClass::Update(void*) {
    return true;
}

bool StdPartikelUpdateClass::CreateNewPartikel(void*) {
    return true;
}

bool StdPartikelUpdateClass::UpdatePartikel(void*) {
    return true;
}

DWORD StdPartikelUpdateClass::DrawPartikelLife(const stdPartikelSystem& system) {
    const DWORD minimum = system.partikelLifeMin;
    const DWORD range = system.partikelLifeMax > minimum ? system.partikelLifeMax - minimum : 0;
    const uint64_t offset = static_cast<uint64_t>(rand()) * range / 32767u;
    return minimum + static_cast<DWORD>(offset);
}

float StdPartikelUpdateClass::LifeFraction(DWORD age, DWORD life) {
    if (life == 0) {
        return 1.0f;
    }
    return static_cast<float>((1.0 / life) * age);
}

DWORD StdPartikelUpdateClass::InterpolateColor(const stdPartikelSystem& system, float t) {
    const auto channel = [t](int32_t start, int32_t end) {
        // 64-bit so that colours far outside 0..255 cannot overflow; only the low byte is kept.
        const float step = static_cast<float>(static_cast<int64_t>(end) - start) * t;
        const int64_t value = start + static_cast<int64_t>(step);
        return static_cast<DWORD>(value) & 255u;
    };
    const DWORD a = channel(system.startColorA, system.endColorA);
    const DWORD r = channel(system.startColorR, system.endColorR);
    const DWORD g = channel(system.startColorG, system.endColorG);
    const DWORD b = channel(system.startColorB, system.endColorB);
    return (a << 24) | (r << 16) | (g << 8) | b;
}

bool StdPartikelUpdateClass::HasExternPosition(const stdPartikelSystem& system) {
    return system.externX != nullptr && system.externY != nullptr && system.externZ != nullptr;
}

bool StdPartikelUpdateClass::HasExternPosition1(const stdPartikelSystem& system) {
    return system.extern1X != nullptr && system.extern1Y != nullptr && system.extern1Z != nullptr;
}
