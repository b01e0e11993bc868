// Sound playback: WAV files written here decoded to the device format (8 and 16 bit, mono and stereo,
// other rates, other chunks, the extensible format), damaged, oversized and unsupported files refused
// with a reason before anything large is allocated, and PlaySoundA through the SDL backend on SDL's
// silent driver.
#include "support/process_probes.h"
#include "support/test_files.h"
#include "win32/mmsystem.h"
#include "win32/sdl_sound.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void Put16(std::vector<uint8_t>& bytes, uint32_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& bytes, uint32_t value) {
    Put16(bytes, value & 0xffff);
    Put16(bytes, value >> 16);
}

void PutText(std::vector<uint8_t>& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

// A plain PCM format chunk.
std::vector<uint8_t> FormatChunk(uint16_t tag, uint32_t channels, uint32_t rate, uint32_t blockAlign,
                                 uint32_t bits) {
    std::vector<uint8_t> chunk;
    PutText(chunk, "fmt ");
    for (uint32_t value : {16u, tag | channels << 16, rate, rate * blockAlign, blockAlign | bits << 16}) {
        Put32(chunk, value);
    }
    return chunk;
}

std::vector<uint8_t> DataChunk(uint32_t claimed, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> chunk;
    PutText(chunk, "data");
    Put32(chunk, claimed);
    chunk.insert(chunk.end(), data.begin(), data.end());
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

// A PCM file of the given layout.
std::vector<uint8_t> Wave(uint32_t rate, uint32_t channels, uint32_t bits, const std::vector<uint8_t>& data) {
    return Riff({FormatChunk(1, channels, rate, channels * bits / 8, bits),
                 DataChunk(static_cast<uint32_t>(data.size()), data)});
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

} // namespace

TEST(SoundDecoding, PcmBecomesSixteenBitStereoAtTheDeviceRate) {
    std::vector<uint8_t> stereo;
    for (int i = 0; i < 100; ++i) {
        Put16(stereo, static_cast<uint16_t>(i * 100));  // left
        Put16(stereo, static_cast<uint16_t>(-i * 100)); // right
    }
    Decoded result = Decode(Wave(44100, 2, 16, stereo));
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.samples.size(), 200u) << "16-bit stereo at the device rate is kept as it is";
    EXPECT_EQ(result.samples[2 * 50], 5000);
    EXPECT_EQ(result.samples[2 * 50 + 1], -5000);


    // Other rates are interpolated linearly between neighbouring frames (the last one held); 8-bit
    // samples are unsigned with 128 as silence, so a byte b becomes (b - 128) * 256.
    struct Case {
        uint32_t rate, channels, bits;
        std::vector<uint8_t> data;
        std::vector<int16_t> expected;
    };
    std::vector<uint8_t> mono16;
    for (int value : {1000, -3000, 7000, 32767, -32768, 5}) {
        Put16(mono16, static_cast<uint16_t>(value));
    }
    const Case cases[] = {
        {22050, 2, 8, {0x00, 0xF0, 0x40, 0x10, 0x80, 0x7F, 0xFF, 0x81, 0x90, 0x20},
         {-32768, 28672, -24576, 0, -16384, -28672, -8192, -14464, 0, -256, 16256, 0, 32512, 256, 18304, -12160,
          4096, -24576, 4096, -24576}},
        {48000, 1, 16, mono16, {1000, 1000, -2116, -2116, 11557, 11557, 15381, 15381, -21175, -21175}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.bits << " bits");
        result = Decode(Wave(c.rate, c.channels, c.bits, c.data));
        ASSERT_TRUE(result.ok) << result.error;
        ASSERT_EQ(result.samples.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_NEAR(result.samples[i], c.expected[i], 1) << "sample " << i;
        }
    }
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
    // The data before the format, and a second data chunk after it that is not played.
    result = Decode(Riff({DataChunk(4, {0x10, 0x27, 0xF0, 0xD8}), list, FormatChunk(1, 2, 44100, 4, 16),
                          DataChunk(4, {1, 0, 2, 0})}));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.samples, (std::vector<int16_t>{10000, -10000}));

    // The extensible form naming PCM as its sub-format; the pad byte after the odd data is missing.
    std::vector<uint8_t> format;
    PutText(format, "fmt ");
    for (uint32_t value : {40u, 0x0001FFFEu, 44100u, 44100u, 0x00080001u, 0x00080016u, 0u}) {
        Put32(format,
              value); // size; tag, channels; rate; bytes a second; block, bits; extension, valid bits; mask
    }
    Put16(format, 1); // PCM
    format.insert(format.end(), 14, 0);
    result = Decode(Riff({format, DataChunk(3, {0x80, 0xC0, 0x40})}));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.samples, (std::vector<int16_t>{0, 0, 16384, 16384, -16384, -16384}));
}

