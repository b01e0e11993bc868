// The bitmap font: spacing and texture size, the shrink loop, glyph placement, batching, line feeds and
// skipped codes, measuring, the states it restores, and fonts whose device objects are missing.
#include "d2d/d3d_font.h"
#include "engine/core/engine_device.h"

#include <cmath>
#include <memory>

namespace {

// Width in texels of a glyph's cell (glyph plus spacing on both sides) and the height of a line.
float TexelWidth(const CD3DFont& font, char c) {
    const float* uv = font.glyphCoordinates[c - 32];
    return (uv[2] - uv[0]) * static_cast<float>(font.textureWidth);
}
float LineHeight(const CD3DFont& font) {
    const float* uv = font.glyphCoordinates[0];
    return (uv[3] - uv[1]) * static_cast<float>(font.textureHeight);
}

class CD3DFontTest : public EngineDeviceTest {
protected:
    void SetUp() override {
        EngineDeviceTest::SetUp();
        font = std::make_unique<CD3DFont>("Arial", 14, 0);
        ASSERT_NE(font->glyphTexture, nullptr);
        spacing = static_cast<float>(font->spacing);
    }

    // How far the pen moves for a glyph.
    float Advance(char c) const { return TexelWidth(*font, c) - 2 * spacing; }

    std::unique_ptr<CD3DFont> font;
    float spacing = 0.0f;
};

std::vector<std::string> Batches(std::initializer_list<int> triangles) {
    std::vector<std::string> lines;
    for (int count : triangles) {
        lines.push_back(d3dtest::FormatCall("DrawPrimitive", {D3DPT_TRIANGLELIST, 0, uint64_t(count)}));
    }
    return lines;
}

} // namespace

