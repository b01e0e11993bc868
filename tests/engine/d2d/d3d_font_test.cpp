// The bitmap font: spacing and texture size, the shrink loop, glyph placement, batching, line feeds and
// skipped codes, measuring, the states it restores, and fonts whose device objects are missing.
#include "d2d/d3d_font.h"
#include "engine/core/engine_device.h"

#include <cmath>
#include <memory>

namespace {

// Width in texels of a glyph's cell (the glyph and the spacing on both sides), and a line's height.
float TexelWidth(const CD3DFont& font, char c) {
    return (font.glyphCoordinates[c - 32][2] - font.glyphCoordinates[c - 32][0]) * float(font.textureWidth);
}
float LineHeight(const CD3DFont& font) {
    return (font.glyphCoordinates[0][3] - font.glyphCoordinates[0][1]) * float(font.textureHeight);
}

std::string Batch(int triangles) {
    return d3dtest::FormatCall("DrawPrimitive", {D3DPT_TRIANGLELIST, 0, uint64_t(triangles)});
}

class CD3DFontTest : public EngineDeviceTest {
protected:
    void SetUp() override {
        EngineDeviceTest::SetUp();
        font = std::make_unique<CD3DFont>("Arial", 14, 0);
        ASSERT_NE(font->glyphTexture, nullptr);
        spacing = float(font->spacing);
    }

    // How far the pen moves for a glyph, and the draws of one text.
    float Advance(char c) const { return TexelWidth(*font, c) - 2 * spacing; }
    std::vector<std::string> Draws(const std::string& text) {
        return TracedCalls([&] { EXPECT_EQ(font->DrawTextA(20, 30, 0xFF112233, text.c_str(), 0), S_OK); },
                           "DrawPrimitive");
    }

    std::unique_ptr<CD3DFont> font;
    float spacing = 0.0f;
};

} // namespace

TEST_F(EngineDeviceTest, SpacingRoundsUpAndGlyphCellsFitOneSquareTexture) {
    DWORD previous = 128;
    for (DWORD points : {6u, 10u, 14u, 20u, 28u, 48u, 96u}) {
        SCOPED_TRACE(points);
        CD3DFont font("Arial", points, 0);
        // Three tenths of the cell height in float, rounded up: a cell of 30 gives 10, not 9.
        const double cell = LineHeight(font);
        EXPECT_EQ(font.spacing, DWORD(std::ceil(cell * double(0.3f))));
        EXPECT_TRUE(cell != 30.0 || font.spacing == 10u);
        EXPECT_EQ(font.textureWidth, font.textureHeight);
        EXPECT_EQ(font.textureWidth & (font.textureWidth - 1), 0u) << "a power of two";
        EXPECT_GE(font.textureWidth, previous);
        previous = font.textureWidth;
        for (int a = 0; a < 95; ++a) {
            const float* p = font.glyphCoordinates[a];
            ASSERT_TRUE(p[0] >= 0.0f && p[2] <= 1.0f && p[3] <= 1.0f) << "glyph " << a + 32;
            for (int b = a + 1; b < 95; ++b) {
                const float* q = font.glyphCoordinates[b];
                ASSERT_FALSE(p[0] < q[2] && q[0] < p[2] && p[1] < q[3] && q[1] < p[3])
                    << a + 32 << " " << b + 32;
            }
        }
    }
    EXPECT_GT(previous, 128u);
}

