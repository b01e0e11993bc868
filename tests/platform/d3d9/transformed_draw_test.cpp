// Drawing transformed geometry: clipping at the near and far planes and the guard band, the viewport,
// perspective-correct texturing, point sprites, indexed draws and stream offsets.
#include "device_fixture.h"

#include <cmath>

using namespace d3d9test;

class TransformedDrawTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        D3DMATRIX projection =
            Perspective(3.14159265f / 4, static_cast<float>(WIDTH) / HEIGHT, 10.0f, 200.0f);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        D3DMATRIX identity = Identity();
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    }

    // Screen position of a camera-space point under the fixture's projection.
    void Project(float x, float y, float z, float* sx, float* sy) {
        float yScale = 1.0f / std::tan(3.14159265f / 8);
        float xScale = yScale / (static_cast<float>(WIDTH) / HEIGHT);
        *sx = (1.0f + x * xScale / z) * WIDTH / 2;
        *sy = (1.0f - y * yScale / z) * HEIGHT / 2;
    }

    void DrawColoured(const std::vector<ColouredVertex>& vertices, D3DPRIMITIVETYPE type, UINT count) {
        EXPECT_EQ(Draw(vertices, COLOURED_FVF, type, count), D3D_OK);
    }

    // A square strip facing the camera at depth z, from -half to half on both axes.
    static std::vector<ColouredVertex> Square(float half, float z, DWORD colour) {
        return {{-half, -half, z, colour, 0, 1},
                {-half, half, z, colour, 0, 0},
                {half, -half, z, colour, 1, 1},
                {half, half, z, colour, 1, 0}};
    }
};

TEST_F(TransformedDrawTest, VerticesGoThroughWorldThenViewThenProjection) {
    device->SetTexture(0, nullptr);
    // World: move by (50, -5, 0). View: turn a quarter about y (x takes -z, z takes x; row vectors), then
    // move by 3 along x. The model's square around its origin in its y-z plane lands around (3, -5, 50)
    // in the camera's frame, its colours red at model z = -2 and blue at z = 2.
    D3DMATRIX world = Identity(), view = Identity();
    world._41 = 50.0f;
    world._42 = -5.0f;
    view._11 = view._33 = 0.0f;
    view._13 = 1.0f;
    view._31 = -1.0f;
    view._41 = 3.0f;
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetTransform(D3DTS_VIEW, &view);
    DrawColoured({{0, -2, -2, 0xFFFF0000, 0, 0},
                  {0, 2, -2, 0xFFFF0000, 0, 0},
                  {0, -2, 2, 0xFF0000FF, 0, 0},
                  {0, 2, 2, 0xFF0000FF, 0, 0}},
                 D3DPT_TRIANGLESTRIP, 2);
    // Along the row through its centre the colour goes from blue at camera x = 1 to red at x = 5.
    float sx, sy;
    Project(3.0f, -5.0f, 50.0f, &sx, &sy);
    const float xScale = 1.0f / std::tan(3.14159265f / 8) / (static_cast<float>(WIDTH) / HEIGHT);
    for (int x = static_cast<int>(sx) - 4; x <= static_cast<int>(sx) + 4; x += 4) {
        double t = ((x * 2.0 / WIDTH - 1) * 50 / xScale - 1) / 4;
        ExpectPixel(x, static_cast<int>(std::lround(sy)),
                    0xFF000000u | static_cast<DWORD>(std::lround(255 * t)) << 16 | std::lround(255 * (1 - t)),
                    2);
    }
    Project(-3.0f, -5.0f, 50.0f, &sx, &sy);
    ExpectPixel(static_cast<int>(sx), static_cast<int>(sy), 0xFF000000, 0);
}

