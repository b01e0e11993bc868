// The status-bar strategy: a row of points under the followed position whose first points light up in
// proportion to a shown value against its maximum, red, yellow or green by how full the bar is.
#pragma once

#include "particles/std_partikel_update_class.h"

class VELKORA_API UpdateStatusBar : public StdPartikelUpdateClass {
public:
    UpdateStatusBar();
    ~UpdateStatusBar() override;
    bool Update(void* system) override;

    DWORD counter;
    DWORD lastTime;

    // Colours of the points: unlit, and lit below two thirds, below three quarters, and above.
    static constexpr DWORD UNLIT_COLOR = 0x64646464;
    static constexpr DWORD LOW_COLOR = 0x64C86464;
    static constexpr DWORD MIDDLE_COLOR = 0x64C8C864;
    static constexpr DWORD HIGH_COLOR = 0x6464C864;

    // How many of `count` points a value lights: count / maximum * current, cut toward zero, kept
    // within 0..count; none when the maximum is not positive or the value is not a number.
    static int LitPoints(int count, float maximum, float current);

protected:
    // Needs a PartStatusBar; any other system is left alone (false).
    bool CreateNewPartikel(void* system) override;
    bool UpdatePartikel(void* system) override;
};
