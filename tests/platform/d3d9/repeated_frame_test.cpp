// A frame that repeats the last frame's drawing keeps the last picture; any change of what the frame
// draws with (a state, a vertex, a texture's texels, the indices, the clear colour) draws it anew, and
// so do frames whose picture depends on the picture before them. Reads and writes in the middle of a
// repeated frame see the buffers as an immediate device has them.
#include "device_fixture.h"

#include <string>

using namespace d3d9test;
namespace hooks = platform::d3d9;

namespace {

// The texture's four texels, left to right, top to bottom: every channel differs.
constexpr DWORD TEXELS[4] = {0xFFE01020, 0xFF20E010, 0xFF1020E0, 0xFFF0C080};
constexpr DWORD OTHER_TEXELS[4] = {0xFF08F0A0, 0xFFA008F0, 0xFFF0A008, 0xFF304050};
constexpr D3DCOLOR CLEAR = 0xFF203858;
constexpr D3DCOLOR RECTANGLE = 0x80F06010; // half transparent
constexpr D3DCOLOR SHAPE_A = 0xFF30A0F0;
constexpr D3DCOLOR SHAPE_B = 0xFFF0A030;

// src * alpha + dst * (1 - alpha) per channel, alpha of src: the SRCALPHA / INVSRCALPHA blend.
D3DCOLOR Blend(D3DCOLOR src, D3DCOLOR dst) {
    const int alpha = Channel(src, 24);
    D3DCOLOR out = 0xFF000000;
    for (int shift = 0; shift < 24; shift += 8) {
        out |= static_cast<D3DCOLOR>((Channel(src, shift) * alpha + Channel(dst, shift) * (255 - alpha) + 127) /
                                     255)
               << shift;
    }
    return out;
}

// What a frame shows, from which the expected pixels follow.
struct Picture {
    D3DCOLOR clear = CLEAR;
    const DWORD* texels = TEXELS;
    D3DCOLOR rectangle = RECTANGLE;
    bool blend = true;
    bool shapeB = false;           // the indices draw shape B instead of shape A
    bool shapeABehind = false;     // shape A is not drawn or fails the depth test
    bool rectangleOverLast = false; // the rectangle blends over itself (not cleared, or drawn twice)
};

struct Probe {
    int x, y;
    D3DCOLOR (*expected)(const Picture&);
};

// The quad (20..60) shows the texels' quarters; the rectangle (80..140 x 30..90) lies over the clear
// colour; shape A (20..50 x 70..110) and shape B (90..150 x 95..115) are drawn by indices at depth 0.5
// with the depth test "less or equal".
const Probe PROBES[] = {
    {30, 30, [](const Picture& p) { return p.texels[0]; }},
    {50, 30, [](const Picture& p) { return p.texels[1]; }},
    {30, 50, [](const Picture& p) { return p.texels[2]; }},
    {50, 50, [](const Picture& p) { return p.texels[3]; }},
    {110, 60,
     [](const Picture& p) {
         const D3DCOLOR under = p.rectangleOverLast ? Blend(p.rectangle, p.clear) : p.clear;
         return p.blend ? Blend(p.rectangle, under) : p.rectangle | 0xFF000000;
     }},
    {5, 5, [](const Picture& p) { return p.clear; }},
    {35, 90, [](const Picture& p) { return p.shapeB || p.shapeABehind ? p.clear : SHAPE_A; }},
    {120, 105, [](const Picture& p) { return p.shapeB ? SHAPE_B : p.clear; }},
};

class RepeatedFrameTest : public DeviceTest {
public:
    void SetUp() override {
        DeviceTest::SetUp();
        // The set-up's clear is a frame of its own.
        device->Present(nullptr, nullptr, nullptr, nullptr);
        texture = MakeTexture(2, 2, [](int x, int y) { return TEXELS[y * 2 + x]; });
        quad = MakeBuffer(Quad(20, 20, 60, 60, 0xFFFFFFFF), SCREEN_FVF);
        rectangle = MakeBuffer(Quad(80, 30, 140, 90, RECTANGLE), SCREEN_FVF);
        std::vector<ScreenVertex> shapes = Quad(20, 70, 50, 110, SHAPE_A, 0.5f);
        for (const ScreenVertex& v : Quad(90, 95, 150, 115, SHAPE_B, 0.5f)) {
            shapes.push_back(v);
        }
        pair = MakeBuffer(shapes, SCREEN_FVF);
        ASSERT_EQ(device->CreateIndexBuffer(6 * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                            &indices, nullptr),
                  D3D_OK);
        owned.push_back(indices);
        WriteIndices({0, 1, 2, 2, 1, 3});
    }

