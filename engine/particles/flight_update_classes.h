// The strategies whose particles fly in a straight line from the followed position to a target and
// fade from the start colour to the end colour: the radial emitter, which reuses expired records, and
// the two burst emitters, which show each record once.
#pragma once

#include "particles/std_partikel_update_class.h"

struct Partikel;

// What the three flight strategies share: their two fields, emission and the per-frame flight.
class FlightUpdateClass : public StdPartikelUpdateClass {
public:
    // Emits and moves; true (no caller reads the result).
    bool Update(void* system) override;

    DWORD counter;
    DWORD lastTime;

protected:
    enum class Expiry { FreeRecord, KeepRecord };

    explicit FlightUpdateClass(DWORD initialCounter);
    // Aims a freshly taken record: fills its target from its start.
    virtual void Aim(const stdPartikelSystem& system, Partikel& record) = 0;
    // True once a twentieth of the system lifetime has passed since the last emission.
    bool IntervalElapsed(const stdPartikelSystem& system) const;
    // Takes free records from index 0 upwards, `quota` of them but at least one.
    void Emit(stdPartikelSystem& system, int quota);
    // Moves, colours and writes the live records; expired ones are freed or kept per `expiry`.
    bool Fly(void* system, float pointSize, Expiry expiry);
    // The system with the followed positions this strategy reads, or null when any is missing.
    stdPartikelSystem* FlyingSystem(void* system, bool needsSecondPosition) const;
};

// Emits a fifth of the pool every twentieth of the system lifetime towards a circle around the
// followed position.
class RadialUpdateClass : public FlightUpdateClass {
public:
    RadialUpdateClass();
    ~RadialUpdateClass() override;

protected:
    bool CreateNewPartikel(void* system) override;
    bool UpdatePartikel(void* system) override;
    void Aim(const stdPartikelSystem& system, Partikel& record) override;
};

// Emits a twentieth of the pool every twentieth of the system lifetime towards points scattered
// around the second followed position; expired records are not emitted again.
class BurstUpdateClass : public FlightUpdateClass {
public:
    BurstUpdateClass();
    ~BurstUpdateClass() override;

protected:
    bool CreateNewPartikel(void* system) override;
    bool UpdatePartikel(void* system) override;
    void Aim(const stdPartikelSystem& system, Partikel& record) override;
};

// As BurstUpdateClass, but two records at every update and small points.
class BurstUpdateClass2 : public FlightUpdateClass {
public:
    BurstUpdateClass2();
    ~BurstUpdateClass2() override;

protected:
    bool CreateNewPartikel(void* system) override;
    bool UpdatePartikel(void* system) override;
    void Aim(const stdPartikelSystem& system, Partikel& record) override;
};
