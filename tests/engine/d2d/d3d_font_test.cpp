// The bitmap font: spacing and texture size, the shrink loop, glyph placement, batching, line feeds
// and skipped codes, measuring, the states it restores, and fonts whose device objects are missing.
#include "d2d/d3d_font.h"
#include "engine/core/engine_device.h"
#include "gdi/wingdi.h"

#include <cmath>
#include <memory>
#include <string>

namespace d3dtest = platform::d3d9;

namespace {

class CD3DFontTest : public EngineDeviceTest {
protected:
    void SetUp() override {
        EngineDeviceTest::SetUp();
        font = std::make_unique<CD3DFont>("Arial", 14, 0);
        ASSERT_NE(font->glyphTexture, nullptr);
        spacing = static_cast<float>(font->spacing);
    }

    // Width and height in texels of a glyph's cell.
    float TexelWidth(char c) const {
        const float* uv = font->glyphCoordinates[c - 32];
        return (uv[2] - uv[0]) * static_cast<float>(font->textureWidth);
    }
    float LineHeight() const {
        const float* uv = font->glyphCoordinates[0];
        return (uv[3] - uv[1]) * static_cast<float>(font->textureHeight);
    }

    std::vector<std::string> DrawCalls(const std::function<void()>& draw) {
        d3dtest::EnableCallTrace(true);
        d3dtest::ClearCallTrace();
        draw();
        d3dtest::EnableCallTrace(false);
        return d3dtest::CallTraceLines("DrawPrimitive");
    }

    std::unique_ptr<CD3DFont> font;
    float spacing = 0.0f;
};

// The cell height of "x" as GDI measures it for a font of this point height.
LONG HeightOfX(DWORD points) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT gdiFont = CreateFontA(-MulDiv(static_cast<int>(points), GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0,
                                FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "Arial");
    HGDIOBJ previous = SelectObject(dc, gdiFont);
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, "x", 1, &size);
    SelectObject(dc, previous);
    DeleteObject(gdiFont);
    DeleteDC(dc);
    return size.cy;
}

bool IsPowerOfTwo(DWORD value) {
    return value != 0 && (value & (value - 1)) == 0;
}

} // namespace

TEST_F(EngineDeviceTest, SpacingIsThreeTenthsOfTheCellHeightRoundedUp) {
    for (DWORD points : {6u, 8u, 10u, 12u, 14u, 20u, 28u}) {
        CD3DFont font("Arial", points, 0);
        const LONG cy = HeightOfX(points);
        const DWORD expected =
            static_cast<DWORD>(std::ceil(static_cast<double>(cy) * static_cast<double>(0.3f)));
        EXPECT_EQ(font.spacing, expected) << points << " points, cell height " << cy;
        if (cy == 10) {
            EXPECT_EQ(font.spacing, 4u) << "0.3f is slightly above 0.3";
        }
    }
}

TEST_F(EngineDeviceTest, TextureIsTheSmallestSquareThatHoldsTheGlyphs) {
    DWORD previous = 0;
    for (DWORD points : {10u, 24u, 48u, 96u}) {
        CD3DFont font("Arial", points, 0);
        EXPECT_EQ(font.textureWidth, font.textureHeight) << points;
        EXPECT_TRUE(IsPowerOfTwo(font.textureWidth)) << points;
        EXPECT_GE(font.textureWidth, 128u) << points;
        EXPECT_GE(font.textureWidth, previous) << points;
        previous = font.textureWidth;
        EXPECT_EQ(font.textScale, 1.0f);
        // Cells lie inside the texture and never overlap.
        for (int a = 0; a < 95; ++a) {
            const float* p = font.glyphCoordinates[a];
            ASSERT_GE(p[0], 0.0f);
            ASSERT_LE(p[2], 1.0f);
            ASSERT_LE(p[3], 1.0f);
            for (int b = a + 1; b < 95; ++b) {
                const float* q = font.glyphCoordinates[b];
                const bool overlap = p[0] < q[2] && q[0] < p[2] && p[1] < q[3] && q[1] < p[3];
                ASSERT_FALSE(overlap) << points << ": glyphs " << a + 32 << " and " << b + 32;
            }
        }
    }
    EXPECT_GT(previous, 128u);
}

