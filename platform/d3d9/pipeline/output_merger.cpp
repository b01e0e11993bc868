// Alpha test, depth test and blend routines.
#include "d3d9/pipeline/output_merger.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#endif

namespace platform::d3d9 {

namespace {

template <DWORD F> inline bool Compare(uint32_t value, uint32_t reference) {
    if constexpr (F == D3DCMP_NEVER) {
        return false;
    } else if constexpr (F == D3DCMP_LESS) {
        return value < reference;
    } else if constexpr (F == D3DCMP_EQUAL) {
        return value == reference;
    } else if constexpr (F == D3DCMP_LESSEQUAL) {
        return value <= reference;
    } else if constexpr (F == D3DCMP_GREATER) {
        return value > reference;
    } else if constexpr (F == D3DCMP_NOTEQUAL) {
        return value != reference;
    } else if constexpr (F == D3DCMP_GREATEREQUAL) {
        return value >= reference;
    } else {
        return true;
    }
}

template <DWORD F> bool AlphaTest(const uint32_t* colour, int count, uint32_t reference, uint8_t* mask) {
    uint8_t any = 0;
    for (int i = 0; i < count; ++i) {
        uint8_t pass = Compare<F>(colour[i] >> 24, reference) ? 1 : 0;
        mask[i] = pass;
        any |= pass;
    }
    return any != 0;
}

template <DWORD F, bool kWrite>
bool DepthTest(float z0, float dz, int count, uint16_t* depth, uint8_t* mask, bool masked) {
    uint8_t any = 0;
    for (int i = 0; i < count; ++i) {
        if (masked && !mask[i]) {
            continue;
        }
        uint16_t z = DepthToD16(z0 + dz * static_cast<float>(i));
        uint8_t pass = Compare<F>(z, depth[i]) ? 1 : 0;
        if (kWrite && pass) {
            depth[i] = z;
        }
        mask[i] = pass;
        any |= pass;
    }
    return any != 0;
}

// The factor for one channel: c is the channel's own source value, a the source alpha.
template <DWORD F> inline uint32_t Factor(uint32_t c, uint32_t a) {
    if constexpr (F == D3DBLEND_ZERO) {
        return 0;
    } else if constexpr (F == D3DBLEND_ONE) {
        return 255;
    } else if constexpr (F == D3DBLEND_SRCCOLOR) {
        return c;
    } else if constexpr (F == D3DBLEND_INVSRCCOLOR) {
        return 255 - c;
    } else if constexpr (F == D3DBLEND_SRCALPHA) {
        return a;
    } else {
        return 255 - a;
    }
}

template <DWORD S, DWORD D> inline uint32_t BlendPixel(uint32_t source, uint32_t target) {
    if constexpr (S == D3DBLEND_ONE && D == D3DBLEND_ZERO) {
        return source | 0xFF000000u;
    } else if constexpr (S == D3DBLEND_ONE && D == D3DBLEND_ONE) {
        uint32_t result = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            result |= std::min(((source >> shift) & 255) + ((target >> shift) & 255), 255u) << shift;
        }
        return result;
    } else if constexpr (S == D3DBLEND_SRCALPHA && D == D3DBLEND_INVSRCALPHA) {
        // One division by 255 for both terms: exact rounding of (s * a + d * (255 - a)) / 255.
        uint32_t a = source >> 24;
        uint32_t result = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            uint32_t v = ((source >> shift) & 255) * a + ((target >> shift) & 255) * (255 - a) + 128;
            result |= ((v + (v >> 8)) >> 8) << shift;
        }
        return result;
    } else {
        uint32_t a = source >> 24;
        uint32_t result = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            uint32_t s = (source >> shift) & 255, d = (target >> shift) & 255;
            uint32_t v = s * Factor<S>(s, a) + d * Factor<D>(s, a) + 128;
            result |= std::min((v + (v >> 8)) >> 8, 255u) << shift;
        }
        return result;
    }
}

#if defined(__SSE2__)
// Four pixels at once for the two blends of the 2D layer; the results equal BlendPixel's.
template <DWORD S, DWORD D>
constexpr bool HAS_VECTOR_BLEND = (S == D3DBLEND_ONE && D == D3DBLEND_ONE) ||
                                  (S == D3DBLEND_SRCALPHA && D == D3DBLEND_INVSRCALPHA) ||
                                  (S == D3DBLEND_ONE && D == D3DBLEND_ZERO);