TEST_F(TransformedDrawTest, TexturingOfARecedingQuadIsPerspectiveCorrect) {
    // A floor at y = -10, 200 wide (its near corners beyond the guard band), from z = 20 (v = 1) to z = 100
    // (v = 0); texel row r has green r and red 255 - r. v is linear in the world: at depth z it is (100 - z)
    // / 80, and screen row y shows the floor at z = 10 * 60 * yScale / (y - 60). Point sampling shows row
    // floor(256 v), bilinear filtering the ramp's value at 256 v - 1/2.
    IDirect3DTexture9* texture = MakeTexture(
        4, 256, [](int, int y) { return 0xFF00003Cu | static_cast<DWORD>(255 - y) << 16 | y << 8; });
    device->SetTexture(0, texture);
    const float yScale = 1.0f / std::tan(3.14159265f / 8);
    for (DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
        // No two corners at the same depth.
        DrawColoured({{-100.0f, -10.0f, 20.0f, 0xFFFFFFFF, 0, 1},
                      {-100.0f, -10.0f, 100.0f, 0xFFFFFFFF, 0, 0},
                      {100.0f, -10.0f, 21.0f, 0xFFFFFFFF, 1, 79.0f / 80},
                      {100.0f, -10.0f, 99.0f, 0xFFFFFFFF, 1, 1.0f / 80}},
                     D3DPT_TRIANGLESTRIP, 2);
        for (int y : {76, 79, 85, 93, 104, 119}) {
            double z = 600.0 * yScale / (y - 60), v = (100.0 - z) / 80;
            double value = filter == D3DTEXF_POINT ? std::floor(256 * v) : 256 * v - 0.5;
            int row = static_cast<int>(std::lround(value));
            // Every column of the row shows the same depth; 150 lies beyond the first 128 pixels.
            for (int x : {WIDTH / 2 + 7, 150}) {
                ExpectPixel(x, y, 0xFF00003Cu | static_cast<DWORD>(255 - row) << 16 | row << 8);
            }
        }
    }
}

TEST_F(TransformedDrawTest, PointSpritesAreSquaresOfTheirClampedSizeTexturedFromTheTopLeft) {
    // Texel (x, y) of a 4 x 4 texture: red from x, green from y.
    auto texel = [](int x, int y) {
        return 0xFF000000u | static_cast<DWORD>(x * 60 + 20) << 16 | (y * 70 + 10) << 8 | 0x33;
    };
    device->SetTexture(0, MakeTexture(4, 4, texel));
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device->SetRenderState(D3DRS_POINTSIZE_MIN, FloatToDword(0.0f));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    // A point of 8 pixels on the centre of the view (80, 60) covers pixels 76 to 83 across and 56 to 63
    // down, two pixels per texel, texel (0, 0) at the top left.
    std::vector<PointVertex> points = {{0.0f, 0.0f, 50.0f, 8.0f, 0xFFFFFFFF},
                                       {0.0f, 0.0f, 5.0f, 20.0f, 0xFFFF0000},   // before the near plane
                                       {0.0f, 0.0f, 250.0f, 20.0f, 0xFFFF0000}, // beyond the far plane
                                       {10.0f, 0.0f, 50.0f, 0.0f, 0xFFFF0000}}; // size 0
    ASSERT_EQ(Draw(points, POINT_FVF, D3DPT_POINTLIST, 4), D3D_OK);
    for (int y = 55; y <= 64; ++y) {
        for (int x = 75; x <= 84; ++x) {
            bool inside = x >= 76 && x <= 83 && y >= 56 && y <= 63;
            ExpectPixel(x, y, inside ? texel((x - 76) / 2, (y - 56) / 2) : 0xFF000000, 0);
        }
    }
    // Points on the near and the far plane are drawn, those just outside are not. Here near is z = 10 and
    // far z = 20 (clip z = 2z - 20, w = z); x = -z/2 lands on column 40, x = z/2 on 120, x = 0 on 80.
    D3DMATRIX projection = Identity();
    projection._33 = 2.0f;
    projection._34 = 1.0f;
    projection._43 = -20.0f;
    projection._44 = 0.0f;
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(Draw(std::vector<PointVertex>{{-5.0f, 0.0f, 10.0f, 4.0f, 0xFFFFFFFF},
                                            {10.0f, 0.0f, 20.0f, 4.0f, 0xFFFFFFFF},
                                            {0.0f, 0.0f, 9.99f, 4.0f, 0xFFFFFFFF},
                                            {0.0f, 0.0f, 20.01f, 4.0f, 0xFFFFFFFF}},
                   POINT_FVF, D3DPT_POINTLIST, 4),
              D3D_OK);
    EXPECT_NE(Pixel(40, 60), 0xFF000000u);
    EXPECT_NE(Pixel(120, 60), 0xFF000000u);
    EXPECT_EQ(Pixel(80, 60), 0xFF000000u);
    projection = Perspective(3.14159265f / 4, static_cast<float>(WIDTH) / HEIGHT, 10.0f, 200.0f);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    // Without sprites the square takes the vertex's texture coordinates (none here: texel (0, 0)); this
    // point at x = 1.5 covers pixels 81 to 88.
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    ASSERT_EQ(
        Draw(std::vector<PointVertex>{{1.5f, 0.0f, 50.0f, 8.0f, 0xFFFFFFFF}}, POINT_FVF, D3DPT_POINTLIST, 1),
        D3D_OK);
    ExpectPixel(85, 62, texel(0, 0), 0);

    // Sizes, untextured and in the vertex's colour: the side in pixels is the size clamped to
    // POINTSIZE_MIN and to POINTSIZE_MAX, which cannot exceed 64; without a size in the vertex the
    // POINTSIZE state gives it.
    device->SetTexture(0, nullptr);
    const struct {
        float size, minimum, maximum;
        bool vertexSize;
        int side;
    } rows[] = {{3.0f, 9.0f, 64.0f, true, 9},     {100.0f, 0.0f, 64.0f, true, 64},
                {100.0f, 0.0f, 100.0f, true, 64}, {30.0f, 0.0f, 20.0f, true, 20},
                {15.0f, 0.0f, 64.0f, true, 15},   {5.0f, 1.0f, 64.0f, false, 5},
                {0.5f, 2.0f, 64.0f, false, 2}};
    for (const auto& row : rows) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->SetRenderState(D3DRS_POINTSIZE_MIN, FloatToDword(row.minimum));
        device->SetRenderState(D3DRS_POINTSIZE_MAX, FloatToDword(row.maximum));
        if (row.vertexSize) {
            ASSERT_EQ(Draw(std::vector<PointVertex>{{0.0f, 0.0f, 50.0f, row.size, 0xFF40A0E0}}, POINT_FVF,
                           D3DPT_POINTLIST, 1),
                      D3D_OK);
        } else {
            struct PlainVertex {
                float x, y, z;
                DWORD colour;
            };
            device->SetRenderState(D3DRS_POINTSIZE, FloatToDword(row.size));
            ASSERT_EQ(Draw(std::vector<PlainVertex>{{0.0f, 0.0f, 50.0f, 0xFF40A0E0}},
                           D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DPT_POINTLIST, 1),
                      D3D_OK);
        }
        // A square of side n centred on pixel centre 80 covers 80 - n/2 (rounded up) to 80 + n/2 (exclusive).
        const int first = 80 - row.side / 2, last = first + row.side - 1;
        for (int x : {first - 1, first, last, last + 1}) {
            bool inside = x >= first && x <= last;
            EXPECT_EQ(Pixel(x, 60), inside ? 0xFF40A0E0u : 0xFF000000u)
                << "size " << row.size << " min " << row.minimum << " max " << row.maximum << " x " << x;
            EXPECT_EQ(Pixel(80, x - 20), inside ? 0xFF40A0E0u : 0xFF000000u)
                << "size " << row.size << " min " << row.minimum << " max " << row.maximum << " y " << x - 20;
        }
    }
}

