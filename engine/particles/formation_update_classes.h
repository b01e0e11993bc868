// The strategies that place the whole pool at once in a fixed formation: the ring, which expands once
// over the system lifetime around the fixed position, and the spiral, a rising circle that follows the
// followed position, sinks and dims while one record after another flashes white.
#pragma once

#include "particles/std_partikel_update_class.h"

class RingUpdateClass : public StdPartikelUpdateClass {
public:
    RingUpdateClass();
    ~RingUpdateClass() override;
    bool Update(void* system) override;

    DWORD counter;
    DWORD lastTime;

protected:
    bool CreateNewPartikel(void* system) override;
    // False once the ring's lifetime has passed (the live count is then 0).
    bool UpdatePartikel(void* system) override;
};

class SpiralUpdateClass : public StdPartikelUpdateClass {
public:
    SpiralUpdateClass();
    ~SpiralUpdateClass() override;
    bool Update(void* system) override;

    // Number of the record lit last; record 0 is never lit.
    DWORD counter;
    // Clock reading of the last update; the sinking and dimming go by the time since.
    DWORD lastTime;

protected:
    bool CreateNewPartikel(void* system) override;
    bool UpdatePartikel(void* system) override;
};
