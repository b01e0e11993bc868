// Writers for the file formats the generated data use: DDS (A8R8G8B8), BMP (8-bit palette, 24-bit),
// JPEG, PNG and 16-bit PCM WAV. Each throws std::runtime_error when the file cannot be written and
// creates the folders it needs.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace assetgen {

// An ARGB picture, top row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Image() = default;
    Image(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    uint32_t& At(int x, int y) { return pixels[size_t(y) * width + x]; }
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

void WriteDds(const std::filesystem::path& path, const Image& image);
void WriteBmp24(const std::filesystem::path& path, const Image& image);
// An 8-bit palettised BMP, bottom-up as usual; `indices` is width * height, top row first.
void WriteBmp8(const std::filesystem::path& path, int width, int height, const std::vector<uint8_t>& indices,
               const std::array<uint32_t, 256>& palette);
void WriteJpeg(const std::filesystem::path& path, const Image& image, int quality = 92);
void WritePng(const std::filesystem::path& path, const Image& image);
void WriteWav(const std::filesystem::path& path, const std::vector<int16_t>& samples, int sampleRate);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

} // namespace assetgen