template <DWORD S, DWORD D> inline __m128i BlendFour(__m128i source, __m128i target) {
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    if constexpr (S == D3DBLEND_ONE && D == D3DBLEND_ZERO) {
        return _mm_or_si128(source, opaque);
    } else if constexpr (S == D3DBLEND_ONE && D == D3DBLEND_ONE) {
        return _mm_or_si128(_mm_adds_epu8(source, target), opaque);
    } else {
        const __m128i zero = _mm_setzero_si128();
        const __m128i full = _mm_set1_epi16(255);
        const __m128i half = _mm_set1_epi16(128);
        auto blendTwo = [&](__m128i s, __m128i d) {
            // Alpha of each pixel in all four of its lanes.
            __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
            __m128i v = _mm_add_epi16(
                _mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(d, _mm_sub_epi16(full, a))), half);
            return _mm_srli_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), 8);
        };
        __m128i low = blendTwo(_mm_unpacklo_epi8(source, zero), _mm_unpacklo_epi8(target, zero));
        __m128i high = blendTwo(_mm_unpackhi_epi8(source, zero), _mm_unpackhi_epi8(target, zero));
        return _mm_or_si128(_mm_packus_epi16(low, high), opaque);
    }
}
#endif

template <DWORD S, DWORD D, bool kMasked>
void BlendSpan(const uint32_t* source, const uint8_t* mask, int count, uint32_t* target) {
    int start = 0;
#if defined(__SSE2__)
    if constexpr (!kMasked && HAS_VECTOR_BLEND<S, D>) {
        const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        for (; start + 4 <= count; start += 4) {
            __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + start));
            __m128i* out = reinterpret_cast<__m128i*>(target + start);
            if constexpr (S == D3DBLEND_SRCALPHA) {
                // Fully transparent groups leave the target as it is; fully opaque ones replace it.
                __m128i alpha = _mm_and_si128(s, alphaMask);
                if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_setzero_si128())) == 0xFFFF) {
                    continue;
                }
                if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, alphaMask)) == 0xFFFF) {
                    _mm_storeu_si128(out, s);
                    continue;
                }
            }
            _mm_storeu_si128(out, BlendFour<S, D>(s, _mm_loadu_si128(out)));
        }
    }
    if constexpr (kMasked && HAS_VECTOR_BLEND<S, D>) {
        // Masked groups: blend all four, then keep the target where the mask is clear.
        const __m128i zero = _mm_setzero_si128();
        for (; start + 4 <= count; start += 4) {
            uint32_t bits;
            std::memcpy(&bits, mask + start, 4);
            if (bits == 0) {
                continue;
            }
            __m128i keep = _mm_cvtsi32_si128(static_cast<int>(bits));
            keep = _mm_unpacklo_epi16(_mm_unpacklo_epi8(keep, zero), zero);
            keep = _mm_cmpeq_epi32(keep, zero);
            __m128i* out = reinterpret_cast<__m128i*>(target + start);
            __m128i d = _mm_loadu_si128(out);
            __m128i blended =
                BlendFour<S, D>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source + start)), d);
            _mm_storeu_si128(out, _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, blended)));
        }
    }
#endif
    for (int i = start; i < count; ++i) {
        if (kMasked && !mask[i]) {
            continue;
        }
        target[i] = BlendPixel<S, D>(source[i], target[i]);
    }
}

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define ZONKEL_AVX2_BLEND 1

// (s * a + d * (255 - a)) / 255 rounded, on 16-bit lanes holding four pixels' channels.
__attribute__((target("avx2"))) inline __m256i BlendHalfWide(__m256i s, __m256i d) {
    const __m256i full = _mm256_set1_epi16(255);
    const __m256i half = _mm256_set1_epi16(128);
    __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s, 0xFF), 0xFF);
    __m256i v = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(s, a), _mm256_mullo_epi16(d, _mm256_sub_epi16(full, a))), half);
    return _mm256_srli_epi16(_mm256_add_epi16(v, _mm256_srli_epi16(v, 8)), 8);
}

// Eight pixels at once where the processor has AVX2 (checked once at run time); the same arithmetic as
// BlendFour, lane by lane.
template <DWORD S, DWORD D>
__attribute__((target("avx2"))) void BlendSpanWide(const uint32_t* source, int count, uint32_t* target) {
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i zero = _mm256_setzero_si256();
    int start = 0;
    for (; start + 8 <= count; start += 8) {
        __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + start));
        __m256i* out = reinterpret_cast<__m256i*>(target + start);
        if constexpr (S == D3DBLEND_ONE && D == D3DBLEND_ZERO) {
            _mm256_storeu_si256(out, _mm256_or_si256(s, alphaMask));
        } else if constexpr (S == D3DBLEND_ONE && D == D3DBLEND_ONE) {
            _mm256_storeu_si256(out,
                                _mm256_or_si256(_mm256_adds_epu8(s, _mm256_loadu_si256(out)), alphaMask));
        } else {
            __m256i alpha = _mm256_and_si256(s, alphaMask);
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, zero)) == -1) {
                continue;
            }
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, alphaMask)) == -1) {
                _mm256_storeu_si256(out, s);
                continue;
            }
            const __m256i d = _mm256_loadu_si256(out);
            __m256i low = BlendHalfWide(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(d, zero));
            __m256i high = BlendHalfWide(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(d, zero));
            _mm256_storeu_si256(out, _mm256_or_si256(_mm256_packus_epi16(low, high), alphaMask));
        }
    }
    BlendSpan<S, D, false>(source + start, nullptr, count - start, target + start);
}

