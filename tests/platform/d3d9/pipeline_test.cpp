// The pipeline's specialised routines against plain reference computations on random inputs, and
// the vertex format decoding of the engine's formats.
#include "d3d9/pipeline/output_merger.h"
#include "d3d9/pipeline/sampler.h"
#include "d3d9/pipeline/stage_combiner.h"
#include "d3d9/pipeline/vertex_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace platform::d3d9;

namespace {

// The routine chosen for the sampler against the general one over 64 pixels of the span: each channel
// within tolerance.
void ExpectSameTexels(const SamplerSetup& s, bool perspective, const TexCoordSpan& span, int tolerance) {
    SampleRoutine fast = ChooseSampleRoutine(s, perspective);
    ASSERT_NE(fast, &SampleGeneral);
    uint32_t expectedTexels[64], actualTexels[64];
    const uint32_t* expected = SampleGeneral(s, span, 64, expectedTexels);
    const uint32_t* actual = fast(s, span, 64, actualTexels);
    for (int i = 0; i < 64; ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            int a = static_cast<int>((expected[i] >> shift) & 255),
                b = static_cast<int>((actual[i] >> shift) & 255);
            ASSERT_LE(std::abs(a - b), tolerance) << "pixel " << i;
        }
    }
}

std::vector<uint32_t> RandomTexels(std::mt19937& random, size_t count) {
    std::vector<uint32_t> texels(count);
    for (uint32_t& t : texels) {
        t = random();
    }
    return texels;
}

// A coordinate on whole 1/256 texels of a side of size texels, as the interpolators of a quad on pixel
// corners give.
float Snap(float coordinate, int size) {
    return std::round(coordinate * size * 256) / (size * 256.0f);
}

// A span along x without perspective.
TexCoordSpan AffineSpan(float s, float t, float dsdx, float dtdx) {
    return {s, t, 1.0f, dsdx, dtdx, 0.0f, 0.0f, 0.0f, 0.0f};
}

// A sampler of one level of width x height texels, addressed alike in u and v.
SamplerSetup OneLevel(const std::vector<uint32_t>& texels, int width, int height, AddressMode mode) {
    SamplerSetup s;
    s.white = false;
    s.levels[0] = MipLevel{texels.data(), width, height};
    s.levelCount = 1;
    s.addressU = s.addressV = mode;
    return s;
}

} // namespace

TEST(VertexFormat, EngineFormatsDecodeToTheirFieldsAndStrides) {
    struct Row {
        DWORD fvf;
        bool pretransformed;
        int pointSize, diffuse, texCount, tex0, size;
    } rows[] = {
        {0x144, true, -1, 16, 1, 20, 28},  {0x112, false, -1, -1, 1, 24, 32},
        {0x102, false, -1, -1, 1, 12, 20}, {0x104, true, -1, -1, 1, 16, 24},
        {0x142, false, -1, 12, 1, 16, 24}, {0x242, false, -1, 12, 2, 16, 32},
        {0x62, false, 12, 16, 0, 0, 20},
    };
    for (const Row& row : rows) {
        VertexLayout layout = DecodeVertexFormat(row.fvf);
        ASSERT_TRUE(layout.valid) << std::hex << row.fvf;
        EXPECT_EQ(layout.pretransformed, row.pretransformed) << std::hex << row.fvf;
        EXPECT_EQ(layout.pointSizeOffset, row.pointSize) << std::hex << row.fvf;
        EXPECT_EQ(layout.diffuseOffset, row.diffuse) << std::hex << row.fvf;
        EXPECT_EQ(layout.texCoordCount, row.texCount) << std::hex << row.fvf;
        if (row.texCount > 0) {
            EXPECT_EQ(layout.texCoordOffset[0], row.tex0) << std::hex << row.fvf;
        }
        EXPECT_EQ(layout.size, row.size) << std::hex << row.fvf;
    }
    EXPECT_EQ(DecodeVertexFormat(0x242).texCoordOffset[1], 24);
    EXPECT_FALSE(DecodeVertexFormat(0).valid);
    EXPECT_FALSE(DecodeVertexFormat(D3DFVF_XYZ | 0x10000).valid);
}

