// Rendering through the device: each kind of draw the engine makes, probed in the back buffer.
#include "device_fixture.h"

#include <array>
#include <cmath>
#include <tuple>

using namespace d3d9test;
namespace hooks = platform::d3d9;

namespace {

// The 2D layer's states for a textured quad (additive, or with blending off) and for a filled rectangle.
void TexturedQuadStates(IDirect3DDevice9* device, IDirect3DBaseTexture9* texture, bool additive = false) {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, additive);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetTexture(0, texture);
    device->SetTexture(1, nullptr);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
}

void RectangleStates(IDirect3DDevice9* device, bool blend = true) {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
}

} // namespace

TEST_F(DeviceTest, QuadOnIntegerCornersMapsTexelsOneToOne) {
    // Each texel of a 150 x 48 picture has its own colour; a quad of that size must show every texel
    // once, also beyond the first 128 pixels of a row.
    auto texel = [](int x, int y) {
        return 0xFF000000u | static_cast<DWORD>(x) << 16 | (y * 5) << 8 | (x * 7 & 255);
    };
    TexturedQuadStates(device, MakeTexture(150, 48, texel), true);
    DrawScreenStrip(Quad(5, 20, 155, 68, 0xFFFFFFFF));
    for (int y = 0; y < 48; y += 7) {
        for (int x = 0; x < 150; x += 3) {
            ExpectPixel(5 + x, 20 + y, texel(x, y), 0);
        }
    }
    ExpectPixel(4, 40, 0xFF000000, 0);
    ExpectPixel(155, 40, 0xFF000000, 0);
    ExpectPixel(40, 19, 0xFF000000, 0);
    ExpectPixel(40, 68, 0xFF000000, 0);
}

TEST_F(DeviceTest, EdgesSharedByTwoDrawsCoverEachPixelOnce) {
    // Additive triangles: a pixel covered twice would show double brightness, one missed stays black.
    // Pixel centres lie on whole coordinates; those on a left or top edge belong to the triangle, those
    // on a right or bottom edge do not.
    RectangleStates(device);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    auto v = [](float x, float y) { return ScreenVertex{x, y, 0.0f, 1.0f, 0xFF404040, 0.0f, 0.0f}; };
    const struct {
        const char* what;
        std::vector<ScreenVertex> first, second;
        int box[4]; // left, top, right and bottom of the covered pixels
    } rows[] = {
        {"quads meeting at x = 50.5",
         Quad(10.5f, 10.25f, 50.5f, 47.75f, 0xFF404040),
         Quad(50.5f, 10.25f, 70.0f, 47.75f, 0xFF404040),
         {11, 11, 69, 47}},
        {"triangles meeting on x + y = 40 through pixel centres, the second counter-clockwise",
         {v(0, 0), v(40, 0), v(0, 40)},
         {v(40, 0), v(0, 40), v(40, 40)},
         {0, 0, 39, 39}},
    };
    for (const auto& row : rows) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        DrawScreenStrip(row.first);
        DrawScreenStrip(row.second);
        const auto [left, top, right, bottom] = row.box;
        for (int y = std::max(0, top - 5); y <= bottom + 5; ++y) {
            for (int x = std::max(0, left - 5); x <= right + 5; ++x) {
                bool inside = x >= left && x <= right && y >= top && y <= bottom;
                ASSERT_TRUE(Near(Pixel(x, y), inside ? 0xFF404040 : 0xFF000000, 0))
                    << row.what << ": " << x << ", " << y;
            }
        }
    }
}

TEST_F(DeviceTest, DepthTestKeepsTheNearerOfTwoOverlappingTriangles) {
    RectangleStates(device, false);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    DrawScreenStrip(Quad(10, 10, 50, 50, 0xFFFF0000, 0.25f));
    DrawScreenStrip(Quad(30, 30, 70, 70, 0xFF00FF00, 0.75f));
    ExpectPixel(40, 40, 0xFFFF0000);
    ExpectPixel(60, 60, 0xFF00FF00);
    EXPECT_EQ(hooks::ReadDepthValue(device, 40, 40), 16384);
    EXPECT_EQ(hooks::ReadDepthValue(device, 60, 60), 49151);
    EXPECT_EQ(hooks::ReadDepthValue(device, 5, 5), 65535);
    // Without depth writes the buffer keeps its values.
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    DrawScreenStrip(Quad(0, 0, 8, 8, 0xFF0000FF, 0.5f));
    ExpectPixel(4, 4, 0xFF0000FF);
    EXPECT_EQ(hooks::ReadDepthValue(device, 4, 4), 65535);
}