TEST_F(EngineDeviceTest, FontLargerThanTheMaximumTextureIsRasterisedSmaller) {
    const DWORD searched = CD3DFont("Arial", 40, 0).textureWidth;
    ASSERT_GT(searched, 128u);
    d3dtest::SetMaxTextureSize(128, 128);
    CD3DFont font("Arial", 40, 0);
    d3dtest::ResetMaxTextureSize();
    EXPECT_EQ(font.textureWidth, 128u);
    ASSERT_NE(font.glyphTexture, nullptr);
    float scale = 128.0f / float(searched);
    for (int round = 0; scale != font.textScale && round < 100; ++round) {
        scale *= 0.9f;
    }
    EXPECT_EQ(scale, font.textScale) << "maximum / searched width, then 0.9 times that, and so on";
    EXPECT_LT(font.textScale, 1.0f);

    // Drawing divides the glyph size by the text scale; a line feed moves by the unscaled line height.
    ASSERT_EQ(font.DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A\nA", 0), S_OK);
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(12);
    EXPECT_NEAR(v[2].position.x - v[0].position.x, TexelWidth(font, 'A') / font.textScale, 1e-3f);
    EXPECT_NEAR(v[7].position.y - v[1].position.y, LineHeight(font), 1e-3f);
}

TEST_F(CD3DFontTest,
       GlyphQuadsStartAtThePenAdvanceByTheirWidthAndLineFeedsReturnAndSkippedCodesNeitherDrawNorAdvance) {
    EXPECT_EQ(Draws("AB\nC \t\r\xE9\x80"
                    "D"),
              std::vector<std::string>{Batch(8)})
        << "a space advances without a quad";
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(24);
    const float* a = font->glyphCoordinates['A' - 32];
    const float left = 20.0f - spacing - 0.5f;
    const float right = left + TexelWidth(*font, 'A');
    const float bottom = 29.5f + LineHeight(*font);
    const float expected[6][4] = {{left, bottom, a[0], a[3]},  {left, 29.5f, a[0], a[1]},
                                  {right, bottom, a[2], a[3]}, {right, 29.5f, a[2], a[1]},
                                  {right, bottom, a[2], a[3]}, {left, 29.5f, a[0], a[1]}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(v[i].position.x, expected[i][0], 1e-4f) << i;
        EXPECT_NEAR(v[i].position.y, expected[i][1], 1e-4f) << i;
        EXPECT_EQ(v[i].position.z, 0.9f) << i;
        EXPECT_EQ(v[i].tu, expected[i][2]) << i;
        EXPECT_EQ(v[i].tv, expected[i][3]) << i;
        EXPECT_EQ(v[i].colour, 0xFF112233u) << i;
    }
    EXPECT_NEAR(v[7].position.x, left + Advance('A'), 1e-4f) << "B follows A's advance";
    EXPECT_NEAR(v[13].position.x, left, 1e-4f) << "C starts the second line";
    EXPECT_NEAR(v[13].position.y, bottom, 1e-4f);
    EXPECT_NEAR(v[19].position.x, left + Advance('C') + Advance(' '), 1e-4f) << "D follows C and the space";
    EXPECT_EQ(v[19].tu, font->glyphCoordinates['D' - 32][0]);

    const std::string fifty(50, 'W');
    EXPECT_EQ(Draws(fifty + "   "), std::vector<std::string>{Batch(100)}) << "50 glyphs are one batch";
    EXPECT_EQ(Draws(fifty + " W"), (std::vector<std::string>{Batch(100), Batch(2)})) << "51 are two";
}

TEST_F(CD3DFontTest, CentringMeasuresTheFirstLineAndScaledLinesFeedByTheirHeight) {
    // Viewport 800 x 600. Scaled text: pen at ((x + 1) * 400, (y + 1) * 300), glyphs sized by
    // 600 * scale / line height, one line 600 * yScale pixels high.
    const float line = LineHeight(*font);
    const float kx = 600.0f * 0.05f / line;
    const float ky = 600.0f * 0.08f / line;
    const float firstLine = Advance('A') + Advance('B');
    const float* a = font->glyphCoordinates['A' - 32];
    const float glyphHeight = (a[3] - a[1]) * float(font->textureHeight);
    const struct {
        const char* what;
        DWORD flags;
        bool scaled;
        float x, y, z, k, ky, lineAdvance;
    } rows[] = {
        {"centred", D3DFONT_CENTERED_X | D3DFONT_CENTERED_Y, false, (800.0f - firstLine) / 2 - spacing,
         (600.0f - line) / 2, 0.9f, 1.0f, 1.0f, line},
        {"scaled", 0, true, 200.0f - spacing * kx, 225.0f, 0.3f, kx, ky, 48.0f},
        {"scaled and centred", D3DFONT_CENTERED_X | D3DFONT_CENTERED_Y, true,
         400.0f - firstLine * kx / 2 - spacing * kx, 300.0f - line / 2, 0.3f, kx, ky, 48.0f},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        device->BeginScene();
        const HRESULT result = row.scaled ? font->DrawTextScaled(-0.5f, -0.25f, 0.3f, 0.05f, 0.08f,
                                                                 0xFFFFFFFF, "AB\nWWW", row.flags)
                                          : font->DrawTextA(20.0f, 30.0f, 0xFFFFFFFF, "AB\nWWW", row.flags);
        device->EndScene();
        ASSERT_EQ(result, S_OK);
        const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(18);
        EXPECT_NEAR(v[1].position.x, row.x - 0.5f, 1e-3f) << "A, top left";
        EXPECT_NEAR(v[1].position.y, row.y - 0.5f, 1e-3f);
        EXPECT_EQ(v[1].position.z, row.z);
        EXPECT_NEAR(v[3].position.x - v[1].position.x, TexelWidth(*font, 'A') * row.k, 1e-3f) << "A's width";
        EXPECT_NEAR(v[0].position.y - v[1].position.y, glyphHeight * row.ky, 1e-3f) << "A's height";
        EXPECT_NEAR(v[7].position.x, row.x - 0.5f + Advance('A') * row.k, 1e-3f) << "B follows A";
        EXPECT_NEAR(v[13].position.x, row.x - 0.5f, 1e-3f) << "the second line starts under the first";
        EXPECT_NEAR(v[13].position.y, row.y + row.lineAdvance - 0.5f, 1e-3f);
    }
}

// The font's own states show in the picture whatever the caller left: no depth test, blending by the
// colour's alpha times the glyph's, the colour taken from the diffuse, faint texels dropped by the alpha
// test, its quads not culled, stage 1 off. The caller's states come back.
TEST_F(CD3DFontTest, TextShowsByTheFontsOwnStatesAndTheCallersStatesComeBack) {
    CD3DFont big("Arial", 28, 0);
    IDirect3DTexture9* callersTexture = nullptr;
    ASSERT_GE(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &callersTexture, nullptr),
              0);
    const uint32_t background = 0xFF2040E0;
    const uint32_t colour = 0x64F0A030;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 0.0f, 0);
    const struct {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } renderStates[] = {{D3DRS_ZENABLE, TRUE},           {D3DRS_ZFUNC, D3DCMP_LESS},
                        {D3DRS_ALPHABLENDENABLE, FALSE}, {D3DRS_SRCBLEND, D3DBLEND_ONE},
                        {D3DRS_DESTBLEND, D3DBLEND_ONE}, {D3DRS_ALPHATESTENABLE, FALSE},
                        {D3DRS_CULLMODE, D3DCULL_CW}};
    const struct {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE type;
        DWORD value;
    } stageStates[] = {{0, D3DTSS_COLOROP, D3DTOP_SELECTARG1},
                       {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2},
                       {1, D3DTSS_COLOROP, D3DTOP_MODULATE}};
    for (const auto& row : renderStates) {
        device->SetRenderState(row.state, row.value);
    }
    for (const auto& row : stageStates) {
        device->SetTextureStageState(row.stage, row.type, row.value);
    }
    device->SetTexture(0, callersTexture);
    device->SetTexture(1, callersTexture); // black: stage 1 would darken the text

    const char* text = "Illumination";
    ASSERT_EQ(big.DrawTextA(40.0f, 200.0f, colour, text, D3DFONT_FILTERED), S_OK);
    SIZE extent{0, 0};
    big.GetTextExtent(text, &extent);
    // The colour at alpha 0x64 over the background, where the glyph covers its texel fully.
    const uint32_t ink = Blend(colour, background, 0x64);
    int inked = 0;
    int untouched = 0;
    int faint = 0;
    for (int y = 200; y < 200 + extent.cy; ++y) {
        for (int x = 40; x < 40 + extent.cx; ++x) {
            const uint32_t pixel = d3dtest::ReadBackBufferPixel(device, x, y);
            const int redChange = int((pixel >> 16) & 0xFF) - int((background >> 16) & 0xFF);
            inked += ColourNear(pixel, ink) ? 1 : 0;
            untouched += pixel == background ? 1 : 0;
            faint += redChange >= 1 && redChange <= 8 ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 100) << "fully covered glyph pixels";
    EXPECT_GT(untouched, extent.cx * extent.cy / 3) << "the background between the strokes";
    EXPECT_EQ(faint, 0) << "texels below the alpha reference";

    for (const auto& row : renderStates) {
        EXPECT_EQ(RenderState(row.state), row.value) << row.state;
    }
    for (const auto& row : stageStates) {
        DWORD value = 0;
        device->GetTextureStageState(row.stage, row.type, &value);
        EXPECT_EQ(value, row.value) << row.stage << " " << row.type;
    }
    DWORD filter = 0;
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &filter);
    EXPECT_EQ(filter, DWORD(D3DTEXF_POINT)) << "the filter flag's change is undone";
    IDirect3DBaseTexture9* texture = nullptr;
    device->GetTexture(0, &texture);
    ASSERT_EQ(texture, callersTexture);
    texture->Release();
    callersTexture->Release();
}