TEST_F(EngineDeviceTest, FontLargerThanTheMaximumTextureIsRasterisedSmaller) {
    DWORD searched = 0;
    {
        CD3DFont unconstrained("Arial", 40, 0);
        searched = unconstrained.textureWidth;
    }
    ASSERT_GT(searched, 128u);
    d3dtest::SetMaxTextureSize(128, 128);
    CD3DFont font("Arial", 40, 0);
    d3dtest::ResetMaxTextureSize();
    EXPECT_EQ(font.textureWidth, 128u);
    EXPECT_EQ(font.textureHeight, 128u);
    ASSERT_NE(font.glyphTexture, nullptr);

    float scale = 128.0f / static_cast<float>(searched);
    int rounds = 0;
    while (scale != font.textScale && rounds < 100) {
        scale *= 0.9f;
        ++rounds;
    }
    EXPECT_EQ(scale, font.textScale) << "maximum / searched width, then 0.9 times that, and so on";
    EXPECT_LT(font.textScale, 1.0f);

    // Drawing divides the glyph size by the text scale; a line feed moves by the unscaled line height.
    ASSERT_EQ(font.DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A\nA", 0), S_OK);
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(12);
    const float* uv = font.glyphCoordinates['A' - 32];
    const float texelWidth = (uv[2] - uv[0]) * 128.0f;
    EXPECT_NEAR(v[2].position.x - v[0].position.x, texelWidth / font.textScale, 1e-3f);
    const float lineHeight = (font.glyphCoordinates[0][3] - font.glyphCoordinates[0][1]) * 128.0f;
    EXPECT_NEAR(v[7].position.y - v[1].position.y, lineHeight, 1e-3f);
}

TEST_F(CD3DFontTest, GlyphQuadsStartAtThePenAndAdvanceByTheirWidth) {
    ASSERT_EQ(font->DrawTextA(20.0f, 30.0f, 0xFF112233, "AB", 0), S_OK);
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(12);
    const float* a = font->glyphCoordinates['A' - 32];
    const float left = 20.0f - spacing - 0.5f;
    const float top = 30.0f - 0.5f;
    const float w = TexelWidth('A');
    const float h = LineHeight();
    const struct {
        float x, y, u, v;
    } expected[6] = {{left, top + h, a[0], a[3]},     {left, top, a[0], a[1]},
                     {left + w, top + h, a[2], a[3]}, {left + w, top, a[2], a[1]},
                     {left + w, top + h, a[2], a[3]}, {left, top, a[0], a[1]}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(v[i].position.x, expected[i].x, 1e-4f) << i;
        EXPECT_NEAR(v[i].position.y, expected[i].y, 1e-4f) << i;
        EXPECT_EQ(v[i].position.z, 0.9f) << i;
        EXPECT_EQ(v[i].position.w, 1.0f) << i;
        EXPECT_EQ(v[i].tu, expected[i].u) << i;
        EXPECT_EQ(v[i].tv, expected[i].v) << i;
        EXPECT_EQ(v[i].colour, 0xFF112233u) << i;
    }
    EXPECT_NEAR(v[7].position.x, left + w - 2 * spacing, 1e-4f) << "B follows A's advance";
}

TEST_F(CD3DFontTest, LineFeedsReturnAndSkippedCodesNeitherDrawNorAdvance) {
    ASSERT_EQ(font->DrawTextA(20.0f, 30.0f, 0xFFFFFFFF,
                              "AB\nC\t\r\xE9\x80"
                              "D",
                              0),
              S_OK);
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(24);
    const float left = 20.0f - spacing - 0.5f;
    EXPECT_NEAR(v[13].position.x, left, 1e-4f) << "C starts the second line";
    EXPECT_NEAR(v[13].position.y, 30.0f - 0.5f + LineHeight(), 1e-4f);
    EXPECT_NEAR(v[19].position.x, left + TexelWidth('C') - 2 * spacing, 1e-4f) << "D follows C directly";
    EXPECT_EQ(v[19].tu, font->glyphCoordinates['D' - 32][0]);
}

TEST_F(CD3DFontTest, SpaceAdvancesWithoutAQuad) {
    const std::vector<std::string> calls =
        DrawCalls([&] { font->DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A B", 0); });
    ASSERT_EQ(calls,
              std::vector<std::string>{d3dtest::FormatCall("DrawPrimitive", {D3DPT_TRIANGLELIST, 0, 4})});
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(12);
    const float expected = v[1].position.x + TexelWidth('A') - 2 * spacing + TexelWidth(' ') - 2 * spacing;
    EXPECT_NEAR(v[7].position.x, expected, 1e-4f);
}

TEST_F(CD3DFontTest, FiftyVisibleGlyphsAreOneBatchAndFiftyOneAreTwo) {
    const std::string fifty(50, 'W');
    EXPECT_EQ(DrawCalls([&] { font->DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, (fifty + "   ").c_str(), 0); }),
              std::vector<std::string>{d3dtest::FormatCall("DrawPrimitive", {D3DPT_TRIANGLELIST, 0, 100})});
    const std::vector<std::string> expected = {
        d3dtest::FormatCall("DrawPrimitive", {D3DPT_TRIANGLELIST, 0, 100}),
        d3dtest::FormatCall("DrawPrimitive", {D3DPT_TRIANGLELIST, 0, 2})};
    EXPECT_EQ(DrawCalls([&] { font->DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, (fifty + " W").c_str(), 0); }),
              expected);
}

TEST_F(CD3DFontTest, EmptyTextStillOpensClosesAndRestores) {
    d3dtest::EnableCallTrace(true);
    d3dtest::ClearCallTrace();
    EXPECT_EQ(font->DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "", 0), S_OK);
    d3dtest::EnableCallTrace(false);
    std::vector<std::string> methods;
    for (const d3dtest::TracedCall& call : d3dtest::CallTrace()) {
        methods.push_back(call.method);
    }
    const std::vector<std::string> expected = {"BeginScene",     "Capture",         "Apply", "SetFVF",
                                               "SetPixelShader", "SetStreamSource", "Lock",  "Unlock",
                                               "Apply",          "EndScene"};
    EXPECT_EQ(methods, expected);
    EXPECT_FALSE(d3dtest::InScene(device));
}