    void WriteIndices(const std::vector<WORD>& values) {
        void* data = nullptr;
        ASSERT_EQ(indices->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, values.data(), values.size() * sizeof(WORD));
        indices->Unlock();
    }

    void WriteRectangle(D3DCOLOR colour) {
        std::vector<ScreenVertex> vertices = Quad(80, 30, 140, 90, colour);
        void* data = nullptr;
        ASSERT_EQ(rectangle->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, vertices.data(), vertices.size() * sizeof(ScreenVertex));
        rectangle->Unlock();
    }

    static void WriteTexels(void* bits, int pitch, const DWORD* texels) {
        for (int y = 0; y < 2; ++y) {
            std::memcpy(static_cast<uint8_t*>(bits) + y * pitch, texels + 2 * y, 2 * sizeof(DWORD));
        }
    }

    // Every state the frame's other draws change is set again, so that each frame starts alike.
    void SetTexturedStates(IDirect3DTexture9* picture) {
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        device->SetTexture(0, picture);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    }

    void SetColouredStates() {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }

    void DrawStrip(IDirect3DVertexBuffer9* vertices) {
        device->SetFVF(SCREEN_FVF);
        device->SetStreamSource(0, vertices, 0, sizeof(ScreenVertex));
        EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    }

    // The frame: a whole clear, a textured quad, a rectangle and an indexed shape, each in its scene.
    void DrawFrame() {
        const D3DVIEWPORT9 whole{0, 0, WIDTH, HEIGHT, 0.0f, 1.0f};
        device->SetViewport(clearViewport.Width > 0 ? &clearViewport : &whole);
        device->Clear(1, &clearRect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, clearZ, 0);
        device->SetViewport(&whole);
        device->BeginScene();
        SetTexturedStates(texture);
        DrawStrip(quad);
        device->EndScene();
        device->BeginScene();
        SetColouredStates();
        DrawStrip(rectangle);
        device->EndScene();
        device->BeginScene();
        device->SetStreamSource(0, pair, 0, sizeof(ScreenVertex));
        device->SetIndices(indices);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        if (drawShape) {
            EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 2), D3D_OK);
        }
        if (rectangleAgain) {
            SetColouredStates();
            DrawStrip(rectangle);
        }
        device->EndScene();
    }

    void ExpectPicture(const Picture& picture, const std::string& when) {
        platform::PresentedFrame shown;
        ASSERT_TRUE(platform::LastPresentedFrame(window, &shown));
        for (const Probe& probe : PROBES) {
            const D3DCOLOR expected = probe.expected(picture);
            const D3DCOLOR inWindow = shown.pixels[static_cast<size_t>(probe.y) * shown.width + probe.x];
            EXPECT_TRUE(Near(Pixel(probe.x, probe.y), expected))
                << when << ": back buffer at (" << probe.x << ", " << probe.y << ") is " << std::hex
                << Pixel(probe.x, probe.y) << ", expected " << expected;
            EXPECT_TRUE(Near(inWindow, expected)) << when << ": window at (" << probe.x << ", " << probe.y
                                                  << ") is " << std::hex << inWindow << ", expected " << expected;
        }
    }

    IDirect3DTexture9* texture = nullptr;
    IDirect3DVertexBuffer9* quad = nullptr; // of the texture
    IDirect3DVertexBuffer9* rectangle = nullptr;
    IDirect3DVertexBuffer9* pair = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    D3DCOLOR clear = CLEAR;
    float clearZ = 1.0f;
    D3DRECT clearRect{0, 0, WIDTH, HEIGHT};
    D3DVIEWPORT9 clearViewport{};  // the viewport of the clear, when not empty
    BOOL blend = TRUE;
    bool drawShape = true;
    bool rectangleAgain = false; // at the end of the frame
};

struct Change {
    const char* name;
    void (*apply)(RepeatedFrameTest& test, Picture* picture); // null: the frame is drawn again unchanged
};

