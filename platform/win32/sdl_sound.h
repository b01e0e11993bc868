// Sound playback through SDL2 audio for PlaySoundA: WAV files decoded and converted to the device's
// format, queued without blocking; a new sound replaces the one still playing.
#pragma once

#include "win32/mmsystem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The device format every sound is converted to.
constexpr int SOUND_RATE = 44100;
constexpr int SOUND_CHANNELS = 2;

// Decodes a WAV file (PCM 8 or 16 bit, mono or stereo, 2000 to 768000 Hz) into interleaved signed 16-bit
// samples at SOUND_RATE with SOUND_CHANNELS. False with a reason for a missing, oversized, damaged or
// unsupported file; sizes the file claims are checked against what it holds before decoding.
bool DecodeWaveFile(const std::string& path, std::vector<int16_t>* samples, std::string* error);

// The short sound played in place of a file that cannot be played.
std::vector<int16_t> DefaultSoundSamples();

// A backend that plays through the default audio device; null when there is none (the reason in
// `error`): PlaySoundA then stays silent and only records.
std::unique_ptr<SoundBackend> CreateSdlSoundBackend(std::string* error);

} // namespace platform
