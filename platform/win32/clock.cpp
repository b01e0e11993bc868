// timeGetTime: a monotonic millisecond clock that tests can stop, set and advance.
#include "win32/mmsystem.h"

#include <chrono>

namespace {

struct ClockState {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    bool manual = false;
    DWORD manualValue = 0;
};

ClockState& Clock() {
    static ClockState clock;
    return clock;
}

} // namespace

DWORD timeGetTime() {
    ClockState& clock = Clock();
    if (clock.manual) {
        return clock.manualValue;
    }
    auto elapsed = std::chrono::steady_clock::now() - clock.start;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<DWORD>(static_cast<uint64_t>(ms));
}

namespace platform {

void SetClockForTesting(DWORD milliseconds) {
    Clock().manual = true;
    Clock().manualValue = milliseconds;
}

void AdvanceClockForTesting(DWORD milliseconds) {
    if (!Clock().manual) {
        SetClockForTesting(timeGetTime());
    }
    Clock().manualValue += milliseconds;
}

void ResumeRealClock() {
    Clock().manual = false;
}

} // namespace platform
