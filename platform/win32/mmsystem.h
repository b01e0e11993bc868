// The multimedia calls: the millisecond clock and sound playback.
#pragma once

#include "win32/windows_base.h"

#include <memory>
#include <string>
#include <vector>

#define SND_SYNC 0x0000
#define SND_ASYNC 0x0001
#define SND_NODEFAULT 0x0002
#define SND_MEMORY 0x0004
#define SND_LOOP 0x0008
#define SND_NOSTOP 0x0010
#define SND_PURGE 0x0040
#define SND_FILENAME 0x00020000

// Milliseconds since the clock started, unsigned 32-bit, wrapping at 2^32. Monotonic.
DWORD timeGetTime();

// Plays a WAV file without blocking; a new call cuts off the sound still playing. The call is always
// recorded in the sound trace, whatever the backend does with it.
BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);

namespace platform {

// Test control of the clock: once set, the clock stands still until advanced or set again.
void SetClockForTesting(DWORD milliseconds);
void AdvanceClockForTesting(DWORD milliseconds);
void ResumeRealClock();

// Where PlaySoundA sends its sounds. The default backend only records; the window system installs
// one that really plays.
class SoundBackend {
public:
    virtual ~SoundBackend() = default;
    // `hostPath` is the file's path on this system; empty when the call named no file.
    virtual void Play(const std::string& hostPath) = 0;
    virtual void Stop() = 0;
};
void SetSoundBackend(std::unique_ptr<SoundBackend> backend);

// The file names given to PlaySoundA, in the order of the calls (as the caller wrote them).
std::vector<std::string> SoundTrace();
void ClearSoundTrace();

} // namespace platform
