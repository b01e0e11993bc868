// Sound playback: WAV files written here decoded to the device format (8 and 16 bit, mono and stereo,
// other rates), unreadable files refused so that the default sound plays, and PlaySoundA through the
// SDL backend on SDL's silent driver.
#include "allocation_tracking.h"
#include "support/test_files.h"
#include "win32/mmsystem.h"
#include "win32/sdl_sound.h"

#include <cstdlib>
#include <filesystem>
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

void PutText(std::vector<uint8_t>& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

struct Decoded {
    bool ok = false;
    std::vector<int16_t> samples;
    std::string error;
};

Decoded Decode(const std::vector<uint8_t>& bytes) {
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "t.wav", bytes);
    Decoded result;
    result.ok = platform::DecodeWaveFile((folder / "t.wav").string(), &result.samples, &result.error);
    return result;
}

// A format chunk with the given fields; `size` 16 for plain PCM.
std::vector<uint8_t> FormatChunk(uint16_t tag, int channels, int rate, int blockAlign, int bits) {
    std::vector<uint8_t> chunk;
    PutText(chunk, "fmt ");
    Put32(chunk, 16);
    Put16(chunk, tag);
    Put16(chunk, static_cast<uint32_t>(channels));
    Put32(chunk, static_cast<uint32_t>(rate));
    Put32(chunk, static_cast<uint32_t>(rate * blockAlign));
    Put16(chunk, static_cast<uint32_t>(blockAlign));
    Put16(chunk, static_cast<uint32_t>(bits));
    return chunk;
}

// "RIFF" with the right size around the given chunks.
std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& chunks) {
    std::vector<uint8_t> body;
    PutText(body, "WAVE");
    for (const auto& chunk : chunks) {
        body.insert(body.end(), chunk.begin(), chunk.end());
    }
    std::vector<uint8_t> bytes;
    PutText(bytes, "RIFF");
    Put32(bytes, static_cast<uint32_t>(body.size()));
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

std::vector<uint8_t> DataChunk(uint32_t claimed, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> chunk;
    PutText(chunk, "data");
    Put32(chunk, claimed);
    chunk.insert(chunk.end(), data.begin(), data.end());
    return chunk;
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

TEST(SoundDecoding, WaveWhoseDataChunkClaimsMoreThanTheFileHoldsIsRefusedBeforeAnyLargeAllocation) {
    // 14 kB of sound claiming three gigabytes.
    std::vector<uint8_t> bytes =
        Riff({FormatChunk(1, 1, 22050, 2, 16), DataChunk(14000, std::vector<uint8_t>(14000))});
    bytes[40] = 0x20;
    bytes[41] = 0x37;
    bytes[42] = 0x00;
    bytes[43] = 0xbc;
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "huge.wav", bytes);
    std::vector<int16_t> samples;
    std::string error;
    testing_support::AllocationTracker tracker;
    bool decoded = platform::DecodeWaveFile((folder / "huge.wav").string(), &samples, &error);
    EXPECT_FALSE(decoded);
    EXPECT_NE(error.find("\"data\" chunk claims 3154130720 bytes"), std::string::npos) << error;
    EXPECT_LT(tracker.Largest(), 64u * 1024u);

    // The same for the format chunk and for the RIFF chunk around them.
    std::vector<uint8_t> format = FormatChunk(1, 1, 22050, 2, 16);
    format[4] = 0xff;
    Decoded result = Decode(Riff({format, DataChunk(4, {0, 0, 0, 0})}));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("\"fmt \" chunk claims"), std::string::npos) << result.error;
    bytes = Riff({FormatChunk(1, 1, 22050, 2, 16), DataChunk(4, {0, 0, 0, 0})});
    bytes[4] += 1;
    result = Decode(bytes);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("RIFF"), std::string::npos) << result.error;
}

