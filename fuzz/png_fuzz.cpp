// Fuzzes the PNG reader of the texture loader: any input either decodes within the limits or is
// refused with a reason, without reading past the data.
#include "d3dx9/png_reader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::d3dx::DecodeLimits limits;
    limits.maxWidth = 2048;
    limits.maxHeight = 2048;
    platform::d3dx::Picture picture;
    platform::d3dx::DecodeResult result = platform::d3dx::DecodePng(data, size, limits, &picture);
    if (result.Ok() && picture.pixels.size() != size_t(picture.width) * picture.height) {
        std::abort(); // a success must hand back a whole picture
    }
    if (!result.Ok() && result.reason.empty()) {
        std::abort(); // every refusal says why
    }
    return 0;
}