TEST_F(CD3DFontTest, RebuildingGivesBackTheEarlierGlyphTexture) {
    IDirect3DTexture9* earlier = font->glyphTexture;
    earlier->AddRef();
    font->InvalidateDeviceObjects();
    ASSERT_EQ(font->InitDeviceObjects(device), S_OK);
    EXPECT_NE(font->glyphTexture, nullptr);
    EXPECT_EQ(earlier->Release(), 0u) << "the font kept no reference to its earlier texture";
}

TEST_F(CD3DFontTest, ExtentCountsRowsAndTheWidestRowAndBoldIsWider) {
    SIZE size{-1, -1};
    ASSERT_EQ(font->GetTextExtent("", &size), S_OK);
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, LONG(LineHeight(*font)));
    font->GetTextExtent("AB\nA\tB\n", &size);
    EXPECT_EQ(size.cx, LONG(Advance('A') + Advance('B'))) << "the widest row";
    EXPECT_EQ(size.cy, LONG(3 * LineHeight(*font)));
    EXPECT_EQ(font->GetTextExtent(nullptr, &size), E_FAIL);
    EXPECT_EQ(font->GetTextExtent("A", nullptr), E_FAIL);
    // The bold face's strokes are wider than the regular one's.
    SIZE regular{}, bold{};
    font->GetTextExtent("mmmmmmmm", &regular);
    CD3DFont("Arial", 14, D3DFONT_BOLD).GetTextExtent("mmmmmmmm", &bold);
    EXPECT_GT(bold.cx, regular.cx);
}

