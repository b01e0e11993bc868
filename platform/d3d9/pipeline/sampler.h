// Texture sampling for one span of pixels: point and bilinear filters, mip levels chosen from the
// texture-coordinate derivatives, wrap / mirror / clamp / border addressing. Texels are A8R8G8B8;
// a stage without a texture reads opaque white. Texel positions are snapped to 1/256 of a texel, as
// hardware does, so that coordinates landing exactly on a texel edge sample the same texel however
// they were interpolated.
#pragma once

#include "d3d9/d3d9.h"

#include <cstdint>

namespace platform::d3d9 {

class Texture;

enum class TexelFilter { Point, Linear };
enum class MipMode { None, Point, Linear };
enum class AddressMode { Wrap, Mirror, Clamp, Border };

constexpr int MAX_MIP_LEVELS = 16;

struct MipLevel {
    const uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

struct SamplerSetup {
    bool white = true; // no texture bound
    MipLevel levels[MAX_MIP_LEVELS];
    int levelCount = 0;
    TexelFilter magFilter = TexelFilter::Point;
    TexelFilter minFilter = TexelFilter::Point;
    MipMode mipMode = MipMode::None;
    AddressMode addressU = AddressMode::Wrap;
    AddressMode addressV = AddressMode::Wrap;
    uint32_t borderColour = 0;
    int maxMipLevel = 0; // the largest level that may be used
};

// Texture coordinates at the first pixel of a span and their steps per pixel in x and y. With
// perspective, s and t are u/w and v/w and q is 1/w; without, q is 1.
struct TexCoordSpan {
    float s, t, q;
    float dsdx, dtdx, dqdx;
    float dsdy, dtdy, dqdy;
};

// Returns the span's texels: either scratch, filled with them, or the texture's own memory when the
// span reads a run of texels in place.
using SampleRoutine = const uint32_t* (*)(const SamplerSetup& sampler, const TexCoordSpan& span, int count,
                                          uint32_t* scratch);

// Texel positions of a span in 1/65536 texel (after snapping to 1/256 texel): the first pixel's and the
// step per pixel.
struct FixedTexelSpan {
    int64_t x, y, dx, dy;
};

// Point samples of level 0 along a fixed-point span: the core of the point routine for affine
// coordinates, also called directly by the rasteriser when it steps texel positions itself.
const uint32_t* PointTexels(const SamplerSetup& sampler, const FixedTexelSpan& span, int count,
                            uint32_t* scratch);

// Snapped fixed-point texel position of coordinate u (or v) on a level of the given size.
int64_t FixedTexelPosition(float coordinate, int size);
// A coordinate step per pixel as a fixed-point texel step.
int64_t FixedTexelStep(float step, int size);

// Resolves the sampler states and the bound texture into a setup.
SamplerSetup MakeSamplerSetup(const Texture* texture, const DWORD* samplerStates);

// The routine for a setup: specialised for the common cases, general otherwise.
SampleRoutine ChooseSampleRoutine(const SamplerSetup& sampler, bool perspective);

// Whether the routine is the point routine for affine coordinates (which PointTexels implements).
bool IsPointAffineRoutine(SampleRoutine routine);

} // namespace platform::d3d9
