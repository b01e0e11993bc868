// Sampling routines.
#include "d3d9/pipeline/sampler.h"

#include "d3d9/texture.h"

#include <algorithm>
#include <bit>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform::d3d9 {

namespace {

TexelFilter ToFilter(DWORD value) {
    return value == D3DTEXF_LINEAR ? TexelFilter::Linear : TexelFilter::Point;
}

AddressMode ToAddress(DWORD value) {
    switch (value) {
    case D3DTADDRESS_MIRROR:
        return AddressMode::Mirror;
    case D3DTADDRESS_CLAMP:
        return AddressMode::Clamp;
    case D3DTADDRESS_BORDER:
        return AddressMode::Border;
    default:
        return AddressMode::Wrap;
    }
}

// Maps a texel index into 0..size-1; -1 for a border texel.
inline int AddressTexel(int64_t i, int size, AddressMode mode) {
    if (i >= 0 && i < size) {
        return static_cast<int>(i);
    }
    switch (mode) {
    case AddressMode::Wrap: {
        if ((size & (size - 1)) == 0) {
            // Powers of two wrap with a mask, also for negative indices.
            return static_cast<int>(i & (size - 1));
        }
        int64_t m = i % size;
        return static_cast<int>(m < 0 ? m + size : m);
    }
    case AddressMode::Mirror: {
        int64_t period = 2 * static_cast<int64_t>(size);
        int64_t m = i % period;
        if (m < 0) {
            m += period;
        }
        return static_cast<int>(m < size ? m : period - 1 - m);
    }
    case AddressMode::Clamp:
        return i < 0 ? 0 : size - 1;
    default:
        return -1;
    }
}

// Rounds to the nearest integer (ties to even) in one instruction where the processor has one.
inline int64_t RoundToInt(float value) {
    value = std::clamp(value, -1.0e9f, 1.0e9f);
#if defined(__SSE__)
    return _mm_cvtss_si32(_mm_set_ss(value));
#else
    return static_cast<int64_t>(std::nearbyint(value));
#endif
}

// Texel position in 1/256 texel units (fixed point, snapped).
inline int64_t SnapTexel(float coordinate, int size) {
    return RoundToInt(coordinate * static_cast<float>(size * 256));
}

inline uint32_t Fetch(const SamplerSetup& s, const MipLevel& level, int64_t x, int64_t y) {
    int ix = AddressTexel(x, level.width, s.addressU);
    int iy = AddressTexel(y, level.height, s.addressV);
    if (ix < 0 || iy < 0) {
        return s.borderColour;
    }
    return level.pixels[static_cast<size_t>(iy) * level.width + ix];
}

uint32_t SamplePoint(const SamplerSetup& s, const MipLevel& level, float u, float v) {
    int64_t x = SnapTexel(u, level.width) >> 8;
    int64_t y = SnapTexel(v, level.height) >> 8;
    return Fetch(s, level, x, y);
}

uint32_t SampleLinear(const SamplerSetup& s, const MipLevel& level, float u, float v) {
    // Bilinear weights come from the texel position less half a texel, in 1/256 steps.
    int64_t x = SnapTexel(u, level.width) - 128;
    int64_t y = SnapTexel(v, level.height) - 128;
    int64_t x0 = x >> 8, y0 = y >> 8;
    uint32_t fx = static_cast<uint32_t>(x & 255), fy = static_cast<uint32_t>(y & 255);
    uint32_t c00 = Fetch(s, level, x0, y0), c10 = Fetch(s, level, x0 + 1, y0);
    uint32_t c01 = Fetch(s, level, x0, y0 + 1), c11 = Fetch(s, level, x0 + 1, y0 + 1);
    uint32_t w00 = (256 - fx) * (256 - fy), w10 = fx * (256 - fy), w01 = (256 - fx) * fy, w11 = fx * fy;
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = ((c00 >> shift) & 255) * w00 + ((c10 >> shift) & 255) * w10 +
                       ((c01 >> shift) & 255) * w01 + ((c11 >> shift) & 255) * w11;
        result |= ((sum + 32768) >> 16) << shift;
    }
    return result;
}

uint32_t SampleLevel(const SamplerSetup& s, int level, TexelFilter filter, float u, float v) {
    const MipLevel& mip = s.levels[level];
    return filter == TexelFilter::Linear ? SampleLinear(s, mip, u, v) : SamplePoint(s, mip, u, v);
}

