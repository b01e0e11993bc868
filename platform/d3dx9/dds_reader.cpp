// Reads the top level of DirectDraw surface files: uncompressed RGB, RGBA, luminance and alpha
// formats described by their bit masks (8 to 32 bits per pixel) and the block-compressed DXT1, DXT3
// and DXT5. Mip levels stored in the file must be complete but are not used: the loader builds its
// own chain from the top level.
#include "d3dx9/dds_reader.h"

#include "d3dx9/byte_reader.h"
#include "d3dx9/channel_mask.h"

#include <algorithm>

namespace platform::d3dx {

namespace {

constexpr uint32_t DDS_MAGIC = 0x20534444; // "DDS "
constexpr uint32_t HEADER_SIZE = 124;
constexpr uint32_t PIXEL_FORMAT_SIZE = 32;
constexpr uint32_t DDSD_MIPMAPCOUNT = 0x20000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1;
constexpr uint32_t DDPF_ALPHA = 0x2;
constexpr uint32_t DDPF_FOURCC = 0x4;
constexpr uint32_t DDPF_RGB = 0x40;
constexpr uint32_t DDPF_LUMINANCE = 0x20000;
constexpr uint32_t DDSCAPS2_CUBEMAP = 0x200;
constexpr uint32_t DDSCAPS2_VOLUME = 0x200000;

constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

struct PixelFormat {
    uint32_t flags = 0;
    uint32_t fourCC = 0;
    uint32_t bitCount = 0;
    uint32_t masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
};

// A 5-6-5 colour expanded to 8 bits per channel.
void Expand565(uint16_t value, int rgb[3]) {
    int r = (value >> 11) & 0x1F, g = (value >> 5) & 0x3F, b = value & 0x1F;
    rgb[0] = (r << 3) | (r >> 2);
    rgb[1] = (g << 2) | (g >> 4);
    rgb[2] = (b << 3) | (b >> 2);
}

uint32_t Pack(int a, int r, int g, int b) {
    return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) |
           (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

// The colour half of a block: four colours, two stored and two between them; in DXT1 a first colour
// not greater than the second selects three colours and transparent black.
void DecodeColorBlock(const uint8_t* block, bool dxt1, uint32_t colors[4]) {
    uint16_t c0 = static_cast<uint16_t>(block[0] | (block[1] << 8));
    uint16_t c1 = static_cast<uint16_t>(block[2] | (block[3] << 8));
    int a[3], b[3];
    Expand565(c0, a);
    Expand565(c1, b);
    colors[0] = Pack(255, a[0], a[1], a[2]);
    colors[1] = Pack(255, b[0], b[1], b[2]);
    if (!dxt1 || c0 > c1) {
        colors[2] =
            Pack(255, (2 * a[0] + b[0] + 1) / 3, (2 * a[1] + b[1] + 1) / 3, (2 * a[2] + b[2] + 1) / 3);
        colors[3] =
            Pack(255, (a[0] + 2 * b[0] + 1) / 3, (a[1] + 2 * b[1] + 1) / 3, (a[2] + 2 * b[2] + 1) / 3);
    } else {
        colors[2] = Pack(255, (a[0] + b[0] + 1) / 2, (a[1] + b[1] + 1) / 2, (a[2] + b[2] + 1) / 2);
        colors[3] = 0;
    }
}

// The eight alpha values of a DXT5 block and the sixteen 3-bit indices into them.
void DecodeAlphaBlock(const uint8_t* block, uint8_t alpha[16]) {
    int a0 = block[0], a1 = block[1];
    int values[8] = {a0, a1};
    if (a0 > a1) {
        for (int i = 1; i < 7; ++i) {
            values[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
        }
    } else {
        for (int i = 1; i < 5; ++i) {
            values[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
        }
        values[6] = 0;
        values[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) {
        bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
    }
    for (int i = 0; i < 16; ++i) {
        alpha[i] = static_cast<uint8_t>(values[(bits >> (3 * i)) & 7]);
    }
}

void DecodeBlocks(const uint8_t* data, uint32_t fourCC, Picture* picture) {
    bool dxt1 = fourCC == FourCC('D', 'X', 'T', '1');
    bool dxt3 = fourCC == FourCC('D', 'X', 'T', '3') || fourCC == FourCC('D', 'X', 'T', '2');
    size_t blockSize = dxt1 ? 8 : 16;
    uint32_t blocksWide = (picture->width + 3) / 4;
    uint32_t blocksHigh = (picture->height + 3) / 4;
    for (uint32_t by = 0; by < blocksHigh; ++by) {
        for (uint32_t bx = 0; bx < blocksWide; ++bx) {
            const uint8_t* block = data + (static_cast<size_t>(by) * blocksWide + bx) * blockSize;
            uint8_t alpha[16];
            const uint8_t* colorBlock = block;
            if (!dxt1) {
                colorBlock = block + 8;
                if (dxt3) {
                    for (int i = 0; i < 16; ++i) {
                        int nibble = (block[i / 2] >> (4 * (i % 2))) & 0x0F;
                        alpha[i] = static_cast<uint8_t>(nibble * 17);
                    }
                } else {
                    DecodeAlphaBlock(block, alpha);
                }
            }
            uint32_t colors[4];
            DecodeColorBlock(colorBlock, dxt1, colors);
            uint32_t indices =
                static_cast<uint32_t>(colorBlock[4]) | (static_cast<uint32_t>(colorBlock[5]) << 8) |
                (static_cast<uint32_t>(colorBlock[6]) << 16) | (static_cast<uint32_t>(colorBlock[7]) << 24);
            for (uint32_t py = 0; py < 4; ++py) {
                uint32_t y = by * 4 + py;
                if (y >= picture->height) {
                    break;
                }
                uint32_t* row = picture->pixels.data() + static_cast<size_t>(y) * picture->width;
                for (uint32_t px = 0; px < 4; ++px) {
                    uint32_t x = bx * 4 + px;
                    if (x >= picture->width) {
                        break;
                    }
                    int i = static_cast<int>(py * 4 + px);
                    uint32_t color = colors[(indices >> (2 * i)) & 3];
                    row[x] = dxt1 ? color : ((color & 0x00FFFFFFu) | (static_cast<uint32_t>(alpha[i]) << 24));
                }
            }
        }
    }
}

// The levels the file says it holds (the mip count counts only with its flag), at most a full chain.
uint32_t LevelsStored(uint32_t flags, uint32_t mipCount, uint32_t width, uint32_t height) {
    if ((flags & DDSD_MIPMAPCOUNT) == 0 || mipCount <= 1) {
        return 1;
    }
    uint32_t full = 1;
    for (uint32_t side = width > height ? width : height; side > 1; side >>= 1) {
        ++full;
    }
    return mipCount < full ? mipCount : full;
}

// Bytes of `levels` levels from width x height down: pixels of `unit` bytes, or 4 x 4 blocks of it.
uint64_t StoredBytes(uint32_t width, uint32_t height, uint32_t levels, uint32_t unit, bool blocks) {
    uint64_t total = 0;
    uint64_t w = width, h = height;
    for (uint32_t level = 0; level < levels; ++level) {
        total += blocks ? ((w + 3) / 4) * ((h + 3) / 4) * unit : w * h * unit;
        w = std::max<uint64_t>(w / 2, 1);
        h = std::max<uint64_t>(h / 2, 1);
    }
    return total;
}

DecodeResult DecodeMasked(ByteReader& reader, const PixelFormat& format, Picture* picture) {
    ChannelMask red(format.masks[0]), green(format.masks[1]), blue(format.masks[2]);
    bool hasAlpha = (format.flags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) != 0;
    ChannelMask alpha(hasAlpha ? format.masks[3] : 0);
    bool luminance = (format.flags & DDPF_LUMINANCE) != 0;
    if (!red.Contiguous() || !green.Contiguous() || !blue.Contiguous() || !alpha.Contiguous()) {
        return DecodeResult::Invalid("DDS: channel mask is not contiguous");
    }
    uint32_t bytesPerPixel = format.bitCount / 8;
    uint64_t stride = static_cast<uint64_t>(picture->width) * bytesPerPixel;
    if (reader.Remaining() / stride < picture->height) {
        return DecodeResult::Invalid("DDS: truncated pixel data");
    }
    const uint8_t* source = reader.Here();
    bool standardMasks =
        format.masks[0] == 0xFF0000 && format.masks[1] == 0xFF00 && format.masks[2] == 0xFF && !luminance;
    if (standardMasks && format.bitCount == 32 && (!hasAlpha || format.masks[3] == 0xFF000000u)) {
        // A8R8G8B8 and X8R8G8B8 (the files the game ships) and R8G8B8: the stored value is the pixel.
        uint32_t opaque = hasAlpha ? 0 : 0xFF000000u;
        for (size_t i = 0; i < picture->pixels.size(); ++i) {
            const uint8_t* p = source + 4 * i;
            picture->pixels[i] = (static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                  (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24)) |
                                 opaque;
        }
        return DecodeResult::Success();
    }
    if (standardMasks && format.bitCount == 24) {
        for (size_t i = 0; i < picture->pixels.size(); ++i) {
            const uint8_t* p = source + 3 * i;
            picture->pixels[i] = 0xFF000000u | static_cast<uint32_t>(p[0]) |
                                 (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
        }
        return DecodeResult::Success();
    }
    for (uint32_t y = 0; y < picture->height; ++y) {
        uint32_t* row = picture->pixels.data() + static_cast<size_t>(y) * picture->width;
        for (uint32_t x = 0; x < picture->width; ++x) {
            const uint8_t* p = source + y * stride + static_cast<size_t>(x) * bytesPerPixel;
            uint32_t value = 0;
            for (uint32_t i = 0; i < bytesPerPixel; ++i) {
                value |= static_cast<uint32_t>(p[i]) << (8 * i);
            }
            uint8_t a = alpha.Extract(value, 0xFF);
            if (luminance) {
                uint8_t l = red.Extract(value, 0);
                row[x] = Pack(a, l, l, l);
            } else {
                row[x] = Pack(a, red.Extract(value, 0), green.Extract(value, 0), blue.Extract(value, 0));
            }
        }
    }
    return DecodeResult::Success();
}

} // namespace

DecodeResult DecodeDds(const uint8_t* data, size_t size, const DecodeLimits& limits, Picture* picture) {
    ByteReader reader(data, size);
    uint32_t magic = 0, headerSize = 0, height = 0, width = 0;
    if (!reader.U32(&magic) || magic != DDS_MAGIC) {
        return DecodeResult::Invalid("DDS: missing 'DDS ' signature");
    }
    if (!reader.Has(HEADER_SIZE)) {
        return DecodeResult::Invalid("DDS: truncated header");
    }
    uint32_t flags = 0, mipCount = 0;
    reader.U32(&headerSize);
    reader.U32(&flags);
    reader.U32(&height);
    reader.U32(&width);
    if (headerSize != HEADER_SIZE) {
        return DecodeResult::Invalid("DDS: wrong header size");
    }
    reader.Skip(4 + 4); // pitch, depth
    reader.U32(&mipCount);
    reader.Skip(11 * 4); // reserved
    uint32_t formatSize = 0;
    PixelFormat format;
    reader.U32(&formatSize);
    reader.U32(&format.flags);
    reader.U32(&format.fourCC);
    reader.U32(&format.bitCount);
    for (uint32_t& mask : format.masks) {
        reader.U32(&mask);
    }
    uint32_t caps2 = 0;
    reader.Skip(4); // the surface's capabilities, which say nothing the data does not
    reader.U32(&caps2);
    reader.Skip(3 * 4);
    if (formatSize != PIXEL_FORMAT_SIZE) {
        return DecodeResult::Invalid("DDS: wrong pixel format size");
    }
    if ((caps2 & (DDSCAPS2_CUBEMAP | DDSCAPS2_VOLUME)) != 0) {
        return DecodeResult::Invalid("DDS: cube and volume textures are not supported");
    }

    if (width > limits.maxWidth || height > limits.maxHeight) {
        return AllocatePicture(width, height, limits, picture); // refuses the size, allocating nothing
    }
    bool compressed = (format.flags & DDPF_FOURCC) != 0;
    if (compressed) {
        uint32_t fourCC = format.fourCC;
        if (fourCC != FourCC('D', 'X', 'T', '1') && fourCC != FourCC('D', 'X', 'T', '2') &&
            fourCC != FourCC('D', 'X', 'T', '3') && fourCC != FourCC('D', 'X', 'T', '4') &&
            fourCC != FourCC('D', 'X', 'T', '5')) {
            return DecodeResult::Invalid("DDS: unsupported compressed format");
        }
        uint32_t blockSize = fourCC == FourCC('D', 'X', 'T', '1') ? 8 : 16;
        if (StoredBytes(width, height, LevelsStored(flags, mipCount, width, height), blockSize, true) >
            reader.Remaining()) {
            return DecodeResult::Invalid("DDS: truncated pixel data");
        }
    } else {
        if ((format.flags & (DDPF_RGB | DDPF_LUMINANCE | DDPF_ALPHA)) == 0) {
            return DecodeResult::Invalid("DDS: unsupported pixel format");
        }
        if (format.bitCount != 8 && format.bitCount != 16 && format.bitCount != 24 && format.bitCount != 32) {
            return DecodeResult::Invalid("DDS: unsupported bits per pixel");
        }
        if (StoredBytes(width, height, LevelsStored(flags, mipCount, width, height), format.bitCount / 8,
                        false) > reader.Remaining()) {
            return DecodeResult::Invalid("DDS: truncated pixel data");
        }
    }

    DecodeResult result = AllocatePicture(width, height, limits, picture);
    if (!result.Ok()) {
        return result;
    }
    if (compressed) {
        DecodeBlocks(reader.Here(), format.fourCC, picture);
        return DecodeResult::Success();
    }
    return DecodeMasked(reader, format, picture);
}

} // namespace platform::d3dx