void PrintTo(const Change& change, std::ostream* out) {
    *out << change.name;
}

class RepeatedFrameChange : public RepeatedFrameTest, public ::testing::WithParamInterface<Change> {};

const Change CHANGES[] = {
    {"Nothing", nullptr},
    {"RenderState",
     [](RepeatedFrameTest& t, Picture* p) {
         t.blend = FALSE;
         p->blend = false;
     }},
    {"VertexColour",
     [](RepeatedFrameTest& t, Picture* p) {
         t.WriteRectangle(0x8010C0F0);
         p->rectangle = 0x8010C0F0;
     }},
    {"TexelsByLockRect",
     [](RepeatedFrameTest& t, Picture* p) {
         IDirect3DTexture9* texture = t.texture;
         D3DLOCKED_RECT locked;
         ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
         RepeatedFrameTest::WriteTexels(locked.pBits, locked.Pitch, OTHER_TEXELS);
         texture->UnlockRect(0);
         p->texels = OTHER_TEXELS;
     }},
    {"TexelsThroughTheLevelSurface",
     [](RepeatedFrameTest& t, Picture* p) {
         IDirect3DSurface9* level = nullptr;
         ASSERT_EQ(t.texture->GetSurfaceLevel(0, &level), D3D_OK);
         D3DLOCKED_RECT locked;
         ASSERT_EQ(level->LockRect(&locked, nullptr, 0), D3D_OK);
         RepeatedFrameTest::WriteTexels(locked.pBits, locked.Pitch, OTHER_TEXELS);
         level->UnlockRect();
         level->Release();
         p->texels = OTHER_TEXELS;
     }},
    {"IndexData",
     [](RepeatedFrameTest& t, Picture* p) {
         t.WriteIndices({4, 5, 6, 6, 5, 7});
         p->shapeB = true;
     }},
    {"ClearColour",
     [](RepeatedFrameTest& t, Picture* p) {
         t.clear = 0xFF583820;
         p->clear = 0xFF583820;
     }},
    {"LastDrawLeftOut",
     [](RepeatedFrameTest& t, Picture* p) {
         t.drawShape = false;
         p->shapeABehind = true;
     }},
    {"DrawAdded",
     [](RepeatedFrameTest& t, Picture* p) {
         t.rectangleAgain = true;
         p->rectangleOverLast = true;
     }},
    {"ClearDepth",
     [](RepeatedFrameTest& t, Picture* p) {
         t.clearZ = 0.25f;
         p->shapeABehind = true;
     }},
    {"ClearRectangle",
     [](RepeatedFrameTest& t, Picture* p) {
         t.clearRect = {0, 0, 80, 120};
         p->rectangleOverLast = true;
     }},
    {"ClearViewport",
     [](RepeatedFrameTest& t, Picture* p) {
         t.clearViewport = {0, 0, 80, 120, 0.0f, 1.0f};
         p->rectangleOverLast = true;
     }},
};

TEST_P(RepeatedFrameChange, ChangedFrameIsDrawnAnewAndUnchangedOneKeepsItsPicture) {
    DrawFrame();
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    Picture picture;
    ExpectPicture(picture, "first frame");
    platform::PresentedFrame shown;
    ASSERT_TRUE(platform::LastPresentedFrame(window, &shown));
    const uint64_t paints = shown.paints;

    const bool unchanged = GetParam().apply == nullptr;
    if (!unchanged) {
        GetParam().apply(*this, &picture);
    }
    DrawFrame();
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ExpectPicture(picture, "second frame");
    ASSERT_TRUE(platform::LastPresentedFrame(window, &shown));
    EXPECT_EQ(shown.serial, 3u) << "every frame is presented";
    // Only a frame with a new picture is drawn, and copied to the window.
    EXPECT_EQ(hooks::RepeatedFrameCount(device), unchanged ? 1u : 0u);
    EXPECT_EQ(shown.paints, unchanged ? paints : paints + 1);
}

INSTANTIATE_TEST_SUITE_P(Frames, RepeatedFrameChange, ::testing::ValuesIn(CHANGES),
                         [](const ::testing::TestParamInfo<Change>& info) { return std::string(info.param.name); });

