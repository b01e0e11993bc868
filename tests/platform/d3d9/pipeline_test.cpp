// The pipeline's routines against Direct3D's documented formulas: texture addressing, filters and mip
// levels, blending and the first texture stage; and the vertex format decoding of the engine's formats.
#include "d3d9/pipeline/output_merger.h"
#include "d3d9/pipeline/sampler.h"
#include "d3d9/pipeline/stage_combiner.h"
#include "d3d9/pipeline/vertex_format.h"
#include "device_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

using namespace platform::d3d9;
using d3d9test::BlendFormula;

namespace {

// Texel (x, y) of the sampling tests: every channel different, and no two texels alike.
uint32_t TexelAt(int x, int y) {
    return static_cast<uint32_t>(0x40 + x * 16 + y * 4) << 24 | static_cast<uint32_t>(x * 40 + 10) << 16 |
           static_cast<uint32_t>(y * 70 + 20) << 8 | static_cast<uint32_t>(x * 13 + y * 29 + 3);
}

std::vector<uint32_t> TestTexels(int width, int height) {
    std::vector<uint32_t> texels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            texels[static_cast<size_t>(y) * width + x] = TexelAt(x, y);
        }
    }
    return texels;
}

// Direct3D's texture addressing of texel index i on a side of size texels; -1 for the border colour.
int Address(int64_t i, int size, AddressMode mode) {
    switch (mode) {
    case AddressMode::Wrap:
        return static_cast<int>(((i % size) + size) % size);
    case AddressMode::Mirror: {
        int64_t m = ((i % (2 * size)) + 2 * size) % (2 * size);
        return static_cast<int>(m < size ? m : 2 * size - 1 - m);
    }
    case AddressMode::Clamp:
        return static_cast<int>(std::clamp<int64_t>(i, 0, size - 1));
    default:
        return i >= 0 && i < size ? static_cast<int>(i) : -1;
    }
}

uint32_t AddressedTexel(const SamplerSetup& s, int64_t x, int64_t y) {
    const MipLevel& level = s.levels[0];
    int ix = Address(x, level.width, s.addressU), iy = Address(y, level.height, s.addressV);
    return ix < 0 || iy < 0 ? s.borderColour : level.pixels[static_cast<size_t>(iy) * level.width + ix];
}

// Point sampling: the texel whose square holds the sample point.
uint32_t PointSample(const SamplerSetup& s, double u, double v) {
    return AddressedTexel(s, static_cast<int64_t>(std::floor(u * s.levels[0].width)),
                          static_cast<int64_t>(std::floor(v * s.levels[0].height)));
}

// Bilinear filtering: the four texels whose centres (at +0.5) surround the sample point, each weighted by
// the point's nearness to it along u times along v.
uint32_t BilinearSample(const SamplerSetup& s, double u, double v) {
    double x = u * s.levels[0].width - 0.5, y = v * s.levels[0].height - 0.5;
    double x0 = std::floor(x), y0 = std::floor(y), fx = x - x0, fy = y - y0;
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        double sum = 0.0;
        for (int corner = 0; corner < 4; ++corner) {
            int right = corner & 1, below = corner >> 1;
            uint32_t texel =
                AddressedTexel(s, static_cast<int64_t>(x0) + right, static_cast<int64_t>(y0) + below);
            sum += ((texel >> shift) & 255) * (right ? fx : 1.0 - fx) * (below ? fy : 1.0 - fy);
        }
        result |= static_cast<uint32_t>(std::lround(sum)) << shift;
    }
    return result;
}

