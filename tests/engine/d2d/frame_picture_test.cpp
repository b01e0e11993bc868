// A whole frame drawn through the engine root, the 2D layer and the font, read back from the device and
// probed where each element must show. The frame is also written as a PNG to look at.
#include "core/gfx_main.h"
#include "core/init_manager.h"
#include "d2d/d2d_manager.h"
#include "d2d/d3d_font.h"
#include "d3d9/d3d9_testing.h"
#include "engine/device_probes.h"
#include "support/test_files.h"
#include "win32/window_surface.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace d3dtest = platform::d3d9;

namespace {

constexpr uint32_t RED = 0xFFE02010;
constexpr uint32_t GREEN = 0xFF10D030;
constexpr uint32_t BLUE = 0xFF2040E0;
constexpr uint32_t WHITE = 0xFFFFFFFF;
constexpr uint32_t BLACK = 0xFF000000;
constexpr uint32_t YELLOW = 0xFFFFFF00;
constexpr uint32_t VEIL = 0x96C06020;

// A 32 x 32 picture of four quadrants: red, green on top; blue, opaque black below.
std::vector<uint32_t> QuadrantPicture() {
    std::vector<uint32_t> pixels(32 * 32);
    for (int i = 0; i < 32 * 32; ++i) {
        pixels[i] = i / 32 < 16 ? (i % 32 < 16 ? RED : GREEN) : (i % 32 < 16 ? BLUE : BLACK);
    }
    return pixels;
}

} // namespace