void ClearPart(IDirect3DDevice9* device, const D3DRECT& part) {
    device->Clear(1, &part, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, CLEAR, 1.0f, 0);
}

// Clears a viewport of the size at the target's corner, then sets the whole viewport again.
void ClearInViewport(IDirect3DDevice9* device, DWORD width, DWORD height) {
    const D3DVIEWPORT9 part{0, 0, width, height, 0.0f, 1.0f};
    const D3DVIEWPORT9 whole{0, 0, 160, 120, 0.0f, 1.0f};
    device->SetViewport(&part);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, CLEAR, 1.0f, 0);
    device->SetViewport(&whole);
}

// A frame that starts from the picture before it (it clears a part only, or the colour without the depth
// its draws test against) draws over that picture again instead of keeping it.
TEST_F(RepeatedFrameTest, FrameThatDependsOnTheLastPictureIsDrawnAgainOverIt) {
    const struct {
        const char* what;
        void (*start)(IDirect3DDevice9* device);
        int x, y;                                // a probe in the rectangle
        D3DCOLOR (*expected)(D3DCOLOR firstTime); // of the second frame, from the first
    } rows[] = {
        {"no clear", [](IDirect3DDevice9*) {}, 110, 60, [](D3DCOLOR first) { return Blend(RECTANGLE, first); }},
        {"a clear of the left half", [](IDirect3DDevice9* device) { ClearPart(device, {0, 0, 80, 120}); },
         110, 60, [](D3DCOLOR first) { return Blend(RECTANGLE, first); }},
        {"a clear of the top", [](IDirect3DDevice9* device) { ClearPart(device, {0, 0, 160, 40}); },
         110, 60, [](D3DCOLOR first) { return Blend(RECTANGLE, first); }},
        {"a clear of the bottom", [](IDirect3DDevice9* device) { ClearPart(device, {0, 80, 160, 120}); },
         110, 60, [](D3DCOLOR first) { return Blend(RECTANGLE, first); }},
        {"a clear of the right", [](IDirect3DDevice9* device) { ClearPart(device, {100, 0, 160, 120}); },
         90, 60, [](D3DCOLOR first) { return Blend(RECTANGLE, first); }},
        {"a clear of a narrower viewport", [](IDirect3DDevice9* device) { ClearInViewport(device, 100, 120); },
         120, 60, [](D3DCOLOR first) { return Blend(RECTANGLE, first); }},
        {"a clear of a shorter viewport", [](IDirect3DDevice9* device) { ClearInViewport(device, 160, 60); },
         110, 80, [](D3DCOLOR first) { return Blend(RECTANGLE, first); }},
        // The rectangle is drawn at depth 0.5 with the test "less": over depth 1.0 it shows, over the
        // 0.5 it left the last time it does not.
        {"a clear of the colour alone",
         [](IDirect3DDevice9* device) {
             device->Clear(0, nullptr, D3DCLEAR_TARGET, CLEAR, 1.0f, 0);
             device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
             device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
         },
         110, 60, [](D3DCOLOR) { return CLEAR; }},
    };
    std::vector<ScreenVertex> deep = Quad(80, 30, 140, 90, RECTANGLE, 0.5f);
    IDirect3DVertexBuffer9* over = MakeBuffer(deep, SCREEN_FVF);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        const uint64_t repeatedBefore = hooks::RepeatedFrameCount(device);
        D3DCOLOR first = 0;
        for (int frame = 0; frame < 2; ++frame) {
            row.start(device);
            device->BeginScene();
            SetColouredStates();
            DrawStrip(over);
            device->EndScene();
            device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
            device->Present(nullptr, nullptr, nullptr, nullptr);
            if (frame == 0) {
                first = Pixel(row.x, row.y);
            }
        }
        ExpectPixel(row.x, row.y, row.expected(first));
        EXPECT_EQ(hooks::RepeatedFrameCount(device), repeatedBefore);
    }
}