// All four channels within tolerance.
::testing::AssertionResult TexelNear(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(static_cast<int>((actual >> shift) & 255) -
                     static_cast<int>((expected >> shift) & 255)) > tolerance) {
            return ::testing::AssertionFailure() << std::hex << actual << " instead of " << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

// A sampler of one level of width x height texels, addressed alike in u and v.
SamplerSetup OneLevel(const std::vector<uint32_t>& texels, int width, int height, AddressMode mode) {
    SamplerSetup s;
    s.white = false;
    s.levels[0] = MipLevel{texels.data(), width, height};
    s.levelCount = 1;
    s.addressU = s.addressV = mode;
    s.borderColour = 0xC0A05010;
    return s;
}

// Every routine the device may choose for a filter: affine and perspective coordinates, and for the point
// filter also with a mip filter on a texture of one level.
struct Route {
    const char* name;
    TexelFilter filter;
    MipMode mip;
    bool perspective;
};
const Route POINT_ROUTES[] = {{"point, affine", TexelFilter::Point, MipMode::None, false},
                              {"point, perspective", TexelFilter::Point, MipMode::None, true},
                              {"point, nearest mip", TexelFilter::Point, MipMode::Point, true},
                              {"point, linear mip", TexelFilter::Point, MipMode::Linear, true}};
const Route LINEAR_ROUTES[] = {{"linear, affine", TexelFilter::Linear, MipMode::None, false},
                               {"linear, perspective", TexelFilter::Linear, MipMode::None, true}};

// Samples count pixels from (u, v) in steps of (du, dv); perspective routes get the coordinates divided
// by w = 0.5, as the rasteriser hands them over.
std::vector<uint32_t> SampleSpan(SamplerSetup s, const Route& route, double u, double v, double du, double dv,
                                 int count) {
    s.magFilter = s.minFilter = route.filter;
    s.mipMode = route.mip;
    const float q = route.perspective ? 2.0f : 1.0f;
    TexCoordSpan span{static_cast<float>(u) * q,
                      static_cast<float>(v) * q,
                      q,
                      static_cast<float>(du) * q,
                      static_cast<float>(dv) * q,
                      0.0f,
                      0.0f,
                      0.0f,
                      0.0f};
    std::vector<uint32_t> scratch(static_cast<size_t>(count));
    const uint32_t* texels = ChooseSampleRoutine(s, route.perspective)(s, span, count, scratch.data());
    return std::vector<uint32_t>(texels, texels + count);
}

// One pixel of a span with the given footprint: texels per pixel along x and along y, in level-0 texels.
uint32_t SampleFootprint(const SamplerSetup& s, float u, float v, float dudx, float dvdx, float dudy,
                         float dvdy) {
    const float w = static_cast<float>(s.levels[0].width), h = static_cast<float>(s.levels[0].height);
    TexCoordSpan span{u, v, 1.0f, dudx / w, dvdx / h, 0.0f, dudy / w, dvdy / h, 0.0f};
    uint32_t texel;
    return ChooseSampleRoutine(s, true)(s, span, 1, &texel)[0];
}

// Texture stage 0 as documented, channel by channel: SELECTARG1, SELECTARG2, MODULATE (a * b / 255) and
// ADD (clamped); CURRENT is the diffuse colour at the first stage. A disabled colour operation passes the
// diffuse colour on; a disabled alpha operation keeps the diffuse alpha.
uint32_t StageZeroFormula(const DWORD* stage, uint32_t diffuse, uint32_t texel, uint32_t factor) {
    if (stage[D3DTSS_COLOROP] == D3DTOP_DISABLE) {
        return diffuse;
    }
    auto argument = [&](DWORD arg) {
        return arg == D3DTA_TEXTURE ? texel : arg == D3DTA_TFACTOR ? factor : diffuse;
    };
    auto operate = [](DWORD op, uint32_t a, uint32_t b) -> uint32_t {
        switch (op) {
        case D3DTOP_SELECTARG1:
            return a;
        case D3DTOP_SELECTARG2:
            return b;
        case D3DTOP_MODULATE:
            return static_cast<uint32_t>(std::lround(a * b / 255.0));
        default:
            return std::min(a + b, 255u);
        }
    };
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        bool alpha = shift == 24;
        DWORD op = stage[alpha ? D3DTSS_ALPHAOP : D3DTSS_COLOROP];
        uint32_t a = (argument(stage[alpha ? D3DTSS_ALPHAARG1 : D3DTSS_COLORARG1]) >> shift) & 255;
        uint32_t b = (argument(stage[alpha ? D3DTSS_ALPHAARG2 : D3DTSS_COLORARG2]) >> shift) & 255;
        result |= (op == D3DTOP_DISABLE ? diffuse >> 24 : operate(op, a, b)) << shift;
    }
    return result;
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
                        masked && !mask[i] ? target[i] : BlendFormula(source[i], target[i], s, d);
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

TEST(CombineRoutines, EveryStageZeroOperationGivesTheDocumentedResult) {
    const DWORD ops[] = {D3DTOP_DISABLE, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_MODULATE, D3DTOP_ADD};
    const DWORD args[] = {D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTA_TEXTURE, D3DTA_TFACTOR};
    const uint32_t factor = 0x9C5A3012;
    std::mt19937 random(11);
    std::vector<uint32_t> diffuse(32), texture(32), out(32);
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
                    CombineSetup setup = MakeCombineSetup(stages, factor);
                    for (size_t i = 0; i < diffuse.size(); ++i) {
                        diffuse[i] = random();
                        texture[i] = random();
                    }
                    // Opaque white diffuse lets the 2D layer's stages pass the texture through.
                    diffuse[1] = 0xFFFFFFFF;
                    for (int constant = 0; constant < 3; ++constant) {
                        CombineInputs in;
                        in.diffuse = constant == 0 ? diffuse.data() : nullptr;
                        in.diffuseConstant = diffuse[static_cast<size_t>(constant)];
                        in.texture[0] = texture.data();
                        const uint32_t* actual =
                            ChooseCombineRoutine(setup, constant != 0)(setup, in, 32, out.data());
                        for (size_t i = 0; i < 32; ++i) {
                            uint32_t d = constant == 0 ? diffuse[i] : in.diffuseConstant;
                            ASSERT_EQ(actual[i], StageZeroFormula(stages[0], d, texture[i], factor))
                                << "ops " << colourOp << "/" << alphaOp << " args " << arg1 << "/" << arg2
                                << " pixel " << i << (constant ? " one diffuse colour" : "");
                        }
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

TEST(SampleRoutines, NoTextureReadsOpaqueWhite) {
    SamplerSetup s;
    TexCoordSpan span{0.3f, 0.7f, 1.0f, 0.01f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
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

TEST(SampleRoutines, PointSamplesAddressCoordinatesOutsideTheTextureByMode) {
    // A 4 x 3 texture (a height that is not a power of two), spans starting outside, inside, at the edge
    // and running backwards, one, half and two texels per pixel, some stepping in v too. Positions are
    // given in texels.
    const std::vector<uint32_t> texels = TestTexels(4, 3);
    const struct {
        double x, y, dx, dy;
        int count;
    } spans[] = {{-5.5, 1.5, 1.0, 0.0, 16},  {0.5, 0.5, 1.0, 0.0, 4},    {0.5, 2.5, 0.5, 0.0, 8},
                 {3.5, -1.5, -1.0, 0.0, 10}, {0.25, 0.25, 0.5, 0.25, 8}, {-2.75, -4.25, 2.0, 1.25, 9}};
    for (AddressMode mode :
         {AddressMode::Wrap, AddressMode::Mirror, AddressMode::Clamp, AddressMode::Border}) {
        SamplerSetup s = OneLevel(texels, 4, 3, mode);
        for (const Route& route : POINT_ROUTES) {
            for (const auto& span : spans) {
                std::vector<uint32_t> sampled =
                    SampleSpan(s, route, span.x / 4, span.y / 3, span.dx / 4, span.dy / 3, span.count);
                for (int i = 0; i < span.count; ++i) {
                    double u = (span.x + span.dx * i) / 4, v = (span.y + span.dy * i) / 3;
                    ASSERT_EQ(sampled[static_cast<size_t>(i)], PointSample(s, u, v))
                        << route.name << ", mode " << static_cast<int>(mode) << ", span from " << span.x
                        << ", " << span.y << ", pixel " << i;
                }
            }
        }
    }
}

TEST(SampleRoutines, BilinearWeightsFollowTheDistanceToTheTexelCentres) {
    const std::vector<uint32_t> texels = TestTexels(4, 3);
    // Positions in texels, on eighths of a texel; spans cross every edge of the texture.
    const struct {
        double x, y, dx, dy;
        int count;
    } spans[] = {{-1.375, 0.625, 0.375, 0.0, 20},
                 {0.5, 1.5, 1.0, 0.0, 4},
                 {3.875, 2.875, 0.125, 0.0, 6},
                 {0.75, -0.25, 0.25, 0.5, 12},
                 {4.25, 3.125, -0.625, -0.375, 14}};
    for (AddressMode mode :
         {AddressMode::Wrap, AddressMode::Mirror, AddressMode::Clamp, AddressMode::Border}) {
        SamplerSetup s = OneLevel(texels, 4, 3, mode);
        for (const Route& route : LINEAR_ROUTES) {
            for (const auto& span : spans) {
                std::vector<uint32_t> sampled =
                    SampleSpan(s, route, span.x / 4, span.y / 3, span.dx / 4, span.dy / 3, span.count);
                for (int i = 0; i < span.count; ++i) {
                    double u = (span.x + span.dx * i) / 4, v = (span.y + span.dy * i) / 3;
                    ASSERT_TRUE(TexelNear(sampled[static_cast<size_t>(i)], BilinearSample(s, u, v), 2))
                        << route.name << ", mode " << static_cast<int>(mode) << ", span from " << span.x
                        << ", " << span.y << ", pixel " << i;
                }
            }
        }
    }
    // One sample written out: a quarter of the way from texel (1, 0) to (2, 0) and three quarters of the
    // way down to (1, 1) and (2, 1).
    SamplerSetup s = OneLevel(texels, 4, 3, AddressMode::Wrap);
    uint32_t sampled = SampleSpan(s, LINEAR_ROUTES[0], 1.75 / 4, 1.25 / 3, 0, 0, 1)[0];
    // Alpha 80, 96 above and 84, 100 below; red 50, 90 in both rows; green 20 above and 90 below; blue
    // 16, 29 above and 45, 58 below.
    EXPECT_TRUE(TexelNear(sampled, 0x57000000u | 60 << 16 | 72 << 8 | 41, 1));
}

TEST(SampleRoutines, MipLevelIsChosenFromTheLargerFootprint) {
    // A 64 x 32 chain of six levels, each of one colour: the level a sample comes from shows in its colour.
    std::vector<std::vector<uint32_t>> levels;
    auto levelColour = [](int level) {
        return 0xFF000000u | static_cast<uint32_t>(level * 40) << 16 |
               static_cast<uint32_t>(200 - level * 30) << 8 | static_cast<uint32_t>(level * level * 7);
    };
    SamplerSetup s;
    s.white = false;
    for (int level = 0, w = 64, h = 32; level < 6; ++level, w /= 2, h = std::max(1, h / 2)) {
        levels.emplace_back(static_cast<size_t>(w) * h, levelColour(level));
        s.levels[level] = MipLevel{levels.back().data(), w, h};
    }
    s.levelCount = 6;
    // The level of detail is log2 of the longer of the footprints along x and along y, in level-0 texels;
    // the nearest-level filter rounds it, the linear one mixes the two levels around it.
    const struct {
        float dudx, dvdx, dudy, dvdy;
        int maxLevel;
        double lod;
    } rows[] = {
        {0.5f, 0.0f, 0.0f, 0.5f, 0, -1.0},  {1.3f, 0.0f, 0.0f, 1.0f, 0, 0.379},
        {1.5f, 0.0f, 0.0f, 1.0f, 0, 0.585}, {2.8f, 0.0f, 0.0f, 2.0f, 0, 1.485},
        {2.9f, 0.0f, 0.0f, 2.0f, 0, 1.536}, {1.0f, 0.0f, 0.0f, 5.0f, 0, 2.322},
        {0.0f, 6.0f, 1.0f, 0.0f, 0, 2.585}, {2.1f, 2.1f, 0.0f, 1.0f, 0, 1.570},
        {1000.0f, 0, 0, 1000.0f, 0, 9.966}, {1.0f, 0.0f, 0.0f, 1.0f, 3, 0.0},
        {8.0f, 0.0f, 0.0f, 8.0f, 1, 3.0},   {5.66f, 0.0f, 0.0f, 1.0f, 3, 2.501},
        {2.83f, 0, 0, 1.0f, 0, 1.5009},     {4.756828f, 0, 0, 1.0f, 0, 2.25},
    };
    for (TexelFilter filter : {TexelFilter::Point, TexelFilter::Linear}) {
        for (const auto& row : rows) {
            s.magFilter = s.minFilter = filter;
            s.maxMipLevel = row.maxLevel;
            s.mipMode = MipMode::Point;
            int nearest = std::clamp(static_cast<int>(std::floor(row.lod + 0.5)), row.maxLevel, 5);
            uint32_t sampled = SampleFootprint(s, 0.3f, 0.6f, row.dudx, row.dvdx, row.dudy, row.dvdy);
            EXPECT_EQ(sampled, levelColour(row.lod < 0 ? 0 : nearest))
                << "nearest level, lod " << row.lod << " filter " << static_cast<int>(filter);
            s.mipMode = MipMode::Linear;
            uint32_t mixed = levelColour(0);
            if (row.lod >= 0) {
                int level = std::clamp(static_cast<int>(std::floor(row.lod)), row.maxLevel, 5);
                double weight = level == 5 || level > row.lod ? 0.0 : row.lod - level;
                uint32_t a = levelColour(level), b = levelColour(std::min(level + 1, 5));
                mixed = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    mixed |= static_cast<uint32_t>(std::lround(((a >> shift) & 255) * (1 - weight) +
                                                               ((b >> shift) & 255) * weight))
                             << shift;
                }
            }
            sampled = SampleFootprint(s, 0.3f, 0.6f, row.dudx, row.dvdx, row.dudy, row.dvdy);
            EXPECT_TRUE(TexelNear(sampled, mixed, 1))
                << "linear mip, lod " << row.lod << " filter " << static_cast<int>(filter);
        }
    }
    // With perspective the footprint follows the quotient rule: at q = 2 growing by 0.5 per pixel and
    // s = 1 growing by 0.375, u = s / q moves (0.375 - 0.5 * 0.5) / 2 = 1/16 per pixel: four texels, level 2.
    s.mipMode = MipMode::Point;
    s.maxMipLevel = 0;
    for (TexelFilter filter : {TexelFilter::Point, TexelFilter::Linear}) {
        s.magFilter = s.minFilter = filter;
        TexCoordSpan span{1.0f, 1.2f, 2.0f, 0.375f, 0.6f * 0.5f, 0.5f, 0.0f, 1.0f / 32, 0.0f};
        uint32_t texel;
        EXPECT_EQ(ChooseSampleRoutine(s, true)(s, span, 1, &texel)[0], levelColour(2))
            << "filter " << static_cast<int>(filter);
    }
}

TEST(SampleRoutines, MagnifiedPixelsTakeTheMagnificationFilterAndMinifiedOnesTheMinification) {
    // Level 0 alternates two colours by column; samples on the edge between columns 0 and 1 show the
    // point filter as column 1 and the linear filter as the mean of both.
    const uint32_t left = 0xFF2060A0, right = 0xFFE0A040;
    std::vector<uint32_t> texels(8 * 8);
    for (size_t i = 0; i < texels.size(); ++i) {
        texels[i] = i % 2 == 0 ? left : right;
    }
    const uint32_t mean = 0xFF808070;
    for (MipMode mip : {MipMode::None, MipMode::Point}) {
        for (bool magLinear : {false, true}) {
            SamplerSetup s = OneLevel(texels, 8, 8, AddressMode::Wrap);
            s.mipMode = mip;
            s.magFilter = magLinear ? TexelFilter::Linear : TexelFilter::Point;
            s.minFilter = magLinear ? TexelFilter::Point : TexelFilter::Linear;
            EXPECT_TRUE(
                TexelNear(SampleFootprint(s, 1.0f / 8, 0.5f, 0.5f, 0, 0, 0.5f), magLinear ? mean : right, 1))
                << "magnified, mag filter " << (magLinear ? "linear" : "point");
            EXPECT_TRUE(
                TexelNear(SampleFootprint(s, 1.0f / 8, 0.5f, 2.0f, 0, 0, 0.5f), magLinear ? right : mean, 1))
                << "minified, mag filter " << (magLinear ? "linear" : "point");
        }
    }
}