// Without a device, or with a texture, vertex buffer or state block missing, drawing fails, ends any
// scene it began, and measuring still works.
TEST_F(EngineDeviceTest, FontMissingDeviceObjectsFailsToDrawEndsItsSceneAndStillMeasures) {
    InitManager* owner = InitManager::GetExemplar();
    const struct {
        const char* what;
        d3dtest::Fault fault;
        bool noDevice;
        HRESULT (CD3DFont::*afterwards)();
    } rows[] = {
        {"vertex buffer refused", d3dtest::Fault::CreateVertexBuffer, false, nullptr},
        {"glyph texture refused", d3dtest::Fault::CreateTexture, false, nullptr},
        {"device objects invalidated", d3dtest::Fault::Count, false, &CD3DFont::InvalidateDeviceObjects},
        {"device objects deleted", d3dtest::Fault::Count, false, &CD3DFont::DeleteDeviceObjects},
        {"made without a device", d3dtest::Fault::Count, true, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        d3dtest::InjectFault(row.fault);
        owner->device = row.noDevice ? nullptr : device;
        CD3DFont font("Arial", 14, D3DFONT_BOLD);
        owner->device = device;
        d3dtest::ClearFaults();
        if (row.afterwards != nullptr) {
            (font.*row.afterwards)();
        }
        EXPECT_EQ(font.DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A", 0), E_FAIL);
        EXPECT_FALSE(d3dtest::InScene(device));
        device->BeginScene();
        EXPECT_EQ(font.DrawTextScaled(0, 0, 0, 1, 1, 0xFFFFFFFF, "A", 0), E_FAIL);
        EXPECT_EQ(font.Render3DText("A", 0), E_FAIL);
        device->EndScene();
        SIZE size{0, 0};
        EXPECT_EQ(font.GetTextExtent("AB", &size), S_OK);
        EXPECT_TRUE(size.cx > 0 && size.cy > 0);
    }
}