TEST_F(DeviceTest, DepthAndAlphaCompareFunctions) {
    // Whether a value below, equal to and above the reference passes: depths 0.25, 0.5 and 0.75 against
    // a buffer cleared to 0.5, alphas 0x0F, 0x10 and 0x11 against the reference 0x10.
    const struct {
        DWORD func;
        bool passes[3];
    } rows[] = {{D3DCMP_NEVER, {false, false, false}},      {D3DCMP_LESS, {true, false, false}},
                {D3DCMP_EQUAL, {false, true, false}},       {D3DCMP_LESSEQUAL, {true, true, false}},
                {D3DCMP_GREATER, {false, false, true}},     {D3DCMP_NOTEQUAL, {true, false, true}},
                {D3DCMP_GREATEREQUAL, {false, true, true}}, {D3DCMP_ALWAYS, {true, true, true}}};
    // The alphas come from the texels of one quad, ten pixels each.
    IDirect3DTexture9* alphas =
        MakeTexture(3, 1, [](int x, int) { return static_cast<DWORD>(0x0F + x) << 24 | 0xFFFFFF; });
    TexturedQuadStates(device, nullptr);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHAREF, 0x10);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    for (const auto& row : rows) {
        for (bool alpha : {false, true}) {
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 0.5f, 0);
            device->SetRenderState(D3DRS_ZFUNC, alpha ? D3DCMP_ALWAYS : row.func);
            device->SetRenderState(D3DRS_ALPHATESTENABLE, alpha);
            device->SetRenderState(D3DRS_ALPHAFUNC, row.func);
            device->SetTexture(0, alpha ? alphas : nullptr);
            if (alpha) {
                DrawScreenStrip(Quad(0, 0, 30, 10, 0xFFFFFFFF, 0.5f));
            }
            for (int i = 0; i < 3; ++i) {
                if (!alpha) {
                    DrawScreenStrip(Quad(10.0f * i, 0, 10.0f * i + 10, 10, 0xFFFFFFFF, 0.25f * (i + 1)));
                }
                EXPECT_EQ(Pixel(10 * i + 5, 5) == 0xFFFFFFFF, row.passes[i])
                    << (alpha ? "alpha" : "depth") << " function " << row.func << " value " << i;
            }
        }
    }
}

TEST_F(DeviceTest, BlendingAndAlphaTestTakeEachPixelsOwnAlpha) {
    // Texel alpha changes from pixel to pixel, in runs of clear and opaque texels that start and end
    // anywhere in a group of four pixels; the vertex alpha changes across the quad. Drawn one texel per
    // pixel with the 2D layer's blending over a coloured background.
    const int alphaRun[16] = {0, 0, 0, 255, 255, 255, 255, 255, 0, 0x40, 0x80, 0xC0, 0xFF, 0, 0x10, 0xF0};
    auto texel = [&](int x, int y) {
        return static_cast<DWORD>(alphaRun[(x + y) % 16]) << 24 | static_cast<DWORD>(x * 16 + 8) << 16 |
               static_cast<DWORD>(255 - y * 16) << 8 | static_cast<DWORD>((x * y * 3) & 255);
    };
    TexturedQuadStates(device, MakeTexture(16, 16, texel));
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const D3DCOLOR background = 0xFF3A70C8;
    const struct {
        const char* what;
        DWORD left, right; // vertex colours of the left and right corners
        bool alphaTest;
    } rows[] = {{"opaque white vertices", 0xFFFFFFFF, 0xFFFFFFFF, false},
                {"half transparent vertices", 0x80FFFFFF, 0x80FFFFFF, false},
                {"vertex alpha from 255 on the left to 0 on the right", 0xFFFFFFFF, 0x00FFFFFF, false},
                {"alpha test, greater or equal 0x81", 0xFFFFFFFF, 0x00FFFFFF, true}};
    for (const auto& row : rows) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, row.alphaTest);
        device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        device->SetRenderState(D3DRS_ALPHAREF, 0x81);
        std::vector<ScreenVertex> quad = Quad(20, 20, 36, 36, row.left);
        quad[2].colour = quad[3].colour = row.right;
        DrawScreenStrip(quad);
        const int leftAlpha = static_cast<int>(row.left >> 24),
                  rightAlpha = static_cast<int>(row.right >> 24);
        for (int y = 19; y <= 36; ++y) {
            for (int x = 19; x <= 36; ++x) {
                D3DCOLOR expected = background;
                if (x >= 20 && x < 36 && y >= 20 && y < 36) {
                    // Vertex alpha at the pixel centre, times the texel's alpha.
                    double vertexAlpha = leftAlpha + (rightAlpha - leftAlpha) * (x - 20) / 16.0;
                    DWORD t = texel(x - 20, y - 20);
                    auto alpha =
                        static_cast<DWORD>(std::lround(std::lround(vertexAlpha) * (t >> 24) / 255.0));
                    if (!row.alphaTest || alpha >= 0x81) {
                        expected = BlendFormula((t & 0xFFFFFF) | alpha << 24, background, D3DBLEND_SRCALPHA,
                                                D3DBLEND_INVSRCALPHA);
                    }
                }
                ASSERT_TRUE(Near(Pixel(x, y), expected))
                    << row.what << ": pixel (" << x << ", " << y << ") is " << std::hex << Pixel(x, y)
                    << ", expected " << expected;
            }
        }
    }
}

