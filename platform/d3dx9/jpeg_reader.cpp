// Decodes JPEG files with libjpeg: baseline and progressive, greyscale, YCbCr and CMYK. libjpeg
// itself pads a truncated file with grey and only warns; here a warning about corrupt or missing data
// fails the decode, so a damaged picture is never shown half grey. Stray bytes before a marker and a
// missing end marker behind complete data lose nothing, so such pictures decode as other programs show
// them.
#include "d3dx9/jpeg_reader.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace platform::d3dx {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
    bool dataDamaged; // a warning that data was lost or could not be decoded
    bool endMissing;  // the file ended before its end marker
};

void OnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    manager->base.format_message(info, manager->message);
    longjmp(manager->escape, 1);
}

void OnMessage(j_common_ptr info, int level) {
    // Level -1 is a warning about the data; everything else is tracing. Nothing is printed.
    if (level >= 0) {
        return;
    }
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    switch (manager->base.msg_code) {
    case JWRN_EXTRANEOUS_DATA: // bytes between the data and a marker, which nothing decodes
    case JWRN_JFIF_MAJOR:      // a newer JFIF header
        return;
    case JWRN_JPEG_EOF: // libjpeg supplies the end marker; whether data is missing is decided later
        manager->endMissing = true;
        break;
    default:
        manager->dataDamaged = true;
        break;
    }
    if (manager->message[0] == '\0') {
        manager->base.format_message(info, manager->message);
    }
}

// Whether every coefficient of every component of a progressive picture arrived at full precision, that
// is, no scan is missing from the data.
bool ProgressionComplete(const jpeg_decompress_struct* info) {
    for (int component = 0; component < info->num_components; ++component) {
        for (int coefficient = 0; coefficient < DCTSIZE2; ++coefficient) {
            if (info->coef_bits[component][coefficient] != 0) {
                return false;
            }
        }
    }
    return true;
}

// CMYK JPEGs store inverted ink values, as Adobe's programs write them, with or without Adobe's
// marker (other viewers read them so too): each stored value scales the white.
uint32_t FromCmyk(const JSAMPLE* p) {
    uint32_t r = static_cast<uint32_t>((p[0] * p[3] + 127) / 255);
    uint32_t g = static_cast<uint32_t>((p[1] * p[3] + 127) / 255);
    uint32_t b = static_cast<uint32_t>((p[2] * p[3] + 127) / 255);
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// The decode itself, kept free of C++ objects with destructors because libjpeg leaves it by longjmp.
// Returns false with the message in the error manager.
bool Decompress(jpeg_decompress_struct* info, ErrorManager* errors, const uint8_t* data, size_t size,
                const DecodeLimits& limits, Picture* picture, DecodeResult* sizeResult) {
    if (setjmp(errors->escape) != 0) {
        return false;
    }
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    info->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    *sizeResult = AllocatePicture(info->image_width, info->image_height, limits, picture);
    if (!sizeResult->Ok()) {
        return false;
    }
    jpeg_start_decompress(info);
    // A file that ends without its end marker lost nothing when its one Huffman-coded scan was whole
    // (a scan cut short warns that data is missing) or when every progressive scan arrived (a
    // progressive picture has read all its scans by now). A file of several sequential scans, or an
    // arithmetic-coded one, may lack whole data without a warning: it needs its end marker.
    const bool completeWithoutEnd =
        !info->arith_code &&
        (info->progressive_mode ? ProgressionComplete(info) : !jpeg_has_multiple_scans(info));
    // One row of output samples, kept by libjpeg until the decompressor is destroyed; without scaling
    // the output has the picture's size.
    JSAMPARRAY rows = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                 info->output_width * info->output_components, 1);
    while (info->output_scanline < info->output_height) {
        uint32_t y = info->output_scanline;
        if (jpeg_read_scanlines(info, rows, 1) != 1) {
            return false;
        }
        uint32_t* target = picture->pixels.data() + static_cast<size_t>(y) * picture->width;
        for (uint32_t x = 0; x < picture->width; ++x) {
            const JSAMPLE* p = rows[0] + static_cast<size_t>(x) * info->output_components;
            target[x] = cmyk ? FromCmyk(p) : (0xFF000000u | (p[0] << 16) | (p[1] << 8) | p[2]);
        }
    }
    jpeg_finish_decompress(info);
    return !errors->dataDamaged && (!errors->endMissing || completeWithoutEnd);
}

} // namespace

DecodeResult DecodeJpeg(const uint8_t* data, size_t size, const DecodeLimits& limits, Picture* picture) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        return DecodeResult::Invalid("JPEG: missing start-of-image marker");
    }
    jpeg_decompress_struct info = {};
    ErrorManager errors = {};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = OnMessage;
    jpeg_create_decompress(&info);
    DecodeResult sizeResult;
    bool ok = Decompress(&info, &errors, data, size, limits, picture, &sizeResult);
    jpeg_destroy_decompress(&info);
    if (ok) {
        return DecodeResult::Success();
    }
    picture->pixels.clear();
    if (!sizeResult.Ok()) {
        return sizeResult;
    }
    std::string reason = "JPEG: ";
    reason += errors.message[0] != '\0' ? errors.message : "damaged data";
    return DecodeResult::Invalid(reason);
}

} // namespace platform::d3dx
