// SDL2 audio for PlaySoundA: a device that plays the latest sound (decoded by wave_decoder.cpp), and
// the default sound played in place of a file that cannot be played.
#include "win32/sdl_sound.h"

#include <SDL.h>
#include <cmath>
#include <filesystem>
#include <map>

namespace platform {

namespace {

constexpr int DEFAULT_SOUND_MS = 120;
constexpr double DEFAULT_SOUND_HZ = 880.0;

class SdlSoundBackend : public SoundBackend {
public:
    explicit SdlSoundBackend(SDL_AudioDeviceID device) : device(device) {}

    ~SdlSoundBackend() override {
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    void Play(const std::string& hostPath) override {
        const std::vector<int16_t>& samples = Samples(hostPath);
        SDL_ClearQueuedAudio(device);
        SDL_QueueAudio(device, samples.data(), static_cast<Uint32>(samples.size() * sizeof(int16_t)));
        SDL_PauseAudioDevice(device, 0);
    }

    void Stop() override { SDL_ClearQueuedAudio(device); }

private:
    struct CachedSound {
        std::filesystem::file_time_type modified;
        uintmax_t size = 0;
        std::vector<int16_t> samples;
    };

    // Decoded sounds are kept while their file stays unchanged: the game plays the same few often.
    const std::vector<int16_t>& Samples(const std::string& hostPath) {
        std::error_code error;
        auto modified = std::filesystem::last_write_time(hostPath, error);
        uintmax_t size = error ? 0 : std::filesystem::file_size(hostPath, error);
        if (!error && !hostPath.empty()) {
            auto it = cache.find(hostPath);
            if (it != cache.end() && it->second.modified == modified && it->second.size == size) {
                return it->second.samples;
            }
            CachedSound sound;
            std::string reason;
            if (DecodeWaveFile(hostPath, &sound.samples, &reason)) {
                sound.modified = modified;
                sound.size = size;
                return (cache[hostPath] = std::move(sound)).samples;
            }
        }
        if (defaultSound.empty()) {
            defaultSound = DefaultSoundSamples();
        }
        return defaultSound;
    }

    SDL_AudioDeviceID device;
    std::map<std::string, CachedSound> cache;
    std::vector<int16_t> defaultSound;
};

} // namespace

std::vector<int16_t> DefaultSoundSamples() {
    int frames = SOUND_RATE * DEFAULT_SOUND_MS / 1000;
    std::vector<int16_t> samples(static_cast<size_t>(frames) * SOUND_CHANNELS);
    for (int i = 0; i < frames; ++i) {
        double fade = 1.0 - static_cast<double>(i) / frames;
        double value = std::sin(2.0 * M_PI * DEFAULT_SOUND_HZ * i / SOUND_RATE) * fade * 8000.0;
        for (int c = 0; c < SOUND_CHANNELS; ++c) {
            samples[static_cast<size_t>(i) * SOUND_CHANNELS + c] = static_cast<int16_t>(value);
        }
    }
    return samples;
}

std::unique_ptr<SoundBackend> CreateSdlSoundBackend(std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (error) {
            *error = SDL_GetError();
        }
        return nullptr;
    }
    SDL_AudioSpec wanted = {};
    wanted.freq = SOUND_RATE;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = SOUND_CHANNELS;
    wanted.samples = 1024;
    SDL_AudioSpec obtained = {};
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        if (error) {
            *error = SDL_GetError();
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    return std::make_unique<SdlSoundBackend>(device);
}

} // namespace platform