TEST(BlendRoutines, EveryFactorPairMatchesTheReferenceWithAndWithoutAMask) {
    const DWORD factors[] = {D3DBLEND_ZERO,        D3DBLEND_ONE,      D3DBLEND_SRCCOLOR,
                             D3DBLEND_INVSRCCOLOR, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA};
    std::mt19937 random(7);
    // 61 pixels: whole groups of eight and of four, and a remainder. Runs of fully transparent and
    // fully opaque pixels take the vector routines' shortcuts.
    std::vector<uint32_t> source(61), target(61);
    std::vector<uint8_t> mask(61);
    for (DWORD s : factors) {
        for (DWORD d : factors) {
            for (bool masked : {false, true}) {
                for (size_t i = 0; i < source.size(); ++i) {
                    uint32_t alpha = i < 16 ? 0 : (i < 32 ? 0xFF : random() & 0xFF);
                    source[i] = (random() & 0x00FFFFFF) | alpha << 24;
                    target[i] = random() | 0xFF000000u;
                    mask[i] = random() & 1;
                }
                std::vector<uint32_t> result = target;
                ChooseBlend(true, s, d)(source.data(), masked ? mask.data() : nullptr,
                                        static_cast<int>(source.size()), result.data());
                for (size_t i = 0; i < source.size(); ++i) {
                    uint32_t expected =
                        masked && !mask[i] ? target[i] : BlendReference(source[i], target[i], s, d);
                    ASSERT_EQ(result[i], expected)
                        << "factors " << s << ", " << d << " pixel " << i << (masked ? " masked" : "");
                }
            }
        }
    }
}

TEST(BlendRoutines, DisabledBlendingWritesTheSourceOpaque) {
    uint32_t source = 0x12345678, target = 0xFF000000;
    ChooseBlend(false, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA)(&source, nullptr, 1, &target);
    EXPECT_EQ(target, 0xFF345678u);
}

TEST(CombineRoutines, SpecialisedStagePairsMatchTheGeneralCombiner) {
    const DWORD ops[] = {D3DTOP_DISABLE, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_MODULATE, D3DTOP_ADD};
    const DWORD args[] = {D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTA_TEXTURE, D3DTA_TFACTOR};
    std::mt19937 random(11);
    std::vector<uint32_t> diffuse(32), texture(32), general(32), special(32);
    for (DWORD colourOp : ops) {
        for (DWORD alphaOp : ops) {
            for (DWORD arg1 : args) {
                for (DWORD arg2 : args) {
                    DWORD stages[D3D_STAGE_COUNT][D3DTSS_COUNT] = {};
                    stages[0][D3DTSS_COLOROP] = colourOp;
                    stages[0][D3DTSS_COLORARG1] = arg1;
                    stages[0][D3DTSS_COLORARG2] = arg2;
                    stages[0][D3DTSS_ALPHAOP] = alphaOp;
                    stages[0][D3DTSS_ALPHAARG1] = arg2;
                    stages[0][D3DTSS_ALPHAARG2] = arg1;
                    stages[1][D3DTSS_COLOROP] = D3DTOP_DISABLE;
                    CombineSetup setup = MakeCombineSetup(stages, 0x80808080);
                    for (size_t i = 0; i < diffuse.size(); ++i) {
                        diffuse[i] = random();
                        texture[i] = random();
                    }
                    for (bool constant : {false, true}) {
                        CombineInputs in;
                        in.diffuse = constant ? nullptr : diffuse.data();
                        in.diffuseConstant = diffuse[0];
                        in.texture[0] = texture.data();
                        const uint32_t* expected = CombineGeneral(setup, in, 32, general.data());
                        const uint32_t* actual =
                            ChooseCombineRoutine(setup, constant)(setup, in, 32, special.data());
                        ASSERT_EQ(std::vector<uint32_t>(expected, expected + 32),
                                  std::vector<uint32_t>(actual, actual + 32))
                            << "ops " << colourOp << "/" << alphaOp << " args " << arg1 << "/" << arg2;
                    }
                }
            }
        }
    }
}

TEST(CombineRoutines, ModulateRoundsLikeEightBitHardware) {
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t b = 0; b < 256; ++b) {
            ASSERT_EQ(MultiplyChannel(a, b), static_cast<uint32_t>(std::lround(a * b / 255.0)))
                << a << " " << b;
        }
    }
}