uint32_t LerpColour(uint32_t a, uint32_t b, uint32_t weight) {
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t ca = (a >> shift) & 255, cb = (b >> shift) & 255;
        result |= ((ca * (256 - weight) + cb * weight + 128) >> 8) << shift;
    }
    return result;
}

const uint32_t* SampleWhite(const SamplerSetup&, const TexCoordSpan&, int count, uint32_t* out) {
    std::fill(out, out + count, 0xFFFFFFFFu);
    return out;
}

const uint32_t* SamplePointAffine(const SamplerSetup& s, const TexCoordSpan& span, int count, uint32_t* out) {
    const MipLevel& level = s.levels[0];
    FixedTexelSpan fixed{FixedTexelPosition(span.s, level.width), FixedTexelPosition(span.t, level.height),
                         FixedTexelStep(span.dsdx, level.width), FixedTexelStep(span.dtdx, level.height)};
    return PointTexels(s, fixed, count, out);
}

} // namespace

int64_t FixedTexelPosition(float coordinate, int size) {
    return SnapTexel(coordinate, size) << 8;
}

int64_t FixedTexelStep(float step, int size) {
    return RoundToInt(step * static_cast<float>(size * 65536));
}

// Level 0, point filter: fixed-point stepping, reading the texels in place when the span runs one texel
// per pixel along a row, with a plain indexed loop when it stays inside the texture.
const uint32_t* PointTexels(const SamplerSetup& s, const FixedTexelSpan& span, int count, uint32_t* out) {
    const MipLevel& level = s.levels[0];
    const int64_t x = span.x, y = span.y, dx = span.dx, dy = span.dy;
    const int64_t lastX = x + dx * (count - 1), lastY = y + dy * (count - 1);
    const int64_t limitX = static_cast<int64_t>(level.width) << 16;
    const int64_t limitY = static_cast<int64_t>(level.height) << 16;
    bool inside = std::min(x, lastX) >= 0 && std::max(x, lastX) < limitX && std::min(y, lastY) >= 0 &&
                  std::max(y, lastY) < limitY;
    if (inside && dy == 0) {
        const uint32_t* row = level.pixels + static_cast<size_t>(y >> 16) * level.width;
        if (dx == 65536) {
            return row + (x >> 16);
        }
        for (int i = 0; i < count; ++i) {
            out[i] = row[(x + dx * i) >> 16];
        }
    } else if (inside) {
        for (int i = 0; i < count; ++i) {
            out[i] =
                level.pixels[static_cast<size_t>((y + dy * i) >> 16) * level.width + ((x + dx * i) >> 16)];
        }
    } else {
        for (int i = 0; i < count; ++i) {
            out[i] = Fetch(s, level, (x + dx * i) >> 16, (y + dy * i) >> 16);
        }
    }
    return out;
}

namespace {

// Level 0, bilinear filter, affine coordinates: fixed-point stepping with 8-bit weights, two channels
// at a time, and fetches without addressing wherever the footprint lies inside the texture.
const uint32_t* SampleLinearAffine(const SamplerSetup& s, const TexCoordSpan& span, int count,
                                   uint32_t* out) {
    const MipLevel& level = s.levels[0];
    // Texel positions less half a texel, in 1/65536 texel.
    const int64_t x = FixedTexelPosition(span.s, level.width) - 32768;
    const int64_t y = FixedTexelPosition(span.t, level.height) - 32768;
    const int64_t dx = FixedTexelStep(span.dsdx, level.width), dy = FixedTexelStep(span.dtdx, level.height);
    [[maybe_unused]] auto lerp = [](uint32_t a, uint32_t b, uint32_t w) {
        uint32_t rb = ((a & 0x00FF00FF) * (256 - w) + (b & 0x00FF00FF) * w) >> 8;
        uint32_t ag = ((a >> 8) & 0x00FF00FF) * (256 - w) + ((b >> 8) & 0x00FF00FF) * w;
        return (rb & 0x00FF00FF) | (ag & 0xFF00FF00);
    };
    for (int i = 0; i < count; ++i) {
        const int64_t px = x + dx * i, py = y + dy * i;
        const int64_t x0 = px >> 16, y0 = py >> 16;
        const uint32_t fx = static_cast<uint32_t>(px >> 8) & 255, fy = static_cast<uint32_t>(py >> 8) & 255;
        uint32_t c00, c10, c01, c11;
        // Inside the texture with the right and lower neighbours: fetch without addressing.
        if (static_cast<uint64_t>(x0) < static_cast<uint64_t>(level.width - 1) &&
            static_cast<uint64_t>(y0) < static_cast<uint64_t>(level.height - 1)) {
            const uint32_t* p = level.pixels + static_cast<size_t>(y0) * level.width + x0;
            c00 = p[0];
            c10 = p[1];
            c01 = p[level.width];
            c11 = p[level.width + 1];
        } else {
            c00 = Fetch(s, level, x0, y0);
            c10 = Fetch(s, level, x0 + 1, y0);
            c01 = Fetch(s, level, x0, y0 + 1);
            c11 = Fetch(s, level, x0 + 1, y0 + 1);
        }
#if defined(__SSE2__)
        // Rows first, then columns, on 16-bit lanes: [c00 | c10] and [c01 | c11].
        const __m128i zero = _mm_setzero_si128();
        __m128i top = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(c00)),
                                                           _mm_cvtsi32_si128(static_cast<int>(c10))),
                                        zero);
        __m128i bottom = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(c01)),
                                                              _mm_cvtsi32_si128(static_cast<int>(c11))),
                                           zero);
        __m128i column =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(top, _mm_set1_epi16(static_cast<short>(256 - fy))),
                                         _mm_mullo_epi16(bottom, _mm_set1_epi16(static_cast<short>(fy)))),
                           8);
        __m128i weighted = _mm_mullo_epi16(
            column,
            _mm_set_epi16(static_cast<short>(fx), static_cast<short>(fx), static_cast<short>(fx),
                          static_cast<short>(fx), static_cast<short>(256 - fx), static_cast<short>(256 - fx),
                          static_cast<short>(256 - fx), static_cast<short>(256 - fx)));
        __m128i sum = _mm_srli_epi16(_mm_add_epi16(weighted, _mm_srli_si128(weighted, 8)), 8);
        out[i] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, zero)));
