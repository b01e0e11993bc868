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

TEST_F(TransformedDrawTest, TriangleCrossingTheNearPlaneDrawsItsVisiblePart) {
    device->SetTexture(0, nullptr);
    // One vertex behind the camera, two well in front.
    DrawColoured({{0.0f, -5.0f, -20.0f, 0xFF00FF00, 0, 0},
                  {-20.0f, -5.0f, 50.0f, 0xFF00FF00, 0, 0},
                  {20.0f, -5.0f, 50.0f, 0xFF00FF00, 0, 0}},
                 D3DPT_TRIANGLELIST, 1);
    float sx, sy;
    Project(0.0f, -5.0f, 40.0f, &sx, &sy);
    ExpectPixel(static_cast<int>(sx), static_cast<int>(sy), 0xFF00FF00);
    // Above the horizon of the plane y = -5 nothing may be drawn.
    for (int x = 0; x < WIDTH; x += 4) {
        ExpectPixel(x, HEIGHT / 2 - 2, 0xFF000000);
    }
}

TEST_F(TransformedDrawTest, TriangleBeyondTheFarPlaneIsNotDrawn) {
    device->SetTexture(0, nullptr);
    DrawColoured({{-50.0f, -50.0f, 250.0f, 0xFFFFFFFF, 0, 0},
                  {0.0f, 50.0f, 250.0f, 0xFFFFFFFF, 0, 0},
                  {50.0f, -50.0f, 250.0f, 0xFFFFFFFF, 0, 0}},
                 D3DPT_TRIANGLELIST, 1);
    ExpectPixel(WIDTH / 2, HEIGHT / 2, 0xFF000000);
}

TEST_F(TransformedDrawTest, TexturingOfARecedingQuadIsPerspectiveCorrect) {
    // Top half of the texture red, bottom half blue, on a floor from z = 20 (v = 1) to z = 100 (v = 0).
    IDirect3DTexture9* texture =
        MakeTexture(4, 4, [](int, int y) { return y < 2 ? 0xFFFF0000u : 0xFF0000FFu; });
    device->SetTexture(0, texture);
    DrawColoured({{-30.0f, -10.0f, 20.0f, 0xFFFFFFFF, 0, 1},
                  {-30.0f, -10.0f, 100.0f, 0xFFFFFFFF, 0, 0},
                  {30.0f, -10.0f, 20.0f, 0xFFFFFFFF, 1, 1},
                  {30.0f, -10.0f, 100.0f, 0xFFFFFFFF, 1, 0}},
                 D3DPT_TRIANGLESTRIP, 2);
    // v = 0.5 lies at z = 60 in the world, well above the screen midpoint of the quad.
    float sx, yHalf, yNear, yFar;
    Project(0.0f, -10.0f, 60.0f, &sx, &yHalf);
    Project(0.0f, -10.0f, 20.0f, &sx, &yNear);
    Project(0.0f, -10.0f, 100.0f, &sx, &yFar);
    ASSERT_LT(yHalf + 3, (yNear + yFar) / 2);
    ExpectPixel(WIDTH / 2, static_cast<int>(yHalf) - 2, 0xFFFF0000);
    ExpectPixel(WIDTH / 2, static_cast<int>(yHalf) + 2, 0xFF0000FF);
    ExpectPixel(WIDTH / 2, static_cast<int>((yNear + yFar) / 2), 0xFF0000FF);
}

TEST_F(TransformedDrawTest, PointSpritesAreTexturedSquaresOfTheirSize) {
    // Quadrants: top-left red, top-right green, bottom-left blue, bottom-right white.
    IDirect3DTexture9* star = MakeTexture(2, 2, [](int x, int y) {
        const DWORD colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
        return colours[y * 2 + x];
    });
    device->SetTexture(0, star);
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device->SetRenderState(D3DRS_POINTSIZE_MIN, FloatToDword(0.0f));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    std::vector<PointVertex> points = {{0.0f, 0.0f, 50.0f, 20.0f, 0xFFFFFFFF},
                                       {0.0f, 0.0f, 5.0f, 20.0f, 0xFFFFFFFF},   // before the near plane
                                       {10.0f, 0.0f, 50.0f, 0.0f, 0xFFFFFFFF}}; // size 0
    ASSERT_EQ(Draw(points, POINT_FVF, D3DPT_POINTLIST, 3), D3D_OK);
    const int cx = WIDTH / 2, cy = HEIGHT / 2;
    ExpectPixel(cx - 5, cy - 5, 0xFFFF0000);
    ExpectPixel(cx + 5, cy - 5, 0xFF00FF00);
    ExpectPixel(cx - 5, cy + 5, 0xFF0000FF);
    ExpectPixel(cx + 5, cy + 5, 0xFFFFFFFF);
    ExpectPixel(cx - 12, cy, 0xFF000000);
    ExpectPixel(cx + 12, cy, 0xFF000000);
    ExpectPixel(cx, cy - 12, 0xFF000000);
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

TEST_F(TransformedDrawTest, GeometryFarBeyondTheScreenEdgesIsClippedToTheViewport) {
    device->SetTexture(0, nullptr);
    // A huge wall in front of the camera: its corners project far outside the guard band.
    DrawColoured(Square(100000.0f, 50.0f, 0xFF00FFFF), D3DPT_TRIANGLESTRIP, 2);
    for (int y = 0; y < HEIGHT; y += 7) {
        for (int x = 0; x < WIDTH; x += 7) {
            ExpectPixel(x, y, 0xFF00FFFF);
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
    // A point at the centre of the view lands at the centre of the viewport.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawColoured(Square(1.0f, 50.0f, 0xFFFFFFFF), D3DPT_TRIANGLESTRIP, 2);
    ExpectPixel(80, 60, 0xFFFFFFFF);
    ExpectPixel(70, 60, 0xFF000000);
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