TEST_F(DeviceTest, MipFilterPicksTheLevelFromTheCoordinateDerivatives) {
    const DWORD levelColours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00,
                                  0xFF00FFFF, 0xFFFF00FF, 0xFF808080};
    IDirect3DTexture9* texture = MakeTexture(
        64, 64, [&](int, int) { return levelColours[0]; }, 0, [&](int level) { return levelColours[level]; });
    TexturedQuadStates(device, texture);
    // 64 texels over 16 pixels: four texels per pixel, level 2.
    DrawScreenStrip(Quad(0, 0, 16, 16, 0xFFFFFFFF));
    ExpectPixel(8, 8, levelColours[0]);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    DrawScreenStrip(Quad(0, 0, 16, 16, 0xFFFFFFFF));
    ExpectPixel(8, 8, levelColours[2]);
    // Magnified: level 0.
    DrawScreenStrip(Quad(20, 0, 120, 100, 0xFFFFFFFF));
    ExpectPixel(70, 50, levelColours[0]);
    // MAXMIPLEVEL names the most detailed level used, magnified or not; beyond the chain, the last level.
    for (auto [maximum, level] : {std::pair{3, 3}, {10, 6}}) {
        device->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, maximum);
        DrawScreenStrip(Quad(0, 0, 16, 16, 0xFFFFFFFF));
        DrawScreenStrip(Quad(20, 0, 120, 100, 0xFFFFFFFF));
        ExpectPixel(8, 8, levelColours[level]);
        ExpectPixel(70, 50, levelColours[level]);
    }
    device->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, 0);
    // 64 texels over 23 pixels: level of detail log2(64 / 23) = 1.476, level 1 (green) mixed with 0.476 of
    // level 2 (blue).
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    DrawScreenStrip(Quad(0, 97, 23, 120, 0xFFFFFFFF));
    ExpectPixel(11, 108, 0xFF008679);
}

TEST_F(DeviceTest, LinearFilterBlendsNeighbouringTexels) {
    IDirect3DTexture9* texture =
        MakeTexture(2, 1, [](int x, int) { return x == 0 ? 0xFF000000u : 0xFFFFFFFFu; });
    TexturedQuadStates(device, texture);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    DrawScreenStrip(Quad(0, 0, 100, 10, 0xFFFFFFFF));
    // Texel centres sit at u = 0.25 and 0.75: x = 25 and 75.
    ExpectPixel(10, 5, 0xFF000000);
    ExpectPixel(50, 5, 0xFF808080);
    ExpectPixel(90, 5, 0xFFFFFFFF);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    DrawScreenStrip(Quad(0, 0, 100, 10, 0xFFFFFFFF));
    ExpectPixel(49, 5, 0xFF000000);
    ExpectPixel(50, 5, 0xFFFFFFFF);
}

