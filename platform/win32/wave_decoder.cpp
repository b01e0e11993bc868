// The WAV reader behind PlaySoundA: reads the whole file, walks its RIFF chunks with bounds checks,
// decodes PCM 8 or 16 bit and converts it to the device format. Every size a file claims is checked
// against the bytes it holds before anything is allocated from it.
#include "win32/file_access.h"
#include "win32/sdl_sound.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// Sound effects are small; anything larger is not a sound this program plays.
constexpr size_t MAX_WAVE_FILE_BYTES = 64u * 1024u * 1024u;
// Longest decoded sound; with the lowest rate it bounds how much larger the decoded sound can be
// than its file (at most 2 * 2 * 44100 / 2000 times).
constexpr uint64_t MAX_SOUND_SECONDS = 600;
constexpr uint32_t MIN_SOURCE_RATE = 2000;
constexpr uint32_t MAX_SOURCE_RATE = 768000;
constexpr uint16_t FORMAT_PCM = 1;
constexpr uint16_t FORMAT_EXTENSIBLE = 0xFFFE;
constexpr size_t CHUNK_HEADER_BYTES = 8;
constexpr size_t PCM_FORMAT_BYTES = 16;
constexpr size_t EXTENSIBLE_FORMAT_BYTES = 40;

uint16_t Read16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

uint32_t Read32(const uint8_t* bytes) {
    return static_cast<uint32_t>(Read16(bytes)) | (static_cast<uint32_t>(Read16(bytes + 2)) << 16);
}

bool Fail(std::string* error, const std::string& reason) {
    if (error) {
        *error = reason;
    }
    return false;
}

// Only a regular file is read, and only when its size is that of a sound: a FIFO or a device is refused
// without blocking, an oversized file before anything is read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    switch (ReadRegularFile(path, MAX_WAVE_FILE_BYTES, bytes)) {
    case FileReadResult::Ok:
        return true;
    case FileReadResult::TooLarge:
        return Fail(error, path + " is too large for a sound (more than " +
                               std::to_string(MAX_WAVE_FILE_BYTES) + " bytes)");
    case FileReadResult::Missing:
        return Fail(error, "cannot open " + path + " (missing)");
    case FileReadResult::NotRegular:
        return Fail(error, "cannot open " + path + " (not a regular file)");
    default:
        return Fail(error, "cannot read " + path + ": " + std::strerror(errno));
    }
}

struct Chunk {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

struct WaveFormat {
    uint32_t rate = 0;
    int channels = 0;
    int bits = 0;
};

// Finds the "fmt " and "data" chunks (the first of each) inside the RIFF body.
bool FindChunks(const std::vector<uint8_t>& file, Chunk* format, Chunk* data, std::string* error) {
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return Fail(error, "not a RIFF WAVE file");
    }
    uint32_t riffSize = Read32(file.data() + 4);
    if (riffSize < 4 || riffSize > file.size() - CHUNK_HEADER_BYTES) {
        return Fail(error, "the RIFF chunk claims " + std::to_string(riffSize) + " bytes, the file holds " +
                               std::to_string(file.size() - CHUNK_HEADER_BYTES));
    }
    size_t end = CHUNK_HEADER_BYTES + riffSize;
    size_t at = 12;
    while (end - at >= CHUNK_HEADER_BYTES) {
        const uint8_t* header = file.data() + at;
        uint32_t size = Read32(header + 4);
        size_t body = at + CHUNK_HEADER_BYTES;
        if (size > end - body) {
            return Fail(error, "the \"" + std::string(reinterpret_cast<const char*>(header), 4) +
                                   "\" chunk claims " + std::to_string(size) + " bytes, " +
                                   std::to_string(end - body) + " remain");
        }
        Chunk* found = std::memcmp(header, "fmt ", 4) == 0   ? format
                       : std::memcmp(header, "data", 4) == 0 ? data
                                                             : nullptr;
        if (found && !found->data) {
            found->data = file.data() + body;
            found->size = size;
        }
        // Chunks are padded to an even size; the pad byte of the last one may be missing.
        at = body + size + (size & 1u);
        if (at >= end) {
            break;
        }
    }
    if (!format->data) {
        return Fail(error, "no \"fmt \" chunk");
    }
    if (!data->data) {
        return Fail(error, "no \"data\" chunk");
    }
    return true;
}