bool HasWideVectors() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}
#endif

template <DWORD S, DWORD D>
void BlendDispatch(const uint32_t* source, const uint8_t* mask, int count, uint32_t* target) {
    if (mask) {
        BlendSpan<S, D, true>(source, mask, count, target);
        return;
    }
#if defined(ZONKEL_AVX2_BLEND)
    if constexpr (HAS_VECTOR_BLEND<S, D>) {
        if (HasWideVectors()) {
            BlendSpanWide<S, D>(source, count, target);
            return;
        }
    }
#endif
    BlendSpan<S, D, false>(source, mask, count, target);
}

template <DWORD S> BlendRoutine PickDestination(DWORD destination) {
    switch (destination) {
    case D3DBLEND_ZERO:
        return BlendDispatch<S, D3DBLEND_ZERO>;
    case D3DBLEND_ONE:
        return BlendDispatch<S, D3DBLEND_ONE>;
    case D3DBLEND_SRCCOLOR:
        return BlendDispatch<S, D3DBLEND_SRCCOLOR>;
    case D3DBLEND_INVSRCCOLOR:
        return BlendDispatch<S, D3DBLEND_INVSRCCOLOR>;
    case D3DBLEND_SRCALPHA:
        return BlendDispatch<S, D3DBLEND_SRCALPHA>;
    case D3DBLEND_INVSRCALPHA:
        return BlendDispatch<S, D3DBLEND_INVSRCALPHA>;
    default:
        // Factors this device does not implement count as ZERO.
        return BlendDispatch<S, D3DBLEND_ZERO>;
    }
}

template <DWORD F> AlphaTestRoutine AlphaFor() {
    return AlphaTest<F>;
}

template <DWORD F> DepthRoutine DepthFor(bool write) {
    return write ? DepthTest<F, true> : DepthTest<F, false>;
}

} // namespace

AlphaTestRoutine ChooseAlphaTest(bool enabled, DWORD compare) {
    if (!enabled) {
        return nullptr;
    }
    switch (compare) {
    case D3DCMP_NEVER:
        return AlphaFor<D3DCMP_NEVER>();
    case D3DCMP_LESS:
        return AlphaFor<D3DCMP_LESS>();
    case D3DCMP_EQUAL:
        return AlphaFor<D3DCMP_EQUAL>();
    case D3DCMP_LESSEQUAL:
        return AlphaFor<D3DCMP_LESSEQUAL>();
    case D3DCMP_GREATER:
        return AlphaFor<D3DCMP_GREATER>();
    case D3DCMP_NOTEQUAL:
        return AlphaFor<D3DCMP_NOTEQUAL>();
    case D3DCMP_GREATEREQUAL:
        return AlphaFor<D3DCMP_GREATEREQUAL>();
    default:
        return nullptr;
    }
}

DepthRoutine ChooseDepthTest(bool enabled, DWORD compare, bool write) {
    if (!enabled) {
        return nullptr;
    }
    switch (compare) {
    case D3DCMP_NEVER:
        return DepthFor<D3DCMP_NEVER>(write);
    case D3DCMP_LESS:
        return DepthFor<D3DCMP_LESS>(write);
    case D3DCMP_EQUAL:
        return DepthFor<D3DCMP_EQUAL>(write);
    case D3DCMP_LESSEQUAL:
        return DepthFor<D3DCMP_LESSEQUAL>(write);
    case D3DCMP_GREATER:
        return DepthFor<D3DCMP_GREATER>(write);
    case D3DCMP_NOTEQUAL:
        return DepthFor<D3DCMP_NOTEQUAL>(write);
    case D3DCMP_GREATEREQUAL:
        return DepthFor<D3DCMP_GREATEREQUAL>(write);
    default:
        return DepthFor<D3DCMP_ALWAYS>(write);
    }
}

BlendRoutine ChooseBlend(bool blendEnabled, DWORD sourceFactor, DWORD destinationFactor) {
    if (!blendEnabled) {
        return BlendDispatch<D3DBLEND_ONE, D3DBLEND_ZERO>;
    }
    switch (sourceFactor) {
    case D3DBLEND_ZERO:
        return PickDestination<D3DBLEND_ZERO>(destinationFactor);
    case D3DBLEND_ONE:
        return PickDestination<D3DBLEND_ONE>(destinationFactor);
    case D3DBLEND_SRCCOLOR:
        return PickDestination<D3DBLEND_SRCCOLOR>(destinationFactor);
    case D3DBLEND_INVSRCCOLOR:
        return PickDestination<D3DBLEND_INVSRCCOLOR>(destinationFactor);
    case D3DBLEND_SRCALPHA:
        return PickDestination<D3DBLEND_SRCALPHA>(destinationFactor);
    case D3DBLEND_INVSRCALPHA:
        return PickDestination<D3DBLEND_INVSRCALPHA>(destinationFactor);
    default:
        return PickDestination<D3DBLEND_ZERO>(destinationFactor);
    }
}

} // namespace platform::d3d9