TEST_F(CD3DFontTest, DrawingRestoresTheCallersStatesButLeavesFormatShaderAndStream) {
    IDirect3DTexture9* callersTexture = nullptr;
    ASSERT_GE(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &callersTexture, nullptr),
              0);
    device->SetTexture(0, callersTexture);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetFVF(D3DFVF_XYZ);

    ASSERT_EQ(font->DrawTextA(5.0f, 5.0f, 0xFFFFFFFF, "Restore", D3DFONT_FILTERED), S_OK);

    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(RenderState(D3DRS_ALPHATESTENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(StageState(0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_SELECTARG1));
    DWORD filter = 0;
    device->GetSamplerState(0, D3DSAMP_MINFILTER, &filter);
    EXPECT_EQ(filter, static_cast<DWORD>(D3DTEXF_LINEAR));
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &filter);
    EXPECT_EQ(filter, static_cast<DWORD>(D3DTEXF_POINT));
    IDirect3DBaseTexture9* texture = nullptr;
    device->GetTexture(0, &texture);
    EXPECT_EQ(texture, callersTexture);
    if (texture != nullptr) {
        texture->Release();
    }

    DWORD fvf = 0;
    device->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0x144u);
    IDirect3DPixelShader9* shader = reinterpret_cast<IDirect3DPixelShader9*>(1);
    device->GetPixelShader(&shader);
    EXPECT_EQ(shader, nullptr);
    EXPECT_EQ(StreamBuffer(), font->vertexBuffer);
    callersTexture->Release();
}

