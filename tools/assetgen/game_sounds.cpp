// The game's four sounds, synthesised: a soft pop when a group is removed, a slide when columns
// close, a falling three-note phrase when no move is left, and a bright chime at the stage target.
#include "asset_registry.h"
#include "image_writers.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {

constexpr int SAMPLE_RATE = 22050;
constexpr double PI = 3.14159265358979323846;

class SoundBuilder {
public:
    explicit SoundBuilder(double seconds) : mix(static_cast<size_t>(seconds * SAMPLE_RATE), 0.0) {}

    // A tone from `start` for `length` seconds, its pitch gliding from `from` to `to` Hz, with a short
    // attack and an exponential decay; `harmonics` adds bell-like overtones.
    void Tone(double start, double length, double from, double to, double volume, double decay,
              double harmonics = 0.0) {
        size_t first = static_cast<size_t>(start * SAMPLE_RATE);
        size_t count = static_cast<size_t>(length * SAMPLE_RATE);
        double phase = 0;
        for (size_t i = 0; i < count && first + i < mix.size(); ++i) {
            double t = double(i) / SAMPLE_RATE;
            double frequency = from + (to - from) * (t / length);
            phase += 2 * PI * frequency / SAMPLE_RATE;
            double envelope =
                std::min(1.0, t / 0.004) * std::exp(-t * decay) * std::min(1.0, (length - t) / 0.01);
            double value =
                std::sin(phase) + harmonics * (0.5 * std::sin(2 * phase) + 0.25 * std::sin(3.01 * phase));
            mix[first + i] += volume * envelope * value / (1 + harmonics * 0.75);
        }
    }

    // Noise through a one-pole low-pass whose cut-off sweeps, shaped by a rise and fall.
    void Whoosh(double start, double length, double volume) {
        size_t first = static_cast<size_t>(start * SAMPLE_RATE);
        size_t count = static_cast<size_t>(length * SAMPLE_RATE);
        uint32_t noise = 12345;
        double low = 0;
        for (size_t i = 0; i < count && first + i < mix.size(); ++i) {
            double t = double(i) / count;
            noise = noise * 1103515245u + 12345u;
            double white = ((noise >> 9) & 0xffff) / 32768.0 - 1.0;
            double cutoff = 0.02 + 0.25 * std::sin(PI * t);
            low += cutoff * (white - low);
            mix[first + i] += volume * std::sin(PI * t) * low * 2.5;
        }
    }

    std::vector<int16_t> Samples() const {
        std::vector<int16_t> samples(mix.size());
        for (size_t i = 0; i < mix.size(); ++i) {
            samples[i] = static_cast<int16_t>(std::clamp(mix[i], -1.0, 1.0) * 32000);
        }
        return samples;
    }

private:
    std::vector<double> mix;
};

void WriteGameSounds(const std::filesystem::path& run) {
    SoundBuilder pop(0.16);
    pop.Tone(0, 0.15, 720, 300, 0.7, 28);
    pop.Tone(0, 0.05, 1500, 900, 0.2, 60);
    WriteWav(run / "8QX00036.wav", pop.Samples(), SAMPLE_RATE);

    SoundBuilder slide(0.32);
    slide.Whoosh(0, 0.3, 0.55);
    slide.Tone(0, 0.3, 210, 120, 0.35, 7);
    WriteWav(run / "8SX00040.wav", slide.Samples(), SAMPLE_RATE);

    SoundBuilder noMoves(0.95);
    const double falling[3] = {523.25, 440.0, 349.23};
    for (int i = 0; i < 3; ++i) {
        noMoves.Tone(i * 0.22, i == 2 ? 0.5 : 0.24, falling[i], falling[i] * 0.99, 0.5, 5, 0.6);
    }
    WriteWav(run / "8SX00030.wav", noMoves.Samples(), SAMPLE_RATE);

    SoundBuilder chime(0.9);
    const double rising[4] = {523.25, 659.25, 783.99, 1046.5};
    for (int i = 0; i < 4; ++i) {
        chime.Tone(i * 0.09, i == 3 ? 0.6 : 0.3, rising[i], rising[i], 0.42, i == 3 ? 5 : 9, 1.0);
    }
    WriteWav(run / "8SX00057.wav", chime.Samples(), SAMPLE_RATE);
}

} // namespace

ASSETGEN_REGISTER(game_sounds, WriteGameSounds);

} // namespace assetgen