TEST_F(TransformedDrawTest, IndexedDrawReadsFromTheStreamOffset) {
    struct TerrainVertex {
        float x, y, z;
        DWORD colour;
        float tu0, tv0, tu1, tv1;
    };
    constexpr DWORD TERRAIN_FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX2;
    static_assert(TERRAIN_FVF == 0x242);
    // Two copies of a quad; the stream offset selects the second (grey) one.
    std::vector<TerrainVertex> vertices;
    for (DWORD colour : {0xFFFF0000u, 0xFF808080u}) {
        for (const ColouredVertex& v : Square(10, 50, colour)) {
            vertices.push_back({v.x, v.y, v.z, colour, 0, 0, 0, 0});
        }
    }
    IDirect3DVertexBuffer9* vb = MakeBuffer(vertices, TERRAIN_FVF);
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(
        device->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
        D3D_OK);
    owned.push_back(ib);
    void* data = nullptr;
    ASSERT_EQ(ib->Lock(0, 12, &data, 0), D3D_OK);
    const WORD indices[] = {0, 1, 2, 2, 1, 3};
    std::memcpy(data, indices, sizeof indices);
    ib->Unlock();
    IDirect3DTexture9* white = MakeTexture(2, 2, [](int, int) { return 0xFFFFFFFFu; });
    device->SetTexture(0, white);
    device->SetFVF(TERRAIN_FVF);
    device->SetStreamSource(0, vb, 4 * sizeof(TerrainVertex), sizeof(TerrainVertex));
    device->SetIndices(ib);
    device->BeginScene();
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    // Indices beyond the index buffer fail.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    // Vertices beyond the stream fail.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    device->EndScene();
    ExpectPixel(WIDTH / 2, HEIGHT / 2, 0xFF808080);
    // Indices 4 and 5 (vertices 1 and 3, the upper corners) as points of 4 pixels.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->SetRenderState(D3DRS_POINTSIZE, FloatToDword(4.0f));
    device->BeginScene();
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_POINTLIST, 0, 0, 4, 4, 2), D3D_OK);
    device->EndScene();
    float sx, sy;
    for (float x : {-10.0f, 10.0f}) {
        Project(x, 10.0f, 50.0f, &sx, &sy);
        ExpectPixel(static_cast<int>(sx), static_cast<int>(sy), 0xFF808080);
        Project(x, -10.0f, 50.0f, &sx, &sy);
        ExpectPixel(static_cast<int>(sx), static_cast<int>(sy), 0xFF000000);
    }
    EXPECT_EQ(device->SetIndices(nullptr), D3D_OK);
    device->BeginScene();
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    device->EndScene();
}

