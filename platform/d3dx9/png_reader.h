// The PNG (through libpng) reader of the texture loader: file bytes in, an A8R8G8B8 picture out, or a failure
// with its reason. Nothing is read outside the given bytes.
#pragma once

#include "d3dx9/picture.h"

namespace platform::d3dx {

DecodeResult DecodePng(const uint8_t* data, size_t size, const DecodeLimits& limits, Picture* picture);

} // namespace platform::d3dx
