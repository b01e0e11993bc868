// PlaySoundA: records every call, then hands the sound to the installed backend.
#include "win32/file_access.h"
#include "win32/mmsystem.h"

namespace platform {

namespace {

class RecordingOnlyBackend : public SoundBackend {
public:
    void Play(const std::string&) override {}
    void Stop() override {}
};

struct SoundState {
    std::unique_ptr<SoundBackend> backend = std::make_unique<RecordingOnlyBackend>();
    std::vector<std::string> trace;
};

SoundState& Sound() {
    static SoundState state;
    return state;
}

} // namespace

void SetSoundBackend(std::unique_ptr<SoundBackend> backend) {
    Sound().backend = backend ? std::move(backend) : std::make_unique<RecordingOnlyBackend>();
}

std::vector<std::string> SoundTrace() {
    return Sound().trace;
}

void ClearSoundTrace() {
    Sound().trace.clear();
}

} // namespace platform

BOOL PlaySoundA(LPCSTR sound, HMODULE, DWORD flags) {
    auto& state = platform::Sound();
    if (!sound || (flags & SND_PURGE)) {
        state.backend->Stop();
        return TRUE;
    }
    state.trace.emplace_back(sound);
    state.backend->Play((flags & SND_FILENAME) ? platform::ToHostPath(sound) : std::string());
    return TRUE;
}