TEST(SoundDecoding, WaveWhoseDataChunkClaimsMoreThanTheFileHoldsIsRefusedBeforeAnyLargeAllocation) {
    // 14 kB of sound claiming three gigabytes.
    std::vector<uint8_t> bytes = Wave(22050, 1, 16, std::vector<uint8_t>(14000));
    const uint8_t claimed[] = {0x20, 0x37, 0x00, 0xbc};
    std::copy(std::begin(claimed), std::end(claimed), bytes.begin() + 40); // the data chunk's size
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "huge.wav", bytes);
    std::vector<int16_t> samples;
    std::string error;
    long before = testing_support::PeakResidentKilobytes();
    EXPECT_FALSE(platform::DecodeWaveFile((folder / "huge.wav").string(), &samples, &error));
    EXPECT_NE(error.find("\"data\" chunk claims 3154130720 bytes"), std::string::npos) << error;

    // The same for a whole file larger than any sound (sparse: quick to make).
    std::filesystem::path path = folder / "big.wav";
    testing_support::WriteFile(path, Wave(22050, 1, 16, {0, 0}));
    std::filesystem::resize_file(path, 64u * 1024u * 1024u + 1u);
    EXPECT_FALSE(platform::DecodeWaveFile(path.string(), &samples, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_LT(testing_support::PeakResidentKilobytes() - before, 16 * 1024)
        << "kilobytes of peak memory added by both decodes";
}

TEST(SoundDecoding, DamagedUnsupportedOrInconsistentFilesAreRefusedWithAReason) {
    std::vector<uint8_t> data(64, 0x80);
    std::vector<uint8_t> formatTooLong = FormatChunk(1, 1, 22050, 2, 16);
    formatTooLong[4] = 0xff;
    std::vector<uint8_t> riffTooLong = Wave(22050, 1, 8, data);
    riffTooLong[4] += 1;
    std::vector<uint8_t> shortFormat = FormatChunk(1, 1, 22050, 1, 8);
    shortFormat[4] = 14;
    shortFormat.resize(8 + 14);
    std::vector<uint8_t> truncated = Wave(22050, 1, 8, data);
    truncated.resize(30);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* reason;
    };
    std::vector<Case> cases = {
        {"not a RIFF file", {'h', 'e', 'l', 'l', 'o'}, ""},
        {"cut in the header", truncated, ""},
        {"format chunk longer than the file", Riff({formatTooLong, DataChunk(4, {0, 0, 0, 0})}),
         "\"fmt \" chunk claims"},
        {"RIFF chunk longer than the file", riffTooLong, "RIFF"},
        {"adpcm", Riff({FormatChunk(2, 1, 22050, 2, 16), DataChunk(64, data)}), "sample format 2"},
        {"24 bit", Riff({FormatChunk(1, 1, 22050, 3, 24), DataChunk(64, data)}), "24 bits"},
        {"no channels", Riff({FormatChunk(1, 0, 22050, 1, 8), DataChunk(64, data)}), "channel count 0"},
        {"three channels", Riff({FormatChunk(1, 3, 22050, 3, 8), DataChunk(64, data)}), "channel count 3"},
        {"rate zero", Riff({FormatChunk(1, 1, 0, 1, 8), DataChunk(64, data)}), "sample rate 0"},
        // A few bytes at a rate this low would decode to many megabytes.
        {"rate too low", Riff({FormatChunk(1, 1, 1999, 1, 8), DataChunk(64, data)}), "sample rate 1999"},
        {"rate too high", Riff({FormatChunk(1, 1, 768001, 1, 8), DataChunk(64, data)}), "sample rate 768001"},
        {"block size", Riff({FormatChunk(1, 2, 22050, 3, 16), DataChunk(64, data)}), "block size 3"},
        {"too long", Wave(2000, 1, 8, std::vector<uint8_t>(2000 * 600)), "longer than 600 seconds"},
        {"no data", Riff({FormatChunk(1, 1, 22050, 1, 8)}), "no \"data\""},
        {"no format", Riff({DataChunk(64, data)}), "no \"fmt \""},
        {"format chunk too short", Riff({shortFormat, DataChunk(64, data)}), "too short"},
    };
    for (const Case& c : cases) {
        Decoded result = Decode(c.bytes);
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_FALSE(result.error.empty()) << c.name;
        EXPECT_NE(result.error.find(c.reason), std::string::npos) << c.name << ": " << result.error;
    }
    std::vector<int16_t> samples;
    std::string error;
    EXPECT_FALSE(platform::DecodeWaveFile("/nonexistent/missing.wav", &samples, &error));
    EXPECT_FALSE(error.empty());

    // Neither a FIFO nor a device is waited for or read.
    testing_support::TemporaryFolder folder;
    ASSERT_EQ(mkfifo((folder / "fifo.wav").c_str(), 0644), 0);
    alarm(10); // a blocking open ends the test process instead of hanging the run
    for (const std::string& path : {(folder / "fifo.wav").string(), std::string("/dev/zero")}) {
        EXPECT_FALSE(platform::DecodeWaveFile(path, &samples, &error)) << path;
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    }
    alarm(0);
}