TEST_F(TransformedDrawTest, RepeatedPassesOverIdenticalGeometryPassLessEqual) {
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    for (DWORD colour : {0xFF0000FFu, 0xFFFFFF00u}) {
        DrawColoured({{-30.0f, -10.0f, 20.0f, colour, 0, 0},
                      {-30.0f, -10.0f, 100.0f, colour, 0, 0},
                      {30.0f, -10.0f, 20.0f, colour, 0, 0},
                      {30.0f, -10.0f, 100.0f, colour, 0, 0}},
                     D3DPT_TRIANGLESTRIP, 2);
    }
    for (int y = HEIGHT / 2 + 5; y < HEIGHT; y += 3) {
        D3DCOLOR c = Pixel(WIDTH / 2, y);
        EXPECT_TRUE(c == 0xFFFFFF00 || c == 0xFF000000) << y;
    }
}

TEST_F(TransformedDrawTest, ClippedCornersTakeTheColourOfTheirPlaceOnTheCutEdge) {
    device->SetTexture(0, nullptr);
    // Colour changes linearly along an edge in the world; where a plane cuts the edge at the fraction t of
    // its length, the new corner has the colour at t. The planes of the first two rows lie on whole pixel
    // rows, which then belong to the drawn part (top edges) and show that colour exactly.
    const float yScale = 1.0f / std::tan(3.14159265f / 8);
    const D3DCOLOR near = 0xFF20C040, far = 0xFFE010A0;
    auto mix = [](D3DCOLOR a, D3DCOLOR b, double t) {
        D3DCOLOR result = 0xFF000000;
        for (int shift = 0; shift < 24; shift += 8) {
            result |= static_cast<D3DCOLOR>(
                          std::lround(Channel(a, shift) + (Channel(b, shift) - Channel(a, shift)) * t))
                      << shift;
        }
        return result;
    };
    // A floor reaching beyond the far plane (z = 200), seen on row 68, and a ceiling from z = 40 to a corner
    // behind the camera, cut by the near plane (z = 10) on row 20.
    const float floorY = -8.0f / 60 * 200 / yScale, ceilingY = 40.0f / 60 * 10 / yScale;
    const struct {
        const char* what;
        std::vector<ColouredVertex> triangle;
        int row;
        double t;
    } rows[] = {
        {"far plane, two corners beyond it",
         {{0, floorY, 20, near, 0, 0}, {-400, floorY, 400, far, 0, 0}, {400, floorY, 400, far, 0, 0}},
         68,
         (200.0 - 20) / (400 - 20)},
        {"near plane, corner behind the camera",
         {{-30, ceilingY, 40, near, 0, 0}, {30, ceilingY, 40, near, 0, 0}, {0, ceilingY, -10, far, 0, 0}},
         20,
         (40.0 - 10) / (40 + 10)},
    };
    for (const auto& row : rows) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        DrawColoured(row.triangle, D3DPT_TRIANGLELIST, 1);
        ExpectPixel(WIDTH / 2, row.row, mix(near, far, row.t));
        EXPECT_EQ(Pixel(WIDTH / 2, row.row == 68 ? 67 : 19), 0xFF000000u) << row.what;
    }
    // Wholly beyond the far plane: nothing.
    DrawColoured({{-50, -50, 250, far, 0, 0}, {0, 50, 250, far, 0, 0}, {50, -50, 250, far, 0, 0}},
                 D3DPT_TRIANGLELIST, 1);
    ExpectPixel(WIDTH / 2, HEIGHT / 2, 0xFF000000, 0);
    // A wall whose corners would lie millions of pixels off screen, its left side one colour and its
    // right side another: the centre of the view (x = 0) lies a quarter of the way from the left side.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawColoured({{-1.0e6f, -1.0e6f, 50, near, 0, 1},
                  {-1.0e6f, 1.0e6f, 50, near, 0, 0},
                  {3.0e6f, -1.0e6f, 50, far, 1, 1},
                  {3.0e6f, 1.0e6f, 50, far, 1, 0}},
                 D3DPT_TRIANGLESTRIP, 2);
    for (int y = 0; y < HEIGHT; y += 17) {
        for (int x = 0; x < WIDTH; x += 23) {
            ExpectPixel(x, y, mix(near, far, 0.25));
        }
    }
}

