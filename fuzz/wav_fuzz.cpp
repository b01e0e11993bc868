// Fuzzes the WAV reader of the sound playback: any file either decodes to whole sample frames or is
// refused with a reason.
#include "fuzz_input_file.h"
#include "win32/sdl_sound.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzzing::WriteInputFile(data, size, "sound.wav");
    std::vector<int16_t> samples;
    std::string error;
    if (platform::DecodeWaveFile(path, &samples, &error)) {
        if (samples.size() % platform::SOUND_CHANNELS != 0) {
            std::abort();
        }
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