TEST(SoundDecoding, OversizedFilesAreRefusedUnread) {
    testing_support::TemporaryFolder folder;
    std::filesystem::path path = folder / "big.wav";
    testing_support::WriteFile(path, Wave(22050, 1, 16, {0, 0}));
    std::filesystem::resize_file(path, 64u * 1024u * 1024u + 1u); // sparse: quick to make
    std::vector<int16_t> samples;
    std::string error;
    testing_support::AllocationTracker tracker;
    EXPECT_FALSE(platform::DecodeWaveFile(path.string(), &samples, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_LT(tracker.Largest(), 64u * 1024u);
}

TEST(SoundDecoding, UnsupportedOrInconsistentFormatsAreRefusedWithAReason) {
    std::vector<uint8_t> data(64, 0x80);
    struct Case {
        const char* name;
        std::vector<uint8_t> format;
        const char* reason;
    };
    std::vector<Case> cases = {
        {"adpcm", FormatChunk(2, 1, 22050, 2, 16), "sample format 2"},
        {"24 bit", FormatChunk(1, 1, 22050, 3, 24), "24 bits"},
        {"no channels", FormatChunk(1, 0, 22050, 1, 8), "channel count 0"},
        {"three channels", FormatChunk(1, 3, 22050, 3, 8), "channel count 3"},
        {"rate zero", FormatChunk(1, 1, 0, 1, 8), "sample rate 0"},
        // A few bytes at a rate this low would decode to many megabytes.
        {"rate too low", FormatChunk(1, 1, 1999, 1, 8), "sample rate 1999"},
        {"rate too high", FormatChunk(1, 1, 768001, 1, 8), "sample rate 768001"},
        {"block size", FormatChunk(1, 2, 22050, 3, 16), "block size 3"},
    };
    for (const Case& c : cases) {
        Decoded result = Decode(Riff({c.format, DataChunk(64, data)}));
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_NE(result.error.find(c.reason), std::string::npos) << c.name << ": " << result.error;
    }
    Decoded tooLong = Decode(
        Riff({FormatChunk(1, 1, 2000, 1, 8), DataChunk(2000 * 600, std::vector<uint8_t>(2000 * 600))}));
    EXPECT_FALSE(tooLong.ok);
    EXPECT_NE(tooLong.error.find("longer than 600 seconds"), std::string::npos) << tooLong.error;
    Decoded noData = Decode(Riff({FormatChunk(1, 1, 22050, 1, 8)}));
    EXPECT_FALSE(noData.ok);
    EXPECT_NE(noData.error.find("no \"data\""), std::string::npos) << noData.error;
    Decoded noFormat = Decode(Riff({DataChunk(64, data)}));
    EXPECT_FALSE(noFormat.ok);
    EXPECT_NE(noFormat.error.find("no \"fmt \""), std::string::npos) << noFormat.error;
    std::vector<uint8_t> shortFormat = FormatChunk(1, 1, 22050, 1, 8);
    shortFormat[4] = 14;
    shortFormat.resize(8 + 14);
    Decoded cut = Decode(Riff({shortFormat, DataChunk(64, data)}));
    EXPECT_FALSE(cut.ok);
    EXPECT_NE(cut.error.find("too short"), std::string::npos) << cut.error;
}

TEST(SoundDecoding, OtherChunksOddSizesAndTheExtensibleFormatAreRead) {
    // An odd-sized chunk before the format (padded to even), a half frame at the end of the data.
    std::vector<uint8_t> list;
    PutText(list, "LIST");
    Put32(list, 3);
    list.insert(list.end(), {'a', 'b', 'c', 0});
    std::vector<uint8_t> data;
    Put16(data, 1000);
    Put16(data, static_cast<uint16_t>(-1000));
    data.push_back(7);
    Decoded result = Decode(Riff({list, FormatChunk(1, 2, 44100, 4, 16), DataChunk(5, data)}));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.samples, (std::vector<int16_t>{1000, -1000}));

    // The extensible form naming PCM as its sub-format; the pad byte after the odd data is missing.
    std::vector<uint8_t> format;
    PutText(format, "fmt ");
    Put32(format, 40);
    Put16(format, 0xFFFE);
    Put16(format, 1);
    Put32(format, 44100);
    Put32(format, 44100);
    Put16(format, 1);
    Put16(format, 8);
    Put16(format, 22); // extension size
    Put16(format, 8);  // valid bits
    Put32(format, 0);  // channel mask
    Put16(format, 1);  // PCM
    format.insert(format.end(), 14, 0);
    result = Decode(Riff({format, DataChunk(3, {0x80, 0xC0, 0x40})}));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.samples, (std::vector<int16_t>{0, 0, 16384, 16384, -16384, -16384}));
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
