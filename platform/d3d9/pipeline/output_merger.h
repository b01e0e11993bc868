// The end of the pixel pipeline for one span: alpha test, D16 depth test and depth write, blending
// (source and destination factors ZERO, ONE, SRCCOLOR, INVSRCCOLOR, SRCALPHA, INVSRCALPHA; operation
// ADD) and the write to the X8R8G8B8 target. Each combination of states has its own routine.
#pragma once

#include "d3d9/d3d9.h"

#include <cstdint>

namespace platform::d3d9 {

// Sets mask[i] to whether pixel i passes; returns whether any does.
using AlphaTestRoutine = bool (*)(const uint32_t* colour, int count, uint32_t reference, uint8_t* mask);

// Tests depth z0 + dz * i against depth[i] for the pixels still in the mask (all of them when masked is
// false), updates the mask, writes passing depths when the routine writes; returns whether any passed.
using DepthRoutine = bool (*)(float z0, float dz, int count, uint16_t* depth, uint8_t* mask, bool masked);

// Blends the span into the target; a null mask writes every pixel.
using BlendRoutine = void (*)(const uint32_t* source, const uint8_t* mask, int count, uint32_t* target);

// Null when the alpha test passes everything (disabled, or ALWAYS).
AlphaTestRoutine ChooseAlphaTest(bool enabled, DWORD compare);
// Null when depth is neither tested nor written.
DepthRoutine ChooseDepthTest(bool enabled, DWORD compare, bool write);
// blendEnabled false writes the source unchanged.
BlendRoutine ChooseBlend(bool blendEnabled, DWORD sourceFactor, DWORD destinationFactor);

// The depth value stored for z in 0..1.
inline uint16_t DepthToD16(float z) {
    // Written so that NaN lands on 0.
    float clamped = z > 0.0f ? (z < 1.0f ? z : 1.0f) : 0.0f;
    return static_cast<uint16_t>(clamped * 65535.0f + 0.5f);
}

} // namespace platform::d3d9