TEST_F(EngineDeviceTest, SpacingRoundsUpAndGlyphCellsFitOneSquareTexture) {
    DWORD previous = 0;
    for (DWORD points : {6u, 8u, 10u, 12u, 14u, 20u, 28u, 48u, 96u}) {
        SCOPED_TRACE(points);
        CD3DFont font("Arial", points, 0);
        // Three tenths of the cell height as a float, rounded up: 0.3f is slightly above 0.3.
        const double cellHeight = LineHeight(font);
        EXPECT_EQ(font.spacing, static_cast<DWORD>(std::ceil(cellHeight * static_cast<double>(0.3f))));
        if (cellHeight == 10.0) {
            EXPECT_EQ(font.spacing, 4u);
        }
        EXPECT_EQ(font.textureWidth, font.textureHeight);
        EXPECT_EQ(font.textureWidth & (font.textureWidth - 1), 0u) << "a power of two";
        EXPECT_GE(font.textureWidth, std::max<DWORD>(previous, 128u));
        previous = font.textureWidth;
        for (int a = 0; a < 95; ++a) {
            const float* p = font.glyphCoordinates[a];
            ASSERT_TRUE(p[0] >= 0.0f && p[2] <= 1.0f && p[3] <= 1.0f) << "glyph " << a + 32;
            for (int b = a + 1; b < 95; ++b) {
                const float* q = font.glyphCoordinates[b];
                ASSERT_FALSE(p[0] < q[2] && q[0] < p[2] && p[1] < q[3] && q[1] < p[3])
                    << "glyphs " << a + 32 << " and " << b + 32 << " overlap";
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
    float scale = 128.0f / static_cast<float>(searched);
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

TEST_F(CD3DFontTest, GlyphQuadsStartAtThePenAndAdvanceByTheirWidth) {
    ASSERT_EQ(font->DrawTextA(20.0f, 30.0f, 0xFF112233, "AB", 0), S_OK);
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(12);
    const float* a = font->glyphCoordinates['A' - 32];
    const float left = 20.0f - spacing - 0.5f;
    const float top = 30.0f - 0.5f;
    const float right = left + TexelWidth(*font, 'A');
    const float bottom = top + LineHeight(*font);
    const float expected[6][4] = {{left, bottom, a[0], a[3]},  {left, top, a[0], a[1]},
                                  {right, bottom, a[2], a[3]}, {right, top, a[2], a[1]},
                                  {right, bottom, a[2], a[3]}, {left, top, a[0], a[1]}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(v[i].position.x, expected[i][0], 1e-4f) << i;
        EXPECT_NEAR(v[i].position.y, expected[i][1], 1e-4f) << i;
        EXPECT_EQ(v[i].position.z, 0.9f) << i;
        EXPECT_EQ(v[i].tu, expected[i][2]) << i;
        EXPECT_EQ(v[i].tv, expected[i][3]) << i;
        EXPECT_EQ(v[i].colour, 0xFF112233u) << i;
    }
    EXPECT_NEAR(v[7].position.x, left + Advance('A'), 1e-4f) << "B follows A's advance";
}

TEST_F(CD3DFontTest, LineFeedsReturnAndSkippedCodesNeitherDrawNorAdvance) {
    const std::vector<std::string> draws = TracedCalls(
        [&] {
            ASSERT_EQ(font->DrawTextA(20.0f, 30.0f, 0xFFFFFFFF,
                                      "AB\nC \t\r\xE9\x80"
                                      "D",
                                      0),
                      S_OK);
        },
        "DrawPrimitive");
    EXPECT_EQ(draws, Batches({8})) << "a space advances without a quad";
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(24);
    const float left = 20.0f - spacing - 0.5f;
    EXPECT_NEAR(v[13].position.x, left, 1e-4f) << "C starts the second line";
    EXPECT_NEAR(v[13].position.y, 30.0f - 0.5f + LineHeight(*font), 1e-4f);
    EXPECT_NEAR(v[19].position.x, left + Advance('C') + Advance(' '), 1e-4f) << "D follows C and the space";
    EXPECT_EQ(v[19].tu, font->glyphCoordinates['D' - 32][0]);
}

TEST_F(CD3DFontTest, FiftyVisibleGlyphsAreOneBatchAndFiftyOneAreTwo) {
    const std::string fifty(50, 'W');
    EXPECT_EQ(
        TracedCalls([&] { font->DrawTextA(0, 0, 0xFFFFFFFF, (fifty + "   ").c_str(), 0); }, "DrawPrimitive"),
        Batches({100}));
    EXPECT_EQ(
        TracedCalls([&] { font->DrawTextA(0, 0, 0xFFFFFFFF, (fifty + " W").c_str(), 0); }, "DrawPrimitive"),
        Batches({100, 2}));
}

TEST_F(CD3DFontTest, DrawingRestoresTheCallersStates) {
    IDirect3DTexture9* callersTexture = nullptr;
    ASSERT_GE(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &callersTexture, nullptr),
              0);
    device->SetTexture(0, callersTexture);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);

    ASSERT_EQ(font->DrawTextA(5.0f, 5.0f, 0xFFFFFFFF, "Restore", D3DFONT_FILTERED), S_OK);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    DWORD filter = 0;
    device->GetSamplerState(0, D3DSAMP_MINFILTER, &filter);
    EXPECT_EQ(filter, static_cast<DWORD>(D3DTEXF_LINEAR));
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &filter);
    EXPECT_EQ(filter, static_cast<DWORD>(D3DTEXF_POINT)) << "the filter flag's change is undone";
    IDirect3DBaseTexture9* texture = nullptr;
    device->GetTexture(0, &texture);
    EXPECT_EQ(texture, callersTexture);
    if (texture != nullptr) {
        texture->Release();
    }
    callersTexture->Release();
}

TEST_F(CD3DFontTest, CentringMeasuresOnlyTheFirstLine) {
    ASSERT_EQ(font->DrawTextA(3.0f, 4.0f, 0xFFFFFFFF, "AA\nAAAAAA", D3DFONT_CENTERED_X | D3DFONT_CENTERED_Y),
              S_OK);
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(14);
    const float left = (800.0f - 2 * Advance('A')) / 2 - spacing - 0.5f;
    const float top = (600.0f - LineHeight(*font)) / 2 - 0.5f;
    EXPECT_NEAR(v[1].position.x, left, 1e-3f);
    EXPECT_NEAR(v[1].position.y, top, 1e-3f);
    EXPECT_NEAR(v[13].position.x, left, 1e-3f) << "the second line starts at the same x";
    EXPECT_NEAR(v[13].position.y, top + LineHeight(*font), 1e-3f);
}

TEST_F(CD3DFontTest, ExtentCountsRowsAndTheWidestRow) {
    SIZE size{-1, -1};
    ASSERT_EQ(font->GetTextExtent("", &size), S_OK);
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, static_cast<LONG>(LineHeight(*font)));
    font->GetTextExtent("AB\nA\tB\n", &size);
    EXPECT_EQ(size.cx, static_cast<LONG>(Advance('A') + Advance('B')));
    EXPECT_EQ(size.cy, static_cast<LONG>(3 * LineHeight(*font)));
    EXPECT_EQ(font->GetTextExtent(nullptr, &size), E_FAIL);
    EXPECT_EQ(font->GetTextExtent("A", nullptr), E_FAIL);
}

