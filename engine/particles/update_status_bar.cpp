// The status-bar strategy: a fixed row of points whose colours follow the shown value.
#include "particles/update_status_bar.h"

#include "particles/partikel_system.h"
#include "win32/mmsystem.h"

#include <cmath>

namespace {

constexpr float BAR_POINT_SIZE = 5.0f;

PartStatusBar* AsStatusBar(void* system) {
    return dynamic_cast<PartStatusBar*>(static_cast<stdPartikelSystem*>(system));
}

} // namespace

UpdateStatusBar::UpdateStatusBar() : counter(0), lastTime(timeGetTime()) {}

UpdateStatusBar::~UpdateStatusBar() = default;

bool UpdateStatusBar::Update(void* system) {
    CreateNewPartikel(system);
    UpdatePartikel(system);
    return true;
}

int UpdateStatusBar::LitPoints(int count, float maximum, float current) {
    if (!(maximum > 0.0f) || count <= 0) {
        return 0;
    }
    const float lit = static_cast<float>(count) / maximum * current;
    if (!(lit > 0.0f)) {
        return 0;
    }
    if (lit >= static_cast<float>(count)) {
        return count;
    }
    return static_cast<int>(lit);
}

bool UpdateStatusBar::CreateNewPartikel(void* system) {
    PartStatusBar* bar = AsStatusBar(system);
    if (bar == nullptr) {
        return false;
    }
    const double step = static_cast<double>(bar->barWidth) / bar->particleCount;
    for (int i = 0; i < bar->particleCount; ++i) {
        Partikel& record = bar->partikel[i];
        if (record.alive != 0) {
            continue;
        }
        record.alive = 1;
        record.start[0] = static_cast<float>(-bar->barWidth / 2.0 + i * step);
        record.start[1] = bar->barYOffset;
        record.start[2] = 0.0f;
    }
    bar->liveCount = bar->particleCount;
    return true;
}

bool UpdateStatusBar::UpdatePartikel(void* system) {
    PartStatusBar* bar = AsStatusBar(system);
    if (bar == nullptr || bar->maximumValue == nullptr || bar->currentValue == nullptr ||
        !HasExternPosition(*bar)) {
        return false;
    }
    const float maximum = *bar->maximumValue;
    const float current = *bar->currentValue;
    const int lit = LitPoints(bar->particleCount, maximum, current);

    DWORD litColor = HIGH_COLOR;
    if (current < (maximum / 3.0) * 2) {
        litColor = LOW_COLOR;
    } else if (current < (maximum / 4.0) * 3.0) {
        litColor = MIDDLE_COLOR;
    }

    for (int i = 0; i < bar->particleCount; ++i) {
        const Partikel& record = bar->partikel[i];
        PartikelVertex& vertex = bar->vertices[i];
        vertex.x = *bar->externX + record.start[0];
        vertex.y = *bar->externY + record.start[1];
        vertex.z = *bar->externZ + record.start[2];
        vertex.color = i < lit ? litColor : UNLIT_COLOR;
        // Every point gets its size, lit or not: a red or yellow point that kept the size of a
        // fresh vertex (0) would never show.
        vertex.pointSize = BAR_POINT_SIZE;
    }
    return true;
}