TEST_F(CD3DFontTest, CentringMeasuresOnlyTheFirstLine) {
    ASSERT_EQ(font->DrawTextA(3.0f, 4.0f, 0xFFFFFFFF, "AA\nAAAAAA", D3DFONT_CENTERED_X | D3DFONT_CENTERED_Y),
              S_OK);
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(48);
    const float lineWidth = 2 * (TexelWidth('A') - 2 * spacing);
    const float left = (800.0f - lineWidth) / 2 - spacing - 0.5f;
    const float top = (600.0f - LineHeight()) / 2 - 0.5f;
    EXPECT_NEAR(v[1].position.x, left, 1e-3f);
    EXPECT_NEAR(v[1].position.y, top, 1e-3f);
    EXPECT_NEAR(v[13].position.x, left, 1e-3f) << "the second line starts at the same x";
    EXPECT_NEAR(v[13].position.y, top + LineHeight(), 1e-3f);
}

TEST_F(CD3DFontTest, ExtentCountsRowsAndTheWidestRow) {
    SIZE size{-1, -1};
    ASSERT_EQ(font->GetTextExtent("", &size), S_OK);
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, static_cast<LONG>(LineHeight()));
    font->GetTextExtent("A\n", &size);
    EXPECT_EQ(size.cy, static_cast<LONG>(2 * LineHeight()));
    font->GetTextExtent("AB\nA\tB", &size);
    EXPECT_EQ(size.cx, static_cast<LONG>(TexelWidth('A') - 2 * spacing + TexelWidth('B') - 2 * spacing));
    size = SIZE{7, 7};
    EXPECT_EQ(font->GetTextExtent(nullptr, &size), E_FAIL);
    EXPECT_EQ(size.cx, 7);
    EXPECT_EQ(font->GetTextExtent("A", nullptr), E_FAIL);
}

TEST_F(CD3DFontTest, ScaledTextIsSizedByTheViewportHeight) {
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(font->DrawTextScaled(-1.0f, -1.0f, 0.5f, 0.1f, 0.1f, 0xFFFFFFFF, "A\nA", 0), S_OK);
    device->EndScene();
    const std::vector<ScreenVertex> v = StreamVertices<ScreenVertex>(12);
    const float k = 600.0f * 0.1f / LineHeight();
    EXPECT_NEAR(v[1].position.x, -spacing * k - 0.5f, 1e-3f);
    EXPECT_NEAR(v[1].position.y, -0.5f, 1e-3f);
    EXPECT_EQ(v[1].position.z, 0.5f);
    EXPECT_NEAR(v[0].position.y - v[1].position.y, 60.0f, 1e-3f) << "one line is yScale x H pixels high";
    EXPECT_NEAR(v[7].position.y - v[1].position.y, 60.0f, 1e-3f);
    EXPECT_NEAR(v[2].position.x - v[0].position.x, TexelWidth('A') * k, 1e-3f);
}

TEST_F(CD3DFontTest, ObjectSpaceTextIsFlatGeometryInTenthsOfTexels) {
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    d3dtest::EnableCallTrace(true);
    d3dtest::ClearCallTrace();
    ASSERT_EQ(font->Render3DText("A\nA", D3DFONT_TWOSIDED), S_OK);
    d3dtest::EnableCallTrace(false);
    device->EndScene();
    EXPECT_EQ(d3dtest::CallTraceLines("SetFVF"),
              std::vector<std::string>{d3dtest::FormatCall("SetFVF", {0x112})});
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE)) << "restored to the start state";
    const std::vector<Font3DVertex> v = StreamVertices<Font3DVertex>(12);
    EXPECT_NEAR(v[0].x, -spacing / 10.0f, 1e-5f);
    EXPECT_NEAR(v[0].y, 0.0f, 1e-5f);
    EXPECT_NEAR(v[1].y, LineHeight() / 10.0f, 1e-4f);
    EXPECT_NEAR(v[2].x - v[0].x, TexelWidth('A') / 10.0f, 1e-4f);
    EXPECT_EQ(v[0].z, 0.0f);
    EXPECT_EQ(v[0].nz, -1.0f);
    EXPECT_NEAR(v[6].y, -LineHeight() / 10.0f, 1e-4f) << "lines go down";
}