TEST(FramePicture, QuadsRectanglesFramesAndTextShowWhereTheyWereDrawn) {
    testing_support::TemporaryFolder folder;
    HWND window = platform::CreateOffscreenWindow(800, 600);
    GFXMain* root = GFXMain::GetExemplar();
    ASSERT_TRUE(root->SetupEngine(window, nullptr));
    IDirect3DDevice9* device = root->getInitManager()->device;
    D2DManager* layer = root->getD2dManager();
    const std::vector<uint32_t> quadrantPixels = QuadrantPicture();
    const std::vector<uint32_t> greenPixels(8 * 8, 0xFF00FF00);
    ASSERT_TRUE(testing_support::WritePng(folder / "quadrants.png", quadrantPixels.data(), 32, 32));
    ASSERT_TRUE(testing_support::WritePng(folder / "green.png", greenPixels.data(), 8, 8));
    int quadrants = -1;
    int green = -1;
    ASSERT_TRUE(layer->LoadTextur((folder / "quadrants.png").string().c_str(), &quadrants));
    ASSERT_TRUE(layer->LoadTextur((folder / "green.png").string().c_str(), &green));

    // What a 3D draw may leave behind: blending off, and a depth test that nothing at depth 0 passes.
    const auto leaveDepthTestOnAndBlendingOff = [&] {
        device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    };

    ASSERT_TRUE(root->UpdateEngine());
    RECT blueArea{50, 100, 250, 200};
    RECT redArea{450, 100, 550, 200};
    RECT veiled{200, 100, 250, 200};
    RECT framed{400, 300, 560, 380};
    EXPECT_TRUE(layer->DrawRect(BLUE, &blueArea));
    leaveDepthTestOnAndBlendingOff();
    EXPECT_TRUE(layer->DrawTextur(300, 100, 128, 128, quadrants, 255, 0.0, true));
    EXPECT_TRUE(layer->DrawTextur(100, 120, 64, 64, quadrants, 128, 0.0, true)); // half over the blue
    EXPECT_TRUE(layer->DrawRect(0xFFFF0000, &redArea));
    leaveDepthTestOnAndBlendingOff();
    EXPECT_TRUE(layer->DrawRect(VEIL, &veiled));
    EXPECT_TRUE(layer->DrawTextur(470, 120, 60, 60, green, 10, 0.0, false)); // added, alpha ignored
    EXPECT_TRUE(layer->DrawTextur(600, 420, 100, 100, green, 255, 45.0, true));
    EXPECT_TRUE(layer->DrawFrame(YELLOW, &framed));
    CD3DFont font("Arial", 28, 0);
    ASSERT_EQ(font.DrawTextA(60.0f, 450.0f, WHITE, "Quarvel 123", 0), S_OK);
    EXPECT_TRUE(root->FlipPage());

    const std::filesystem::path pictures = std::filesystem::path(ZONKEL_BINARY_DIR) / "pictures";
    std::filesystem::create_directories(pictures);
    EXPECT_TRUE(d3dtest::WriteBackBufferPng(device, (pictures / "engine_frame.png").string().c_str()));

    const struct {
        int x, y;
        uint32_t colour;
        const char* what;
    } probes[] = {
        {5, 300, BLACK, "cleared background"},
        {150, 110, BLUE, "blue rectangle"},
        {332, 132, RED, "texture, top-left quadrant"},
        {396, 132, GREEN, "texture, top-right quadrant"},
        {332, 196, BLUE, "texture, bottom-left quadrant"},
        {116, 136, Blend(RED, BLUE, 128), "half-transparent red over blue"},
        {148, 168, BLUE, "keyed black of the loaded texture lets the blue show"},
        {225, 150, Blend(VEIL, BLUE, 0x96), "translucent rectangle over blue"},
        {500, 150, YELLOW, "green added onto red"},
        {460, 110, 0xFFFF0000, "red beside the added quad"},
        {650, 470, 0xFF00FF00, "turned quad, centre"},
        {604, 424, BLACK, "turned quad, former corner now empty"},
        {650, 405, 0xFF00FF00, "turned quad, its corner now above the old top edge"},
        // The frame's bars are one pixel wide: above the top, on the bottom, on the left and the right edge.
        {480, 299, YELLOW, "frame, top bar"},
        {480, 298, BLACK, "above the top bar"},
        {480, 300, BLACK, "below the top bar"},
        {480, 380, YELLOW, "frame, bottom bar"},
        {480, 381, BLACK, "below the bottom bar"},
        {400, 340, YELLOW, "frame, left bar"},
        {401, 340, BLACK, "right of the left bar"},
        {560, 340, YELLOW, "frame, right bar"},
        {559, 340, BLACK, "left of the right bar"},
        {561, 340, BLACK, "right of the right bar"},
    };
    for (const auto& probe : probes) {
        EXPECT_TRUE(ColourNear(d3dtest::ReadBackBufferPixel(device, probe.x, probe.y), probe.colour, 2))
            << probe.what;
    }

    // Text: white pixels inside the measured box, none in the rows above it or the column right of it;
    // the frame-rate line at (10, 10) in white at alpha 0x64 over black.
    SIZE extent{0, 0};
    font.GetTextExtent("Quarvel 123", &extent);
    const auto count = [&](RECT area, uint32_t least, uint32_t most) {
        int found = 0;
        for (int i = 0; i < (area.right - area.left) * (area.bottom - area.top); ++i) {
            const int x = area.left + i % (area.right - area.left);
            const uint32_t blue =
                d3dtest::ReadBackBufferPixel(device, x, area.top + i / (area.right - area.left)) & 0xFF;
            found += blue >= least && blue <= most ? 1 : 0;
        }
        return found;
    };
    EXPECT_GT(count({60, 450, 60 + extent.cx, 450 + extent.cy}, 0xFF, 0xFF), 200) << "white glyph pixels";
    EXPECT_EQ(count({60, 440, 60 + extent.cx, 446}, 1, 0xFF), 0) << "above the text";
    EXPECT_EQ(count({68 + extent.cx, 450, 69 + extent.cx, 450 + extent.cy}, 1, 0xFF), 0) << "right of it";
    EXPECT_GT(count({10, 10, 150, 26}, 1, 0x64), 30) << "frame-rate text";

    platform::PresentedFrame presented;
    ASSERT_TRUE(platform::LastPresentedFrame(window, &presented));
    ASSERT_EQ(presented.width, 800);
    EXPECT_TRUE(ColourNear(presented.pixels[190 * 800 + 60], BLUE, 1)) << "the presented frame";

    ASSERT_TRUE(root->UpdateEngine());
    EXPECT_TRUE(ColourNear(d3dtest::ReadBackBufferPixel(device, 150, 110), BLACK, 0))
        << "the next frame is cleared";
    EXPECT_EQ(d3dtest::ReadDepthValue(device, 400, 300), 0xFFFF) << "depth cleared to 1.0";
}
