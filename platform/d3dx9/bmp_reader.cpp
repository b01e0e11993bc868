// Reads Windows bitmap files: core, info, V4 and V5 headers; 1, 4 and 8 bits through a palette, RLE8
// and RLE4 included; 16 and 32 bits with or without bit fields; 24 bits; bottom-up and top-down rows.
// Every offset and size is checked against the file before it is used.
#include "d3dx9/bmp_reader.h"

#include "d3dx9/byte_reader.h"
#include "d3dx9/channel_mask.h"

#include <algorithm>

namespace platform::d3dx {

namespace {

constexpr uint32_t BI_RGB_CODE = 0;
constexpr uint32_t BI_RLE8_CODE = 1;
constexpr uint32_t BI_RLE4_CODE = 2;
constexpr uint32_t BI_BITFIELDS_CODE = 3;
constexpr uint32_t BI_ALPHABITFIELDS_CODE = 6;
constexpr uint32_t CORE_HEADER_SIZE = 12;
constexpr uint32_t INFO_HEADER_SIZE = 40;
constexpr uint32_t OPAQUE = 0xFF000000u;

struct BmpHeader {
    uint32_t dataOffset = 0;
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = BI_RGB_CODE;
    uint32_t colorsUsed = 0;
    uint32_t masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
    bool haveMasks = false;
};

DecodeResult ReadHeader(ByteReader& reader, BmpHeader* header) {
    uint16_t magic = 0;
    if (!reader.U16(&magic) || magic != 0x4D42) {
        return DecodeResult::Invalid("BMP: missing 'BM' signature");
    }
    // The file size and two reserved words are not needed.
    if (!reader.Skip(8) || !reader.U32(&header->dataOffset) || !reader.U32(&header->headerSize)) {
        return DecodeResult::Invalid("BMP: truncated file header");
    }
    uint32_t size = header->headerSize;
    if (size != CORE_HEADER_SIZE && size < INFO_HEADER_SIZE) {
        return DecodeResult::Invalid("BMP: unknown header size");
    }
    if (!reader.Has(size - 4)) {
        return DecodeResult::Invalid("BMP: truncated info header");
    }
    if (size == CORE_HEADER_SIZE) {
        uint16_t width = 0, height = 0;
        reader.U16(&width);
        reader.U16(&height);
        header->width = width;
        header->height = height;
        reader.U16(&header->planes);
        reader.U16(&header->bitCount);
        return DecodeResult::Success();
    }
    size_t headerStart = reader.Position() - 4;
    reader.I32(&header->width);
    reader.I32(&header->height);
    reader.U16(&header->planes);
    reader.U16(&header->bitCount);
    reader.U32(&header->compression);
    reader.Skip(12); // the pixel data's size, which the rows decide, and the resolution
    reader.U32(&header->colorsUsed);
    reader.Skip(4); // the count of important colours
    bool bitFields =
        header->compression == BI_BITFIELDS_CODE || header->compression == BI_ALPHABITFIELDS_CODE;
    if (size >= INFO_HEADER_SIZE + 16) {
        // Version 4 and 5 headers (and the 52/56-byte variants) carry the masks themselves.
        for (uint32_t& mask : header->masks) {
            reader.U32(&mask);
        }
        header->haveMasks = bitFields;
        if (!bitFields) {
            header->masks[3] = 0; // the alpha mask means nothing without bit fields
        }
    } else if (bitFields) {
        int count = header->compression == BI_ALPHABITFIELDS_CODE ? 4 : 3;
        if (size == INFO_HEADER_SIZE + 12 || size == INFO_HEADER_SIZE + 16) {
            count = (size - INFO_HEADER_SIZE) / 4;
        }
        for (int i = 0; i < count; ++i) {
            if (!reader.U32(&header->masks[i])) {
                return DecodeResult::Invalid("BMP: truncated bit-field masks");
            }
        }
        header->haveMasks = true;
    }
    if (!reader.Seek(std::max(reader.Position(), headerStart + size))) {
        return DecodeResult::Invalid("BMP: truncated info header");
    }
    return DecodeResult::Success();
}

DecodeResult ReadPalette(ByteReader& reader, const BmpHeader& header, std::vector<uint32_t>* palette) {
    if (header.bitCount > 8) {
        return DecodeResult::Success();
    }
    uint32_t maximum = 1u << header.bitCount;
    uint32_t count = header.colorsUsed == 0 ? maximum : header.colorsUsed;
    if (count > maximum) {
        return DecodeResult::Invalid("BMP: palette larger than the bit depth allows");
    }
    size_t entrySize = header.headerSize == CORE_HEADER_SIZE ? 3 : 4;
    if (!reader.Has(count * entrySize)) {
        return DecodeResult::Invalid("BMP: truncated palette");
    }
    // Indices past the stored palette show as opaque black.
    palette->assign(maximum, OPAQUE);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = reader.Here();
        (*palette)[i] = OPAQUE | (entry[2] << 16) | (entry[1] << 8) | entry[0];
        reader.Skip(entrySize);
    }
    return DecodeResult::Success();
}

uint32_t* RowOf(Picture* picture, uint32_t storedRow, bool topDown) {
    uint32_t y = topDown ? storedRow : picture->height - 1 - storedRow;
    return picture->pixels.data() + static_cast<size_t>(y) * picture->width;
}

void DecodeRow(const uint8_t* source, const BmpHeader& header, const std::vector<uint32_t>& palette,
               const ChannelMask masks[4], uint32_t width, uint32_t* target) {
    switch (header.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8: {
        uint32_t bits = header.bitCount;
        uint32_t perByte = 8 / bits;
        uint32_t mask = (1u << bits) - 1;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t shift = 8 - bits * (x % perByte + 1);
            target[x] = palette[(source[x / perByte] >> shift) & mask];
        }
        break;
    }
    case 24:
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = source + 3 * x;
            target[x] = OPAQUE | (p[2] << 16) | (p[1] << 8) | p[0];
        }
        break;
    case 16:
    case 32:
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t value = header.bitCount == 16
                                 ? static_cast<uint32_t>(source[2 * x] | (source[2 * x + 1] << 8))
                                 : static_cast<uint32_t>(source[4 * x]) |
                                       (static_cast<uint32_t>(source[4 * x + 1]) << 8) |
                                       (static_cast<uint32_t>(source[4 * x + 2]) << 16) |
                                       (static_cast<uint32_t>(source[4 * x + 3]) << 24);
            target[x] = (static_cast<uint32_t>(masks[3].Extract(value, 0xFF)) << 24) |
                        (masks[0].Extract(value, 0) << 16) | (masks[1].Extract(value, 0) << 8) |
                        masks[2].Extract(value, 0);
        }
        break;
    default:
        break;
    }
}