// Reads in the middle of a repeated frame show what the frame has drawn so far, not the last picture.
TEST_F(RepeatedFrameTest, BackBufferReadInTheMiddleOfARepeatedFrameShowsTheFrameSoFar) {
    DrawFrame();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, CLEAR, 1.0f, 0);
    device->BeginScene();
    SetTexturedStates(texture);
    DrawStrip(quad);
    device->EndScene();
    ExpectPixel(50, 50, TEXELS[3]);
    ExpectPixel(110, 60, CLEAR); // the rectangle is not drawn yet
    device->BeginScene();
    SetColouredStates();
    DrawStrip(rectangle);
    device->EndScene();
    ExpectPixel(110, 60, Blend(RECTANGLE, CLEAR));
}

// A texture written in the middle of a repeated frame: the draws before the write sample the old texels,
// those after it the new ones; the same for a texture released after a draw that sampled it.
TEST_F(RepeatedFrameTest, TextureWrittenOrReleasedInTheMiddleOfARepeatedFrameKeepsWhatEarlierDrawsSampled) {
    IDirect3DVertexBuffer9* right = MakeBuffer(Quad(100, 20, 140, 60, 0xFFFFFFFF), SCREEN_FVF);
    const struct {
        const char* what;
        void (*write)(IDirect3DTexture9* texture);
    } ways[] = {
        {"LockRect",
         [](IDirect3DTexture9* texture) {
             D3DLOCKED_RECT locked;
             texture->LockRect(0, &locked, nullptr, 0);
             WriteTexels(locked.pBits, locked.Pitch, OTHER_TEXELS);
             texture->UnlockRect(0);
         }},
        {"the level surface",
         [](IDirect3DTexture9* texture) {
             IDirect3DSurface9* level = nullptr;
             texture->GetSurfaceLevel(0, &level);
             D3DLOCKED_RECT locked;
             level->LockRect(&locked, nullptr, 0);
             WriteTexels(locked.pBits, locked.Pitch, OTHER_TEXELS);
             level->UnlockRect();
             level->Release();
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        IDirect3DTexture9* picture = nullptr;
        ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &picture, nullptr), D3D_OK);
        D3DLOCKED_RECT locked;
        picture->LockRect(0, &locked, nullptr, 0);
        WriteTexels(locked.pBits, locked.Pitch, TEXELS);
        picture->UnlockRect(0);
        auto frame = [&](bool write) {
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, CLEAR, 1.0f, 0);
            device->BeginScene();
            SetTexturedStates(picture);
            DrawStrip(quad);
            if (write) {
                way.write(picture);
            }
            DrawStrip(right);
            device->EndScene();
            device->Present(nullptr, nullptr, nullptr, nullptr);
        };
        frame(false);
        frame(true);
        ExpectPixel(50, 50, TEXELS[3]);
        ExpectPixel(130, 50, OTHER_TEXELS[3]);

        // The same frame again, but the texture goes away after its first draw, and the second quad is
        // drawn without it (opaque white).
        frame(false);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, CLEAR, 1.0f, 0);
        device->BeginScene();
        SetTexturedStates(picture);
        DrawStrip(quad);
        picture->Release();
        DrawStrip(right);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        ExpectPixel(50, 50, OTHER_TEXELS[3]);
        ExpectPixel(130, 50, 0xFFFFFFFF);
    }
}

// A back buffer written through its surface between two equal frames: the second frame draws over
// the write as it clears the whole picture.
TEST_F(RepeatedFrameTest, BackBufferWrittenBetweenEqualFramesIsDrawnOver) {
    DrawFrame();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &target), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(target->LockRect(&locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < HEIGHT; ++y) {
        std::memset(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, 0x7F, WIDTH * 4);
    }
    target->UnlockRect();
    target->Release();
    DrawFrame();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    ExpectPicture(Picture(), "frame after the write");
}

// Frames that only clear are pictures too: each new colour reaches the window, a repeated one is kept.
TEST_F(RepeatedFrameTest, FramesThatOnlyClearReachTheWindowWithEachNewColour) {
    const D3DCOLOR colours[] = {0xFFC02040, 0xFF40C020, 0xFF40C020, 0xFF2040C0};
    for (D3DCOLOR colour : colours) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        platform::PresentedFrame shown;
        ASSERT_TRUE(platform::LastPresentedFrame(window, &shown));
        EXPECT_EQ(shown.pixels[static_cast<size_t>(70) * shown.width + 90] | 0xFF000000u, colour);
    }
    EXPECT_EQ(hooks::RepeatedFrameCount(device), 1u);
}

} // namespace