TEST_F(TransformedDrawTest, ViewportMapsAndLimitsTransformedGeometry) {
    device->SetTexture(0, nullptr);
    D3DVIEWPORT9 vp{40, 30, 80, 60, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
    // The same wall fills exactly the viewport.
    DrawColoured(Square(1000.0f, 50.0f, 0xFFFF00FF), D3DPT_TRIANGLESTRIP, 2);
    ExpectPixel(40, 30, 0xFFFF00FF);
    ExpectPixel(119, 89, 0xFFFF00FF);
    ExpectPixel(39, 50, 0xFF000000);
    ExpectPixel(120, 50, 0xFF000000);
    ExpectPixel(80, 29, 0xFF000000);
    ExpectPixel(80, 90, 0xFF000000);
    // A point at the centre of the view lands at the centre of the viewport; its depth z / w =
    // 200 / 190 * (1 - 10 / 50) maps into MinZ 0.25 to MaxZ 0.75.
    vp.MinZ = 0.25f;
    vp.MaxZ = 0.75f;
    ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    DrawColoured(Square(1.0f, 50.0f, 0xFFFFFFFF), D3DPT_TRIANGLESTRIP, 2);
    ExpectPixel(80, 60, 0xFFFFFFFF);
    ExpectPixel(70, 60, 0xFF000000);
    EXPECT_NEAR(platform::d3d9::ReadDepthValue(device, 80, 60), (0.25 + 0.5 * 200 / 190 * 0.8) * 65535, 1.0);
}

TEST_F(TransformedDrawTest, FrameSelectedByStreamOffsetAndTextVertexFormat) {
    // Model frames: two frames of one triangle each in one buffer (0x102); the offset picks frame 1.
    struct ModelVertex {
        float x, y, z, tu, tv;
    };
    IDirect3DTexture9* skin = MakeTexture(2, 2, [](int, int) { return 0xFF30A050u; });
    device->SetTexture(0, skin);
    std::vector<ModelVertex> frames = {{-40, -10, 50, 0, 0}, {-40, 10, 50, 0, 0}, {-20, -10, 50, 0, 0},
                                       {20, -10, 50, 0, 0},  {20, 10, 50, 0, 0},  {40, -10, 50, 0, 0}};
    IDirect3DVertexBuffer9* vb = MakeBuffer(frames, D3DFVF_XYZ | D3DFVF_TEX1);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
    device->SetStreamSource(0, vb, 3 * sizeof(ModelVertex), sizeof(ModelVertex));
    device->BeginScene();
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3DERR_INVALIDCALL);
    device->EndScene();
    float sx, sy;
    Project(25.0f, -5.0f, 50.0f, &sx, &sy);
    ExpectPixel(static_cast<int>(sx), static_cast<int>(sy), 0xFF30A050);
    Project(-35.0f, -5.0f, 50.0f, &sx, &sy);
    ExpectPixel(static_cast<int>(sx), static_cast<int>(sy), 0xFF000000);

    // Text in the scene: position, normal, texture coordinates (0x112), stride 32, white diffuse.
    struct TextVertex {
        float x, y, z, nx, ny, nz, tu, tv;
    };
    std::vector<TextVertex> text = {
        {-10, 5, 50, 0, 0, -1, 0, 1}, {-10, 15, 50, 0, 0, -1, 0, 0}, {10, 5, 50, 0, 0, -1, 1, 1}};
    ASSERT_EQ(Draw(text, 0x112, D3DPT_TRIANGLELIST, 1), D3D_OK);
    Project(-5.0f, 7.0f, 50.0f, &sx, &sy);
    ExpectPixel(static_cast<int>(sx), static_cast<int>(sy), 0xFF30A050);
}