namespace {

class RecordingBackend : public platform::SoundBackend {
public:
    explicit RecordingBackend(std::vector<std::string>* calls) : calls(calls) {}
    void Play(const std::string& hostPath) override { calls->push_back("play " + hostPath); }
    void Stop() override { calls->push_back("stop"); }

private:
    std::vector<std::string>* calls;
};

} // namespace

// The backend gets the file's path on this system, no path for a name that is not a file (the default
// sound), and a stop for a null name or SND_PURGE; the trace keeps the names as the caller wrote them.
TEST(SoundPlayback, TheBackendGetsHostPathsAndStopsAndTheTraceKeepsTheCallersNames) {
    std::vector<std::string> calls;
    platform::SetSoundBackend(std::make_unique<RecordingBackend>(&calls));
    platform::ClearSoundTrace();
    EXPECT_TRUE(PlaySoundA("Sounds\\hit.wav", nullptr, SND_FILENAME | SND_ASYNC));
    EXPECT_TRUE(PlaySoundA("SystemStart", nullptr, SND_ASYNC));
    EXPECT_TRUE(PlaySoundA(nullptr, nullptr, 0));
    EXPECT_TRUE(PlaySoundA("Sounds\\hit.wav", nullptr, SND_PURGE));
    EXPECT_EQ(calls, (std::vector<std::string>{"play Sounds/hit.wav", "play ", "stop", "stop"}));
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{"Sounds\\hit.wav", "SystemStart"}));
    platform::ClearSoundTrace();
    EXPECT_TRUE(platform::SoundTrace().empty());
    platform::SetSoundBackend(nullptr);
    EXPECT_TRUE(PlaySoundA("a.wav", nullptr, SND_FILENAME));
    EXPECT_EQ(calls.size(), 4u) << "the recording-only backend is back";
}

TEST(SoundPlayback, PlaysThroughSdlWithAShortDefaultSoundAndIsStillTraced) {
    std::vector<int16_t> fallback = platform::DefaultSoundSamples();
    ASSERT_FALSE(fallback.empty());
    EXPECT_LT(fallback.size(), static_cast<size_t>(platform::SOUND_RATE * platform::SOUND_CHANNELS));
    EXPECT_TRUE(std::any_of(fallback.begin(), fallback.end(), [](int16_t s) { return std::abs(s) > 1000; }))
        << "audible";

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
