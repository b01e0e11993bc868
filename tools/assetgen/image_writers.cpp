// File writers for the generated data.
#include "image_writers.h"

#include <cstdio>
#include <jpeglib.h>
#include <png.h>
#include <stdexcept>
#include <string>

namespace assetgen {

namespace {

class ByteWriter {
public:
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(v & 0xff);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v & 0xffff);
        U16(v >> 16);
    }
    void Text(const char* s) {
        while (*s) {
            U8(static_cast<uint8_t>(*s++));
        }
    }
    std::vector<uint8_t> bytes;
};

FILE* OpenForWriting(const std::filesystem::path& path) {
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
    return file;
}

} // namespace

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    FILE* file = OpenForWriting(path);
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void WriteDds(const std::filesystem::path& path, const Image& image) {
    ByteWriter w;
    w.Text("DDS ");
    w.U32(124);                            // header size
    w.U32(0x1 | 0x2 | 0x4 | 0x8 | 0x1000); // caps, height, width, pitch, pixel format
    w.U32(image.height);
    w.U32(image.width);
    w.U32(image.width * 4); // pitch
    w.U32(0);               // depth
    w.U32(0);               // mip map count
    for (int i = 0; i < 11; ++i) {
        w.U32(0);
    }
    w.U32(32);         // pixel format size
    w.U32(0x1 | 0x40); // alpha pixels, RGB
    w.U32(0);
    w.U32(32);
    w.U32(0x00ff0000);
    w.U32(0x0000ff00);
    w.U32(0x000000ff);
    w.U32(0xff000000);
    w.U32(0x1000); // caps: texture
    for (int i = 0; i < 4; ++i) {
        w.U32(0);
    }
    for (uint32_t pixel : image.pixels) {
        w.U32(pixel);
    }
    WriteBytes(path, w.bytes);
}

void WriteBmp24(const std::filesystem::path& path, const Image& image) {
    const uint32_t rowSize = (image.width * 3 + 3) & ~3u;
    ByteWriter w;
    w.Text("BM");
    w.U32(54 + rowSize * image.height);
    w.U32(0);
    w.U32(54);
    w.U32(40);
    w.U32(image.width);
    w.U32(image.height);
    w.U16(1);
    w.U16(24);
    w.U32(0);
    w.U32(rowSize * image.height);
    w.U32(2835);
    w.U32(2835);
    w.U32(0);
    w.U32(0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            uint32_t p = image.At(x, y);
            w.U8(p & 0xff);
            w.U8((p >> 8) & 0xff);
            w.U8((p >> 16) & 0xff);
        }
        for (uint32_t pad = image.width * 3; pad < rowSize; ++pad) {
            w.U8(0);
        }
    }
    WriteBytes(path, w.bytes);
}

void WriteBmp8(const std::filesystem::path& path, int width, int height, const std::vector<uint8_t>& indices,
               const std::array<uint32_t, 256>& palette) {
    const uint32_t rowSize = (width + 3) & ~3u;
    const uint32_t dataOffset = 54 + 256 * 4;
    ByteWriter w;
    w.Text("BM");
    w.U32(dataOffset + rowSize * height);
    w.U32(0);
    w.U32(dataOffset);
    w.U32(40);
    w.U32(width);
    w.U32(height);
    w.U16(1);
    w.U16(8);
    w.U32(0);
    w.U32(rowSize * height);
    w.U32(2835);
    w.U32(2835);
    w.U32(256);
    w.U32(0);
    for (uint32_t colour : palette) {
        w.U32(colour & 0x00ffffff);
    }
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            w.U8(indices[size_t(y) * width + x]);
        }
        for (uint32_t pad = width; pad < rowSize; ++pad) {
            w.U8(0);
        }
    }
    WriteBytes(path, w.bytes);
}

void WriteJpeg(const std::filesystem::path& path, const Image& image, int quality) {
    FILE* file = OpenForWriting(path);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = image.width;
    info.image_height = image.height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(image.width) * 3);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            uint32_t p = image.At(x, y);
            row[x * 3] = (p >> 16) & 0xff;
            row[x * 3 + 1] = (p >> 8) & 0xff;
            row[x * 3 + 2] = p & 0xff;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    if (std::fclose(file) != 0) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void WritePng(const std::filesystem::path& path, const Image& image) {
    FILE* file = OpenForWriting(path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw std::runtime_error("cannot write " + path.string());
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(size_t(image.width) * 4);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            uint32_t p = image.At(x, y);
            row[x * 4] = (p >> 16) & 0xff;
            row[x * 4 + 1] = (p >> 8) & 0xff;
            row[x * 4 + 2] = p & 0xff;
            row[x * 4 + 3] = p >> 24;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void WriteWav(const std::filesystem::path& path, const std::vector<int16_t>& samples, int sampleRate) {
    ByteWriter w;
    const uint32_t dataSize = static_cast<uint32_t>(samples.size() * 2);
    w.Text("RIFF");
    w.U32(36 + dataSize);
    w.Text("WAVE");
    w.Text("fmt ");
    w.U32(16);
    w.U16(1); // PCM
    w.U16(1); // mono
    w.U32(sampleRate);
    w.U32(sampleRate * 2);
    w.U16(2);
    w.U16(16);
    w.Text("data");
    w.U32(dataSize);
    for (int16_t s : samples) {
        w.U16(static_cast<uint16_t>(s));
    }
    WriteBytes(path, w.bytes);
}

} // namespace assetgen