TEST_F(DeviceTest, AddressModesOfUAndVPlaceTexelsOutsideTheTexture) {
    // A 2 x 2 texture on a quad from u = -1 to 1 across 80 pixels and v = 0 to 2 down 40. The probes at
    // x = 10, 30, 50, 70 fall on texel columns -2, -1, 0, 1, those at y = 5, 25, 35 on rows 0, 2, 3;
    // each mode maps them into the texture (-1: the border colour).
    const DWORD texels[2][2] = {{0xFFFF0000, 0xFF0000FF}, {0xFF00FF00, 0xFFFFFFFF}};
    TexturedQuadStates(device, MakeTexture(2, 2, [&](int x, int y) { return texels[y][x]; }));
    device->SetSamplerState(0, D3DSAMP_BORDERCOLOR, 0xFF804020);
    std::vector<ScreenVertex> quad = Quad(0, 0, 80, 40, 0xFFFFFFFF);
    quad[0].tu = quad[1].tu = -1.0f;
    quad[0].tv = quad[2].tv = 2.0f;
    const struct {
        DWORD u, v;
        int columns[4], rows[3];
    } modes[] = {{D3DTADDRESS_WRAP, D3DTADDRESS_MIRROR, {0, 1, 0, 1}, {0, 1, 0}},
                 {D3DTADDRESS_MIRROR, D3DTADDRESS_CLAMP, {1, 0, 0, 1}, {0, 1, 1}},
                 {D3DTADDRESS_CLAMP, D3DTADDRESS_BORDER, {0, 0, 0, 1}, {0, -1, -1}},
                 {D3DTADDRESS_BORDER, D3DTADDRESS_WRAP, {-1, -1, 0, 1}, {0, 0, 1}}};
    for (const auto& mode : modes) {
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, mode.u);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, mode.v);
        DrawScreenStrip(quad);
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 3; ++j) {
                int column = mode.columns[i], row = mode.rows[j];
                EXPECT_EQ(Pixel(10 + 20 * i, j == 0 ? 5 : 15 + 10 * j),
                          column < 0 || row < 0 ? 0xFF804020 : texels[row][column])
                    << "modes " << mode.u << ", " << mode.v << ", probe " << i << ", " << j;
            }
        }
    }
}

TEST_F(DeviceTest, SecondStageModulatesWhenEnabled) {
    IDirect3DTexture9* red = MakeTexture(2, 2, [](int, int) { return 0xFFFF8040u; });
    IDirect3DTexture9* half = MakeTexture(2, 2, [](int, int) { return 0xFF808080u; });
    TexturedQuadStates(device, red);
    device->SetTexture(1, half);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    DrawScreenStrip(Quad(0, 0, 20, 20, 0xFFFFFFFF));
    ExpectPixel(10, 10, 0xFF804020);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    DrawScreenStrip(Quad(0, 0, 20, 20, 0xFFFFFFFF));
    ExpectPixel(10, 10, 0xFFFFFFC0);
}

namespace {

// A rotated quad in the 2D layer's vertex order.
std::vector<ScreenVertex> RotatedQuad(float cx, float cy, float half, float angle, DWORD colour) {
    auto corner = [&](float dx, float dy, float u, float v) {
        float c = std::cos(angle), s = std::sin(angle);
        return ScreenVertex{cx + dx * c - dy * s, cy + dx * s + dy * c, 0.0f, 1.0f, colour, u, v};
    };
    return {corner(-half, half, 0, 1), corner(-half, -half, 0, 0), corner(half, half, 1, 1),
            corner(half, -half, 1, 0)};
}

} // namespace

class QuadPathTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        texture = MakeTexture(16, 16,
                              [](int x, int y) { return 0xFF000000u | (x * 8) << 16 | (y * 8) << 8 | 0x40; });
        TexturedQuadStates(device, texture);
    }

    std::vector<uint32_t> Frame() {
        std::vector<uint32_t> pixels;
        hooks::CopyBackBuffer(device, &pixels, nullptr, nullptr);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        return pixels;
    }

    // The strip's two triangles drawn one by one, as a list.
    void DrawAsSeparateTriangles(const std::vector<ScreenVertex>& strip) {
        std::vector<ScreenVertex> list = {strip[0], strip[1], strip[2], strip[2], strip[1], strip[3]};
        IDirect3DVertexBuffer9* vb = MakeBuffer(list, SCREEN_FVF);
        device->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
        device->BeginScene();
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 3, 1);
        device->EndScene();
    }

    IDirect3DTexture9* texture = nullptr;
};