TEST_F(CD3DFontTest, ScaledTextFollowsTheViewportAndObjectTextIsInTenthsOfTexels) {
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(font->DrawTextScaled(-1.0f, -1.0f, 0.5f, 0.1f, 0.1f, 0xFFFFFFFF, "A\nA", 0), S_OK);
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(12);
    const float k = 600.0f * 0.1f / LineHeight(*font);
    EXPECT_NEAR(v[1].position.x, -spacing * k - 0.5f, 1e-3f);
    EXPECT_NEAR(v[1].position.y, -0.5f, 1e-3f);
    EXPECT_EQ(v[1].position.z, 0.5f);
    EXPECT_NEAR(v[0].position.y - v[1].position.y, 60.0f, 1e-3f) << "one line is yScale x H pixels high";
    EXPECT_NEAR(v[7].position.y - v[1].position.y, 60.0f, 1e-3f);
    EXPECT_NEAR(v[2].position.x - v[0].position.x, TexelWidth(*font, 'A') * k, 1e-3f);

    ASSERT_EQ(font->Render3DText("A\nA", D3DFONT_TWOSIDED), S_OK);
    device->EndScene();
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE)) << "restored to the start state";
    const std::vector<Font3DVertex> w = StreamVertices<Font3DVertex>(12);
    EXPECT_NEAR(w[0].x, -spacing / 10.0f, 1e-5f);
    EXPECT_NEAR(w[1].y, LineHeight(*font) / 10.0f, 1e-4f);
    EXPECT_NEAR(w[2].x - w[0].x, TexelWidth(*font, 'A') / 10.0f, 1e-4f);
    EXPECT_EQ(w[0].nz, -1.0f);
    EXPECT_NEAR(w[6].y, -LineHeight(*font) / 10.0f, 1e-4f) << "lines go down";
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
            EXPECT_EQ((font.*row.afterwards)(), S_OK);
        }
        EXPECT_EQ(font.DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A", 0), E_FAIL);
        EXPECT_FALSE(d3dtest::InScene(device));
        device->BeginScene();
        EXPECT_EQ(font.DrawTextScaled(0, 0, 0, 1, 1, 0xFFFFFFFF, "A", 0), E_FAIL);
        EXPECT_EQ(font.Render3DText("A", 0), E_FAIL);
        device->EndScene();
        SIZE size{0, 0};
        EXPECT_EQ(font.GetTextExtent("AB", &size), S_OK);
        EXPECT_GT(size.cx, 0);
        EXPECT_GT(size.cy, 0);
        if (row.afterwards == &CD3DFont::InvalidateDeviceObjects) {
            EXPECT_EQ(font.RestoreDeviceObjects(), S_OK);
            EXPECT_EQ(font.DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A", 0), S_OK) << "restored";
        }
    }
}