// Run-length encoded 8- or 4-bit rows, bottom-up. Pixels the runs never reach stay index 0's colour,
// as skipped pixels are undefined in the format.
DecodeResult DecodeRle(ByteReader& reader, const BmpHeader& header, const std::vector<uint32_t>& palette,
                       Picture* picture) {
    bool four = header.compression == BI_RLE4_CODE;
    std::fill(picture->pixels.begin(), picture->pixels.end(), palette[0]);
    uint32_t x = 0, row = 0;
    auto put = [&](uint32_t index) {
        if (x < picture->width && row < picture->height) {
            RowOf(picture, row, false)[x] = palette[index & (four ? 0x0F : 0xFF)];
        }
        ++x;
    };
    while (true) {
        uint8_t count = 0, value = 0;
        if (!reader.U8(&count) || !reader.U8(&value)) {
            return DecodeResult::Invalid("BMP: truncated run-length data");
        }
        if (count > 0) {
            for (uint32_t i = 0; i < count; ++i) {
                put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            }
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++row;
        } else if (value == 1) { // end of bitmap
            return DecodeResult::Success();
        } else if (value == 2) { // delta
            uint8_t dx = 0, dy = 0;
            if (!reader.U8(&dx) || !reader.U8(&dy)) {
                return DecodeResult::Invalid("BMP: truncated run-length delta");
            }
            x += dx;
            row += dy;
        } else { // a literal run of `value` pixels, padded to a 16-bit boundary
            size_t bytes = four ? (value + 1u) / 2 : value;
            const uint8_t* literal = reader.Here();
            if (!reader.Skip(bytes + (bytes & 1))) {
                return DecodeResult::Invalid("BMP: truncated run-length literal");
            }
            for (uint32_t i = 0; i < value; ++i) {
                put(four ? (i % 2 == 0 ? literal[i / 2] >> 4 : literal[i / 2] & 0x0F) : literal[i]);
            }
        }
        if (row > picture->height) {
            return DecodeResult::Invalid("BMP: run-length data beyond the picture");
        }
    }
}

} // namespace