#else
        out[i] = lerp(lerp(c00, c10, fx), lerp(c01, c11, fx), fy);
#endif
    }
    return out;
}

} // namespace

namespace {

// The nearest mip level for a squared footprint rho > 1: floor(log2(rho) / 2 + 1/2), which is half the
// binary exponent of 2 * rho.
inline int NearestLevel(const SamplerSetup& s, float rho) {
    int exponent = static_cast<int>((std::bit_cast<uint32_t>(2.0f * rho) >> 23) & 0xFF) - 127;
    return std::clamp(exponent >> 1, s.maxMipLevel, s.levelCount - 1);
}

// Point filter in both directions on perspective coordinates, without or with nearest-level mip
// selection: the general routine's arithmetic without its per-pixel choices of filter.
template <bool kMip>
const uint32_t* SamplePointPerspective(const SamplerSetup& s, const TexCoordSpan& span, int count,
                                       uint32_t* out) {
    const float width = static_cast<float>(s.levels[0].width),
                height = static_cast<float>(s.levels[0].height);
    for (int i = 0; i < count; ++i) {
        float S = span.s + span.dsdx * i, T = span.t + span.dtdx * i, Q = span.q + span.dqdx * i;
        float w = 1.0f / Q;
        float u = S * w, v = T * w;
        int level = 0;
        if constexpr (kMip) {
            level = s.maxMipLevel;
            float dudx = (span.dsdx - u * span.dqdx) * w * width,
                  dvdx = (span.dtdx - v * span.dqdx) * w * height;
            float dudy = (span.dsdy - u * span.dqdy) * w * width,
                  dvdy = (span.dtdy - v * span.dqdy) * w * height;
            float rho = std::max(dudx * dudx + dvdx * dvdx, dudy * dudy + dvdy * dvdy);
            if (rho > 1.0f) {
                level = NearestLevel(s, rho);
            }
        }
        out[i] = SamplePoint(s, s.levels[level], u, v);
    }
    return out;
}

} // namespace

bool IsPointAffineRoutine(SampleRoutine routine) {
    return routine == SamplePointAffine;
}

SamplerSetup MakeSamplerSetup(const Texture* texture, const DWORD* states) {
    SamplerSetup s;
    s.magFilter = ToFilter(states[D3DSAMP_MAGFILTER]);
    s.minFilter = ToFilter(states[D3DSAMP_MINFILTER]);
    DWORD mip = states[D3DSAMP_MIPFILTER];
    s.mipMode = mip == D3DTEXF_NONE     ? MipMode::None
                : mip == D3DTEXF_LINEAR ? MipMode::Linear
                                        : MipMode::Point;
    s.addressU = ToAddress(states[D3DSAMP_ADDRESSU]);
    s.addressV = ToAddress(states[D3DSAMP_ADDRESSV]);
    s.borderColour = states[D3DSAMP_BORDERCOLOR];
    if (!texture) {
        return s;
    }
    s.white = false;
    s.levelCount = std::min(texture->LevelCount(), MAX_MIP_LEVELS);
    for (int i = 0; i < s.levelCount; ++i) {
        const Image& image = texture->Level(i);
        s.levels[i] = MipLevel{image.SamplePixels(), image.width, image.height};
    }
    s.maxMipLevel = std::clamp(static_cast<int>(states[D3DSAMP_MAXMIPLEVEL]), 0, s.levelCount - 1);
    return s;
}