bool ReadFormat(const Chunk& chunk, WaveFormat* format, std::string* error) {
    if (chunk.size < PCM_FORMAT_BYTES) {
        return Fail(error, "the \"fmt \" chunk is too short");
    }
    uint16_t tag = Read16(chunk.data);
    if (tag == FORMAT_EXTENSIBLE) {
        // The sub-format's first two bytes hold the plain format tag.
        if (chunk.size < EXTENSIBLE_FORMAT_BYTES) {
            return Fail(error, "the extensible \"fmt \" chunk is too short");
        }
        tag = Read16(chunk.data + 24);
    }
    if (tag != FORMAT_PCM) {
        return Fail(error, "unsupported sample format " + std::to_string(tag) + " (only PCM plays)");
    }
    format->channels = Read16(chunk.data + 2);
    format->rate = Read32(chunk.data + 4);
    uint16_t blockAlign = Read16(chunk.data + 12);
    format->bits = Read16(chunk.data + 14);
    if (format->channels != 1 && format->channels != 2) {
        return Fail(error, "unsupported channel count " + std::to_string(format->channels));
    }
    if (format->bits != 8 && format->bits != 16) {
        return Fail(error, "unsupported sample size " + std::to_string(format->bits) + " bits");
    }
    if (format->rate < MIN_SOURCE_RATE || format->rate > MAX_SOURCE_RATE) {
        return Fail(error, "unsupported sample rate " + std::to_string(format->rate));
    }
    if (blockAlign != format->channels * format->bits / 8) {
        return Fail(error, "block size " + std::to_string(blockAlign) + " does not fit the sample format");
    }
    return true;
}

int Sample(const uint8_t* at, int bits) {
    return bits == 8 ? (at[0] - 128) * 256 : static_cast<int16_t>(Read16(at));
}

// Linear interpolation from the source rate to SOUND_RATE, mono widened to both channels.
void Convert(const Chunk& data, const WaveFormat& format, std::vector<int16_t>* samples) {
    size_t frameBytes = static_cast<size_t>(format.channels * format.bits / 8);
    uint64_t frames = data.size / frameBytes;
    uint64_t outFrames = frames * SOUND_RATE / format.rate;
    samples->assign(static_cast<size_t>(outFrames) * SOUND_CHANNELS, 0);
    for (uint64_t i = 0; i < outFrames; ++i) {
        uint64_t position = i * format.rate;
        uint64_t index = position / SOUND_RATE;
        int64_t fraction = static_cast<int64_t>(position % SOUND_RATE);
        uint64_t next = std::min(index + 1, frames - 1);
        for (int c = 0; c < SOUND_CHANNELS; ++c) {
            size_t channelOffset = static_cast<size_t>(std::min(c, format.channels - 1) * format.bits / 8);
            int64_t a = Sample(data.data + index * frameBytes + channelOffset, format.bits);
            int64_t b = Sample(data.data + next * frameBytes + channelOffset, format.bits);
            (*samples)[i * SOUND_CHANNELS + static_cast<size_t>(c)] =
                static_cast<int16_t>(a + (b - a) * fraction / SOUND_RATE);
        }
    }
}

} // namespace

bool DecodeWaveFile(const std::string& path, std::vector<int16_t>* samples, std::string* error) {
    std::vector<uint8_t> file;
    Chunk formatChunk;
    Chunk dataChunk;
    WaveFormat format;
    if (!ReadWholeFile(path, &file, error) || !FindChunks(file, &formatChunk, &dataChunk, error) ||
        !ReadFormat(formatChunk, &format, error)) {
        return false;
    }
    // Whole sample frames only: a truncated last frame is dropped.
    uint64_t frames = dataChunk.size / static_cast<size_t>(format.channels * format.bits / 8);
    if (frames / format.rate >= MAX_SOUND_SECONDS) {
        return Fail(error, "the sound lasts longer than " + std::to_string(MAX_SOUND_SECONDS) + " seconds");
    }
    Convert(dataChunk, format, samples);
    return true;
}

} // namespace platform