DecodeResult DecodeBmp(const uint8_t* data, size_t size, const DecodeLimits& limits, Picture* picture) {
    ByteReader reader(data, size);
    BmpHeader header;
    DecodeResult result = ReadHeader(reader, &header);
    if (!result.Ok()) {
        return result;
    }
    if (header.planes != 1) {
        return DecodeResult::Invalid("BMP: plane count is not 1");
    }
    if (header.width <= 0 || header.height == 0 || header.height == INT32_MIN) {
        return DecodeResult::Invalid("BMP: empty or negative size");
    }
    bool topDown = header.height < 0;
    uint32_t width = static_cast<uint32_t>(header.width);
    uint32_t height = static_cast<uint32_t>(topDown ? -header.height : header.height);

    uint32_t bitCount = header.bitCount;
    bool rle = header.compression == BI_RLE8_CODE || header.compression == BI_RLE4_CODE;
    if (rle) {
        if (topDown || bitCount != (header.compression == BI_RLE8_CODE ? 8u : 4u)) {
            return DecodeResult::Invalid(
                "BMP: run-length compression with a wrong bit depth or top-down rows");
        }
    } else if (header.compression == BI_BITFIELDS_CODE || header.compression == BI_ALPHABITFIELDS_CODE) {
        if (bitCount != 16 && bitCount != 32) {
            return DecodeResult::Invalid("BMP: bit fields need 16 or 32 bits per pixel");
        }
    } else if (header.compression != BI_RGB_CODE) {
        return DecodeResult::Invalid("BMP: unsupported compression");
    }
    if (bitCount != 1 && bitCount != 2 && bitCount != 4 && bitCount != 8 && bitCount != 16 &&
        bitCount != 24 && bitCount != 32) {
        return DecodeResult::Invalid("BMP: unsupported bit depth");
    }
    if (!header.haveMasks) {
        // Without bit fields, 16 bits are 5-5-5 and 32 bits are 8-8-8 with the top byte unused.
        if (bitCount == 16) {
            header.masks[0] = 0x7C00;
            header.masks[1] = 0x03E0;
            header.masks[2] = 0x001F;
        } else {
            header.masks[0] = 0x00FF0000;
            header.masks[1] = 0x0000FF00;
            header.masks[2] = 0x000000FF;
        }
        header.masks[3] = 0;
    }
    ChannelMask masks[4];
    for (int i = 0; i < 4; ++i) {
        masks[i] = ChannelMask(header.masks[i]);
        if (!masks[i].Contiguous()) {
            return DecodeResult::Invalid("BMP: bit-field mask is not contiguous");
        }
    }

    std::vector<uint32_t> palette;
    result = ReadPalette(reader, header, &palette);
    if (!result.Ok()) {
        return result;
    }
    if (header.dataOffset < reader.Position() && header.dataOffset != 0) {
        return DecodeResult::Invalid("BMP: pixel data overlaps the headers");
    }
    if (header.dataOffset != 0 && !reader.Seek(header.dataOffset)) {
        return DecodeResult::Invalid("BMP: pixel data offset beyond the end of the file");
    }

    uint64_t stride = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
    if (!rle && static_cast<uint64_t>(reader.Remaining()) / stride < height) {
        return DecodeResult::Invalid("BMP: truncated pixel data");
    }
    result = AllocatePicture(width, height, limits, picture);
    if (!result.Ok()) {
        return result;
    }
    if (rle) {
        return DecodeRle(reader, header, palette, picture);
    }
    for (uint32_t row = 0; row < height; ++row) {
        DecodeRow(reader.Here(), header, palette, masks, width, RowOf(picture, row, topDown));
        reader.Skip(stride);
    }
    return DecodeResult::Success();
}

} // namespace platform::d3dx