namespace {

// Any filter, mip filter and addressing, on perspective coordinates.
const uint32_t* SampleGeneral(const SamplerSetup& s, const TexCoordSpan& span, int count, uint32_t* out) {
    if (s.white) {
        return SampleWhite(s, span, count, out);
    }
    const bool needLod = s.mipMode != MipMode::None || s.magFilter != s.minFilter;
    const float width = static_cast<float>(s.levels[0].width),
                height = static_cast<float>(s.levels[0].height);
    for (int i = 0; i < count; ++i) {
        float S = span.s + span.dsdx * i, T = span.t + span.dtdx * i, Q = span.q + span.dqdx * i;
        float w = 1.0f / Q;
        float u = S * w, v = T * w;
        if (!needLod) {
            out[i] = SampleLevel(s, 0, s.magFilter, u, v);
            continue;
        }
        // Derivatives of u and v in texels along x and y, from the quotient rule on S/Q and T/Q; rho is
        // the square of the larger footprint, so the level of detail is log2(rho) / 2.
        float dudx = (span.dsdx - u * span.dqdx) * w * width, dvdx = (span.dtdx - v * span.dqdx) * w * height;
        float dudy = (span.dsdy - u * span.dqdy) * w * width, dvdy = (span.dtdy - v * span.dqdy) * w * height;
        float rho = std::max(dudx * dudx + dvdx * dvdx, dudy * dudy + dvdy * dvdy);
        if (!(rho > 1.0f)) {
            // Magnified (or degenerate): the most detailed level allowed, with the magnification filter.
            out[i] = SampleLevel(s, s.mipMode == MipMode::None ? 0 : s.maxMipLevel, s.magFilter, u, v);
        } else if (s.mipMode == MipMode::None) {
            out[i] = SampleLevel(s, 0, s.minFilter, u, v);
        } else if (s.mipMode == MipMode::Point) {
            out[i] = SampleLevel(s, NearestLevel(s, rho), s.minFilter, u, v);
        } else {
            // Levels more detailed than the largest allowed one are not used, nor mixed in.
            float lod = std::clamp(0.5f * std::log2(rho), static_cast<float>(s.maxMipLevel), 64.0f);
            int level = std::min(static_cast<int>(lod), s.levelCount - 1);
            int nextLevel = std::min(level + 1, s.levelCount - 1);
            uint32_t weight =
                static_cast<uint32_t>((lod - static_cast<float>(static_cast<int>(lod))) * 256.0f);
            uint32_t a = SampleLevel(s, level, s.minFilter, u, v);
            uint32_t b = SampleLevel(s, nextLevel, s.minFilter, u, v);
            out[i] = level == nextLevel ? a : LerpColour(a, b, std::min(weight, 256u));
        }
    }
    return out;
}

} // namespace

SampleRoutine ChooseSampleRoutine(const SamplerSetup& s, bool perspective) {
    if (s.white) {
        return SampleWhite;
    }
    if (!perspective && s.mipMode == MipMode::None && s.magFilter == TexelFilter::Point &&
        s.minFilter == TexelFilter::Point && s.addressU != AddressMode::Border &&
        s.addressV != AddressMode::Border) {
        return SamplePointAffine;
    }
    if (!perspective && s.mipMode == MipMode::None && s.magFilter == TexelFilter::Linear &&
        s.minFilter == TexelFilter::Linear && s.addressU != AddressMode::Border &&
        s.addressV != AddressMode::Border) {
        return SampleLinearAffine;
    }
    if (s.magFilter == TexelFilter::Point && s.minFilter == TexelFilter::Point &&
        s.mipMode != MipMode::Linear && s.addressU != AddressMode::Border &&
        s.addressV != AddressMode::Border) {
        return s.mipMode == MipMode::Point ? SamplePointPerspective<true> : SamplePointPerspective<false>;
    }
    return SampleGeneral;
}

} // namespace platform::d3d9