namespace {

// The top-left fill rule: the triangle covers pixel centre (x, y) when the centre lies inside all three
// edges, or on an edge that is a top edge (horizontal, the triangle below it) or a left edge (the
// triangle to its right). Corners in 1/256 pixel.
bool FillRuleCovers(std::array<std::array<int64_t, 2>, 3> corner, int x, int y) {
    const int64_t px = x * 256LL, py = y * 256LL;
    int64_t area = (corner[1][0] - corner[0][0]) * (corner[2][1] - corner[0][1]) -
                   (corner[2][0] - corner[0][0]) * (corner[1][1] - corner[0][1]);
    if (area < 0) {
        std::swap(corner[1], corner[2]); // clockwise on screen, y down: inside is where e > 0
    }
    for (int i = 0; i < 3; ++i) {
        const auto& a = corner[i];
        const auto& b = corner[(i + 1) % 3];
        int64_t dx = b[0] - a[0], dy = b[1] - a[1];
        int64_t e = dx * (py - a[1]) - dy * (px - a[0]);
        bool topOrLeft = dy < 0 || (dy == 0 && dx > 0);
        if (area == 0 || e < 0 || (e == 0 && !topOrLeft)) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST_F(QuadPathTest, QuadAndItsTwoTrianglesCoverWhatTheFillRuleGives) {
    // Corners on whole 1/256 pixels. Rotated squares in the middle, over the top left and the bottom right
    // corner of the target and in from its left and right edges; one with a fourth texture coordinate off
    // the first triangle's plane, so drawn as its two triangles; and a slanted parallelogram whose edges
    // start off the left edge with a slope of exactly one pixel per row.
    struct Row {
        std::vector<ScreenVertex> quad;
        bool inconsistent;
    };
    std::vector<Row> rows;
    for (auto [angle, x, y] : {std::tuple{0.0f, 80.3f, 60.6f},
                               {0.3f, 80.3f, 60.6f},
                               {1.1f, 80.3f, 60.6f},
                               {2.5f, 80.3f, 60.6f},
                               {0.45f, 7.3f, 5.6f},
                               {2.2f, 150.6f, 111.2f},
                               {0.6f, -15.3f, 40.6f},
                               {0.9f, 170.3f, 70.2f}}) {
        rows.push_back({RotatedQuad(x, y, 37.0f, angle, 0xFFFFFFFF), false});
    }
    rows.push_back({RotatedQuad(80.3f, 60.6f, 37.0f, 0.2f, 0xFFFFFFFF), true});
    rows.back().quad[3].tu = 0.5f;
    rows.push_back({Quad(0, 0, 1, 1, 0xFFFFFFFF), false});
    const float slanted[4][2] = {{19.5f, 60.25f}, {-40.5f, 0.25f}, {39.5f, 60.25f}, {-20.5f, 0.25f}};
    for (size_t i = 0; i < 4; ++i) {
        rows.back().quad[i].x = slanted[i][0];
        rows.back().quad[i].y = slanted[i][1];
    }
    for (size_t row = 0; row < rows.size(); ++row) {
        std::vector<ScreenVertex>& quad = rows[row].quad;
        std::array<std::array<int64_t, 2>, 4> corners;
        for (size_t i = 0; i < 4; ++i) {
            corners[i] = {std::llround(quad[i].x * 256), std::llround(quad[i].y * 256)};
            quad[i].x = static_cast<float>(corners[i][0]) / 256;
            quad[i].y = static_cast<float>(corners[i][1]) / 256;
        }
        DrawScreenStrip(quad);
        std::vector<uint32_t> together = Frame();
        DrawAsSeparateTriangles(quad);
        std::vector<uint32_t> apart = Frame();
        for (int y = 0; y < HEIGHT; ++y) {
            for (int x = 0; x < WIDTH; ++x) {
                bool covered = FillRuleCovers({corners[0], corners[1], corners[2]}, x, y) ||
                               FillRuleCovers({corners[2], corners[1], corners[3]}, x, y);
                size_t i = static_cast<size_t>(y) * WIDTH + static_cast<size_t>(x);
                ASSERT_EQ(together[i] != 0xFF000000u, covered) << "row " << row << " at " << x << ", " << y;
                ASSERT_EQ(apart[i] != 0xFF000000u, covered) << "row " << row << " at " << x << ", " << y;
            }
        }
        EXPECT_TRUE(!rows[row].inconsistent || together == apart) << "row " << row;
    }
}

TEST_F(QuadPathTest, RotatedQuadShowsEachTexelWhereItsCentreLands) {
    // The pixel nearest a texel's centre lies well inside the texel (5.6 pixels wide here): point sampling
    // shows that texel, with the rasteriser stepping texel positions itself and through the point routine
    // with a mip filter; bilinear sampling shows the texture's ramps (red 8 per texel across, green 8 per
    // texel down) at the pixel's own position.
    const float angle = 0.7f, half = 45.0f, c = std::cos(angle), s = std::sin(angle);
    for (auto [mip, filter] : {std::pair{D3DTEXF_NONE, D3DTEXF_POINT},
                               {D3DTEXF_POINT, D3DTEXF_POINT},
                               {D3DTEXF_NONE, D3DTEXF_LINEAR}}) {
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, mip);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
        DrawScreenStrip(RotatedQuad(80.0f, 60.0f, half, angle, 0xFFFFFFFF));
        for (int ty = 1; ty < 15; ty += 2) {
            for (int tx = 1; tx < 15; tx += 3) {
                float dx = -half + (tx + 0.5f) * 2 * half / 16, dy = -half + (ty + 0.5f) * 2 * half / 16;
                int x = static_cast<int>(std::lround(80.0f + dx * c - dy * s));
                int y = static_cast<int>(std::lround(60.0f + dx * s + dy * c));
                // The pixel centre in texels, turned back into the quad's frame.
                float px = x - 80.0f, py = y - 60.0f;
                float u = (px * c + py * s + half) * 16 / (2 * half),
                      v = (-px * s + py * c + half) * 16 / (2 * half);
                DWORD red =
                    static_cast<DWORD>(filter == D3DTEXF_POINT ? tx * 8 : std::lround(8 * (u - 0.5f)));
                DWORD green =
                    static_cast<DWORD>(filter == D3DTEXF_POINT ? ty * 8 : std::lround(8 * (v - 0.5f)));
                D3DCOLOR expected = 0xFF000000u | red << 16 | green << 8 | 0x40;
                ASSERT_TRUE(Near(Pixel(x, y), expected))
                    << "texel " << tx << ", " << ty << " at " << x << ", " << y << " is " << std::hex
                    << Pixel(x, y) << " instead of " << expected << ", mip filter " << mip << ", filter "
                    << filter;
            }
        }
        Frame();
    }
}

TEST_F(DeviceTest, StripKeepsOneFacingUnderEachCullModeAndAFanSharesItsFirstVertex) {
    RectangleStates(device);
    // A strip of three triangles along x whose windings alternate as a strip's do: the first two are
    // drawn as a quad, the third alone. Starting clockwise, all three face the viewer.
    const struct {
        DWORD cull;
        bool clockwiseFirst, drawn;
    } rows[] = {{D3DCULL_CCW, true, true},
                {D3DCULL_CW, true, false},
                {D3DCULL_CCW, false, false},
                {D3DCULL_NONE, false, true}};
    for (const auto& row : rows) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->SetRenderState(D3DRS_CULLMODE, row.cull);
        std::vector<ScreenVertex> strip;
        for (int i = 0; i < 5; ++i) {
            bool bottom = (i % 2 == 0) == row.clockwiseFirst;
            strip.push_back({20.0f + 30 * (i / 2), bottom ? 60.0f : 20.0f, 0, 1, 0xFFFFFFFF, 0, 0});
        }
        DrawScreenStrip(strip);
        for (auto [x, y] : {std::pair{30, 50}, {45, 30}, {60, 50}}) {
            EXPECT_EQ(Pixel(x, row.clockwiseFirst ? y : 80 - y), row.drawn ? 0xFFFFFFFFu : 0xFF000000u)
                << "cull mode " << row.cull << (row.clockwiseFirst ? ", clockwise" : ", counter-clockwise")
                << " first, triangle at " << x;
        }
    }
    // A fan's triangles all share its first vertex: three quarters of a diamond around (60, 60), the
    // lower left quarter open.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    auto v = [](float x, float y) { return ScreenVertex{x, y, 0, 1, 0xFFFFFFFF, 0, 0}; };
    ASSERT_EQ(Draw(std::vector<ScreenVertex>{v(60, 60), v(20, 60), v(60, 20), v(100, 60), v(60, 100)},
                   SCREEN_FVF, D3DPT_TRIANGLEFAN, 3),
              D3D_OK);
    for (auto [x, y, drawn] : {std::tuple{45, 55, true}, {75, 55, true}, {75, 65, true}, {45, 65, false}}) {
        EXPECT_EQ(Pixel(x, y), drawn ? 0xFFFFFFFFu : 0xFF000000u) << "fan at " << x << ", " << y;
    }
}

TEST_F(DeviceTest, NonFiniteAndFarAwayVerticesDrawNothingAndDoNotCrash) {
    RectangleStates(device);
    const float nan = std::nanf("");
    DrawScreenStrip(Quad(nan, 10, 50, 40, 0xFFFFFFFF));
    DrawScreenStrip(Quad(-3.0e9f, -3.0e9f, 3.0e9f, 3.0e9f, 0xFFFFFFFF));
    DrawScreenStrip(Quad(1.0e6f, 1.0e6f, 1.0e6f + 10, 1.0e6f + 10, 0xFFFFFFFF));
    ExpectPixel(30, 25, 0xFF000000);
}

TEST_F(DeviceTest, SliverTrianglesWithSteepColourGradientsStayInRange) {
    RectangleStates(device, false);
    // Colour from black to white across a hundredth of a pixel, over a long span.
    std::vector<ScreenVertex> sliver = {
        {0.0f, 10.0f, 0, 1, 0xFF000000, 0, 0},    {150.0f, 10.0f, 0, 1, 0xFFFFFFFF, 0, 0},
        {150.0f, 10.01f, 0, 1, 0xFF000000, 0, 0}, {0.0f, 30.0f, 0, 1, 0xFFFFFFFF, 0, 0},
        {150.01f, 30.0f, 0, 1, 0xFF000000, 0, 0}, {0.0f, 32.0f, 0, 1, 0xFF00FF00, 0, 0}};
    EXPECT_EQ(Draw(sliver, SCREEN_FVF, D3DPT_TRIANGLELIST, 2), D3D_OK);
    // Whatever was covered holds valid colours; nothing outside the triangles was touched.
    ExpectPixel(5, 50, 0xFF000000);
    D3DCOLOR c = Pixel(100, 31);
    EXPECT_EQ(c >> 24, 0xFFu);
}

TEST_F(DeviceTest, GouraudAndFlatShadingAndTextureFactor) {
    RectangleStates(device, false);
    // From (16, 224, 0) on the left to (166, 74, 150) 150 pixels to the right: one step per pixel.
    std::vector<ScreenVertex> quad = Quad(0, 0, 150, 20, 0xFF10E000);
    quad[2].colour = quad[3].colour = 0xFFA64A96;
    DrawScreenStrip(quad);
    for (DWORD x : {0u, 10u, 75u, 127u, 128u, 140u, 149u}) {
        ExpectPixel(static_cast<int>(x), 10, 0xFF000000u | (16 + x) << 16 | (224 - x) << 8 | x, 0);
    }

    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    std::vector<ScreenVertex> triangle = {
        {10, 50, 0, 1, 0xFF00FF00, 0, 0}, {10, 10, 0, 1, 0xFFFF0000, 0, 0}, {50, 50, 0, 1, 0xFF0000FF, 0, 0}};
    EXPECT_EQ(Draw(triangle, SCREEN_FVF, D3DPT_TRIANGLELIST, 1), D3D_OK);
    // The first vertex colours the whole triangle.
    ExpectPixel(15, 45, 0xFF00FF00);
    ExpectPixel(12, 20, 0xFF00FF00);
    ExpectPixel(40, 45, 0xFF00FF00);

    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF123456);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    EXPECT_EQ(Draw(triangle, SCREEN_FVF, D3DPT_TRIANGLELIST, 1), D3D_OK);
    ExpectPixel(15, 45, 0xFF123456);
}
