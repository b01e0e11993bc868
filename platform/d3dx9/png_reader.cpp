// Decodes PNG files with libpng: palette, grey, grey with alpha, RGB, RGBA, 1 to 16 bits per
// channel, transparency chunks and interlacing. The stored values are taken as they are (no gamma
// correction), and the whole file up to its end chunk must be present and intact.
#include "d3dx9/png_reader.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <png.h>

namespace platform::d3dx {

namespace {

constexpr size_t MAX_CHUNK_BYTES = 8u << 20;

struct Source {
    const uint8_t* data;
    size_t size;
    size_t position;
    char message[160];
};

void ReadBytes(png_structp png, png_bytep target, png_size_t count) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (count > source->size - source->position) {
        png_error(png, "file ends early");
    }
    std::memcpy(target, source->data + source->position, count);
    source->position += count;
}

void OnError(png_structp png, png_const_charp message) {
    auto* source = static_cast<Source*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof(source->message), "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Ancillary chunks that play no part in the pixels; libpng skips them unread.
const png_byte IGNORED_CHUNKS[] = {
    'b',  'K',  'G',  'D',  '\0', 'c',  'H',  'R',  'M',  '\0', 'e',  'X',  'I',  'f',  '\0', 'g',  'A',
    'M',  'A',  '\0', 'h',  'I',  'S',  'T',  '\0', 'i',  'C',  'C',  'P',  '\0', 'i',  'T',  'X',  't',
    '\0', 'o',  'F',  'F',  's',  '\0', 'p',  'C',  'A',  'L',  '\0', 'p',  'H',  'Y',  's',  '\0', 's',
    'B',  'I',  'T',  '\0', 's',  'C',  'A',  'L',  '\0', 's',  'P',  'L',  'T',  '\0', 's',  'R',  'G',
    'B',  '\0', 't',  'E',  'X',  't',  '\0', 't',  'I',  'M',  'E',  '\0', 'z',  'T',  'X',  't',  '\0'};

// Runs libpng, which leaves by longjmp on any error: no C++ object with a destructor lives here.
bool Decompress(png_structp png, png_infop info, const DecodeLimits& limits, Picture* picture,
                DecodeResult* sizeResult, png_bytep* rows, size_t rowCapacity) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    *sizeResult = AllocatePicture(width, height, limits, picture);
    if (!sizeResult->Ok() || height > rowCapacity) {
        return false;
    }
    // Everything becomes 8-bit B, G, R, A bytes: a little-endian 0xAARRGGBB.
    png_set_expand(png);
    png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) {
        png_error(png, "unexpected row layout");
    }
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = reinterpret_cast<png_bytep>(picture->pixels.data() + static_cast<size_t>(y) * width);
    }
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

} // namespace

DecodeResult DecodePng(const uint8_t* data, size_t size, const DecodeLimits& limits, Picture* picture) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        return DecodeResult::Invalid("PNG: missing signature");
    }
    Source source = {data, size, 0, {0}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
    if (png == nullptr) {
        return {DECODE_OUT_OF_MEMORY, "PNG: out of memory"};
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return {DECODE_OUT_OF_MEMORY, "PNG: out of memory"};
    }
    png_set_read_fn(png, &source, ReadBytes);
    // A chunk that claims more than the file holds, or more than a few megabytes, is refused before
    // libpng allocates what it claims (Debian's libpng stops at 8 MB itself; others may not).
    png_set_chunk_malloc_max(png, std::min<size_t>(size, MAX_CHUNK_BYTES));
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, IGNORED_CHUNKS, sizeof(IGNORED_CHUNKS) / 5);
    std::vector<png_bytep> rows(limits.maxHeight);
    DecodeResult sizeResult;
    bool ok = Decompress(png, info, limits, picture, &sizeResult, rows.data(), rows.size());
    png_destroy_read_struct(&png, &info, nullptr);
    if (ok) {
        return DecodeResult::Success();
    }
    picture->pixels.clear();
    if (!sizeResult.Ok()) {
        return sizeResult;
    }
    std::string message(source.message);
    return DecodeResult::Invalid("PNG: " + (message.empty() ? std::string("damaged data") : message));
}

} // namespace platform::d3dx