TEST_F(CD3DFontTest, DeletedDeviceObjectsMakeDrawingFail) {
    EXPECT_EQ(font->InvalidateDeviceObjects(), S_OK);
    EXPECT_EQ(font->vertexBuffer, nullptr);
    EXPECT_EQ(font->DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A", 0), E_FAIL);
    EXPECT_FALSE(d3dtest::InScene(device));
    EXPECT_EQ(font->RestoreDeviceObjects(), S_OK);
    EXPECT_EQ(font->DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A", 0), S_OK);
    EXPECT_EQ(font->DeleteDeviceObjects(), S_OK);
    EXPECT_EQ(font->device, nullptr);
    EXPECT_EQ(font->DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A", 0), E_FAIL);
    device->BeginScene();
    EXPECT_EQ(font->DrawTextScaled(0, 0, 0, 1, 1, 0xFFFFFFFF, "A", 0), E_FAIL);
    EXPECT_EQ(font->Render3DText("A", 0), E_FAIL);
    device->EndScene();
}

TEST_F(EngineDeviceTest, FontWithoutVertexBufferEndsTheSceneItBegan) {
    d3dtest::InjectFault(d3dtest::Fault::CreateVertexBuffer);
    CD3DFont font("Arial", 14, 0);
    d3dtest::ClearFaults();
    EXPECT_EQ(font.vertexBuffer, nullptr);
    EXPECT_EQ(font.savedStateBlock, nullptr);
    d3dtest::EnableCallTrace(true);
    d3dtest::ClearCallTrace();
    EXPECT_EQ(font.DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A", 0), E_FAIL);
    d3dtest::EnableCallTrace(false);
    std::vector<std::string> methods;
    for (const d3dtest::TracedCall& call : d3dtest::CallTrace()) {
        methods.push_back(call.method);
    }
    EXPECT_EQ(methods, (std::vector<std::string>{"BeginScene", "EndScene"}));
    EXPECT_FALSE(d3dtest::InScene(device));
    SIZE size{0, 0};
    EXPECT_EQ(font.GetTextExtent("AB", &size), S_OK);
    EXPECT_GT(size.cx, 0);
}

TEST_F(EngineDeviceTest, FontWithoutGlyphTextureStillMeasures) {
    d3dtest::InjectFault(d3dtest::Fault::CreateTexture);
    CD3DFont font("Arial", 14, 0);
    d3dtest::ClearFaults();
    EXPECT_EQ(font.glyphTexture, nullptr);
    EXPECT_EQ(font.DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A", 0), E_FAIL);
    EXPECT_FALSE(d3dtest::InScene(device));
    SIZE size{0, 0};
    EXPECT_EQ(font.GetTextExtent("AB", &size), S_OK);
    EXPECT_GT(size.cx, 0);
    EXPECT_GT(size.cy, 0);
}

TEST(CD3DFont, FontWithoutADeviceFailsToDrawButMeasures) {
    CD3DFont font("Arial", 14, D3DFONT_BOLD | D3DFONT_ITALIC);
    EXPECT_EQ(font.device, nullptr);
    EXPECT_EQ(font.glyphTexture, nullptr);
    EXPECT_EQ(font.DrawTextA(0.0f, 0.0f, 0xFFFFFFFF, "A", 0), E_FAIL);
    SIZE size{0, 0};
    EXPECT_EQ(font.GetTextExtent("AB", &size), S_OK);
    EXPECT_GT(size.cx, 0);
}

