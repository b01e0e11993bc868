// The protocol of a particle update strategy: once per frame a system hands itself to each of its
// strategies, which emit particles into free records, move the live ones and write their vertices.
// The base does nothing; it also holds the arithmetic the strategies share.
#pragma once

#include "core/velkora_api.h"
#include "win32/windows_base.h"

class stdPartikelSystem;
class PartStatusBar;

class VELKORA_API StdPartikelUpdateClass {
public:
    StdPartikelUpdateClass() = default;
    StdPartikelUpdateClass(const StdPartikelUpdateClass&) = delete;
    StdPartikelUpdateClass& operator=(const StdPartikelUpdateClass&) = delete;

    // `system` is the stdPartikelSystem that owns the strategy.
    virtual bool Update(void* system);
    virtual ~StdPartikelUpdateClass();

protected:
    virtual bool CreateNewPartikel(void* system);
    virtual bool UpdatePartikel(void* system);

    // Degrees to radians as the strategies compute it (3.141592 / 180).
    static constexpr double DEGREE_TO_RADIAN = 0.01745328888888889;

    // A lifetime between the system's minimum and maximum, drawn with one rand() call. The product
    // is taken in 64 bits so long ranges do not wrap; a maximum below the minimum gives the minimum.
    static DWORD DrawPartikelLife(const stdPartikelSystem& system);
    // The part of a lifetime that has passed, 0..1. A lifetime of 0 counts as over (1) rather than
    // dividing 0 by 0.
    static float LifeFraction(DWORD age, DWORD life);
    // The system's start colour moved towards its end colour by `t`, as ARGB.
    static DWORD InterpolateColor(const stdPartikelSystem& system, float t);
    // True when all three followed-position pointers are set.
    static bool HasExternPosition(const stdPartikelSystem& system);
    static bool HasExternPosition1(const stdPartikelSystem& system);
};