TEST(SampleRoutines, PointAffineRoutineMatchesTheGeneralSampler) {
    std::mt19937 random(3);
    for (int size : {1, 3, 48, 64, 800}) {
        std::vector<uint32_t> texels = RandomTexels(random, static_cast<size_t>(size) * 5);
        for (AddressMode mode : {AddressMode::Wrap, AddressMode::Clamp, AddressMode::Mirror}) {
            SamplerSetup s = OneLevel(texels, size, 5, mode);
            std::uniform_real_distribution<float> start(-2.0f, 2.0f);
            for (int trial = 0; trial < 200; ++trial) {
                float steps[] = {1.0f / size, 0.0f, 0.5f / size, 2.0f / size};
                TexCoordSpan span = AffineSpan(Snap(start(random), size), Snap(start(random), 5),
                                               steps[trial % 4], steps[(trial / 4) % 4] * size / 5);
                ASSERT_NO_FATAL_FAILURE(ExpectSameTexels(s, false, span, 0))
                    << "size " << size << " trial " << trial;
            }
        }
    }
}

TEST(SampleRoutines, NoTextureReadsOpaqueWhite) {
    SamplerSetup s;
    TexCoordSpan span = AffineSpan(0.3f, 0.7f, 0.01f, 0.0f);
    uint32_t scratch[4];
    const uint32_t* out = ChooseSampleRoutine(s, true)(s, span, 4, scratch);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out[i], 0xFFFFFFFFu);
    }
}

TEST(DepthValues, DepthMapsToTheFullSixteenBitRange) {
    EXPECT_EQ(DepthToD16(0.0f), 0);
    EXPECT_EQ(DepthToD16(1.0f), 65535);
    EXPECT_EQ(DepthToD16(2.0f), 65535);
    EXPECT_EQ(DepthToD16(-1.0f), 0);
    EXPECT_EQ(DepthToD16(std::nanf("")), 0);
}

TEST(SampleRoutines, LinearAffineRoutineMatchesTheGeneralSamplerWithinRounding) {
    std::mt19937 random(5);
    for (int size : {2, 7, 64}) {
        std::vector<uint32_t> texels = RandomTexels(random, static_cast<size_t>(size) * size);
        for (AddressMode mode : {AddressMode::Wrap, AddressMode::Clamp}) {
            SamplerSetup s = OneLevel(texels, size, size, mode);
            s.magFilter = s.minFilter = TexelFilter::Linear;
            std::uniform_real_distribution<float> start(-1.5f, 1.5f), step(-0.05f, 0.05f);
            for (int trial = 0; trial < 100; ++trial) {
                TexCoordSpan span = AffineSpan(Snap(start(random), size), Snap(start(random), size),
                                               Snap(step(random), size), Snap(step(random), size));
                ASSERT_NO_FATAL_FAILURE(ExpectSameTexels(s, false, span, 2))
                    << "size " << size << " trial " << trial;
            }
        }
    }
}

TEST(SampleRoutines, PointPerspectiveRoutinesMatchTheGeneralSampler) {
    std::mt19937 random(13);
    // A 64 x 32 chain of six levels, each texel distinct.
    std::vector<std::vector<uint32_t>> levels;
    SamplerSetup s;
    s.white = false;
    for (int level = 0, w = 64, h = 32; level < 6; ++level, w = std::max(1, w / 2), h = std::max(1, h / 2)) {
        levels.push_back(RandomTexels(random, static_cast<size_t>(w) * h));
        s.levels[level] = MipLevel{levels.back().data(), w, h};
    }
    s.levelCount = 6;
    for (MipMode mip : {MipMode::None, MipMode::Point}) {
        for (AddressMode mode : {AddressMode::Wrap, AddressMode::Clamp, AddressMode::Mirror}) {
            s.mipMode = mip;
            s.addressU = s.addressV = mode;
            std::uniform_real_distribution<float> coordinate(-3.0f, 3.0f), step(-0.2f, 0.2f), q(0.01f, 1.0f);
            for (int trial = 0; trial < 100; ++trial) {
                TexCoordSpan span{coordinate(random),  coordinate(random),  q(random),
                                  step(random) * 0.1f, step(random) * 0.1f, step(random) * 0.01f,
                                  step(random),        step(random),        step(random) * 0.01f};
                ASSERT_NO_FATAL_FAILURE(ExpectSameTexels(s, true, span, 0)) << "trial " << trial;
            }
        }
    }
}
