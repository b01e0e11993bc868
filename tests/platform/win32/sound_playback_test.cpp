// Sound playback: WAV files written here decoded to the device format (8 and 16 bit, mono and stereo,
// other rates), unreadable files refused so that the default sound plays, and PlaySoundA through the
// SDL backend on SDL's silent driver.
#include "support/test_files.h"
#include "win32/mmsystem.h"
#include "win32/sdl_sound.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

void Put16(std::vector<uint8_t>& bytes, uint32_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& bytes, uint32_t value) {
    Put16(bytes, value & 0xffff);
    Put16(bytes, value >> 16);
}

std::vector<uint8_t> Wave(int rate, int channels, int bits, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes = {'R', 'I', 'F', 'F'};
    Put32(bytes, static_cast<uint32_t>(36 + data.size()));
    for (char c : std::string("WAVEfmt ")) {
        bytes.push_back(static_cast<uint8_t>(c));
    }
    Put32(bytes, 16);
    Put16(bytes, 1); // PCM
    Put16(bytes, static_cast<uint32_t>(channels));
    Put32(bytes, static_cast<uint32_t>(rate));
    Put32(bytes, static_cast<uint32_t>(rate * channels * bits / 8));
    Put16(bytes, static_cast<uint32_t>(channels * bits / 8));
    Put16(bytes, static_cast<uint32_t>(bits));
    for (char c : std::string("data")) {
        bytes.push_back(static_cast<uint8_t>(c));
    }
    Put32(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

} // namespace

TEST(SoundDecoding, SixteenBitStereoAtTheDeviceRateIsKeptAsItIs) {
    testing_support::TemporaryFolder folder;
    std::vector<uint8_t> data;
    for (int i = 0; i < 100; ++i) {
        Put16(data, static_cast<uint32_t>(static_cast<uint16_t>(i * 100)));  // left
        Put16(data, static_cast<uint32_t>(static_cast<uint16_t>(-i * 100))); // right
    }
    testing_support::WriteFile(folder / "a.wav", Wave(44100, 2, 16, data));
    std::vector<int16_t> samples;
    std::string error;
    ASSERT_TRUE(platform::DecodeWaveFile((folder / "a.wav").string(), &samples, &error)) << error;
    ASSERT_EQ(samples.size(), 200u);
    EXPECT_EQ(samples[2 * 50], 5000);
    EXPECT_EQ(samples[2 * 50 + 1], -5000);
}

TEST(SoundDecoding, EightBitMonoAtHalfRateIsWidenedToStereoAndResampled) {
    testing_support::TemporaryFolder folder;
    std::vector<uint8_t> data(2205, 0xC0); // a tenth of a second at +64 of 128
    testing_support::WriteFile(folder / "b.wav", Wave(22050, 1, 8, data));
    std::vector<int16_t> samples;
    std::string error;
    ASSERT_TRUE(platform::DecodeWaveFile((folder / "b.wav").string(), &samples, &error)) << error;
    size_t frames = samples.size() / 2;
    EXPECT_NEAR(static_cast<double>(frames), 4410.0, 64.0);
    EXPECT_NEAR(samples[2000], 16384, 512);
    EXPECT_EQ(samples[2000], samples[2001]); // both channels
}

TEST(SoundDecoding, MissingOrDamagedFilesAreRefused) {
    testing_support::TemporaryFolder folder;
    std::vector<int16_t> samples;
    std::string error;
    EXPECT_FALSE(platform::DecodeWaveFile((folder / "missing.wav").string(), &samples, &error));
    EXPECT_FALSE(error.empty());
    std::vector<uint8_t> truncated = Wave(22050, 1, 8, std::vector<uint8_t>(100, 0x80));
    truncated.resize(30);
    testing_support::WriteFile(folder / "short.wav", truncated);
    EXPECT_FALSE(platform::DecodeWaveFile((folder / "short.wav").string(), &samples, &error));
    testing_support::WriteFile(folder / "text.wav", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_FALSE(platform::DecodeWaveFile((folder / "text.wav").string(), &samples, &error));
}

TEST(SoundDecoding, DefaultSoundIsShortAndAudible) {
    std::vector<int16_t> samples = platform::DefaultSoundSamples();
    ASSERT_FALSE(samples.empty());
    EXPECT_LT(samples.size(), static_cast<size_t>(platform::SOUND_RATE * platform::SOUND_CHANNELS));
    int loudest = 0;
    for (int16_t sample : samples) {
        loudest = std::max(loudest, std::abs(static_cast<int>(sample)));
    }
    EXPECT_GT(loudest, 1000);
}

TEST(SoundPlayback, PlaysThroughSdlAndIsStillTraced) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string error;
    auto backend = platform::CreateSdlSoundBackend(&error);
    if (!backend) {
        GTEST_SKIP() << "SDL has no dummy audio driver here: " << error;
    }
    platform::SetSoundBackend(std::move(backend));
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "c.wav", Wave(11025, 1, 8, std::vector<uint8_t>(1000, 0x90)));
    platform::ClearSoundTrace();
    std::string path = (folder / "c.wav").string();
    EXPECT_TRUE(PlaySoundA(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC));
    EXPECT_TRUE(PlaySoundA("nothing-here.wav", nullptr, SND_FILENAME | SND_ASYNC)); // the default sound
    EXPECT_TRUE(PlaySoundA(nullptr, nullptr, SND_PURGE));
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{path, "nothing-here.wav"}));
    platform::SetSoundBackend(nullptr);
}
