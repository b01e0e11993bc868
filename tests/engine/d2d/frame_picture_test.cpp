// Whole frames drawn through the engine root, the 2D layer and the font, read back from the device
// and probed where each element must show. The frame is also written as a PNG to look at.
#include "core/gfx_main.h"
#include "core/init_manager.h"
#include "d2d/d2d_manager.h"
#include "d2d/d3d_font.h"
#include "d3d9/d3d9_testing.h"
#include "support/test_files.h"
#include "win32/window_surface.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace d3dtest = platform::d3d9;

namespace {

constexpr uint32_t RED = 0xFFE02010;
constexpr uint32_t GREEN = 0xFF10D030;
constexpr uint32_t BLUE = 0xFF2040E0;
constexpr uint32_t WHITE = 0xFFFFFFFF;

// Four quadrants of 16 x 16 texels: red, green on top; blue, white below.
std::vector<uint32_t> QuadrantPicture() {
    std::vector<uint32_t> pixels(32 * 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            pixels[y * 32 + x] = y < 16 ? (x < 16 ? RED : GREEN) : (x < 16 ? BLUE : WHITE);
        }
    }
    return pixels;
}

int Channel(uint32_t colour, int shift) {
    return static_cast<int>((colour >> shift) & 0xFF);
}

::testing::AssertionResult ColourNear(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > tolerance) {
            return ::testing::AssertionFailure()
                   << std::hex << "got 0x" << (actual & 0xFFFFFF) << ", expected 0x" << (expected & 0xFFFFFF);
        }
    }
    return ::testing::AssertionSuccess();
}

class FramePicture : public ::testing::Test {
protected:
    void SetUp() override {
        window = platform::CreateOffscreenWindow(800, 600);
        root = GFXMain::GetExemplar();
        ASSERT_TRUE(root->SetupEngine(window, nullptr));
        device = root->getInitManager()->device;
        layer = root->getD2dManager();
        ASSERT_NE(layer, nullptr);
        const std::vector<uint32_t> quadrants = QuadrantPicture();
        const std::vector<uint32_t> green(8 * 8, 0xFF00FF00);
        ASSERT_TRUE(testing_support::WritePng(folder / "quadrants.png", quadrants.data(), 32, 32));
        ASSERT_TRUE(testing_support::WritePng(folder / "green.png", green.data(), 8, 8));
        ASSERT_TRUE(layer->LoadTextur((folder / "quadrants.png").string().c_str(), &quadrants_));
        ASSERT_TRUE(layer->LoadTextur((folder / "green.png").string().c_str(), &green_));
    }

    uint32_t Pixel(int x, int y) { return d3dtest::ReadBackBufferPixel(device, x, y); }

    void ExpectPixel(int x, int y, uint32_t expected, const char* what, int tolerance = 1) {
        EXPECT_TRUE(ColourNear(Pixel(x, y), expected, tolerance)) << what << " at (" << x << ", " << y << ")";
    }

    testing_support::TemporaryFolder folder;
    HWND window = nullptr;
    GFXMain* root = nullptr;
    IDirect3DDevice9* device = nullptr;
    D2DManager* layer = nullptr;
    int quadrants_ = -1;
    int green_ = -1;
};

} // namespace

TEST_F(FramePicture, QuadsRectanglesFramesAndTextShowWhereTheyWereDrawn) {
    ASSERT_TRUE(root->UpdateEngine());

    RECT blueArea{50, 100, 250, 200};
    EXPECT_TRUE(layer->DrawRect(BLUE, &blueArea));
    EXPECT_TRUE(layer->DrawTextur(300, 100, 128, 128, quadrants_, 255, 0.0, true));
    EXPECT_TRUE(layer->DrawTextur(100, 120, 64, 64, quadrants_, 128, 0.0, true)); // half over the blue
    RECT redArea{450, 100, 550, 200};
    EXPECT_TRUE(layer->DrawRect(0xFFFF0000, &redArea));
    EXPECT_TRUE(layer->DrawTextur(470, 120, 60, 60, green_, 255, 0.0, false)); // added onto the red
    EXPECT_TRUE(layer->DrawTextur(600, 420, 100, 100, green_, 255, 45.0, true));
    RECT framed{400, 300, 560, 380};
    EXPECT_TRUE(layer->DrawFrame(0xFFFFFF00, &framed));
    CD3DFont font("Arial", 28, 0);
    ASSERT_EQ(font.DrawTextA(60.0f, 450.0f, WHITE, "Quarvel 123", 0), S_OK);
    EXPECT_TRUE(root->FlipPage());

    const std::filesystem::path pictures = std::filesystem::path(ZONKEL_BINARY_DIR) / "pictures";
    std::filesystem::create_directories(pictures);
    EXPECT_TRUE(d3dtest::WriteBackBufferPng(device, (pictures / "engine_frame.png").string().c_str()));

    ExpectPixel(5, 300, 0xFF000000, "cleared background");
    ExpectPixel(150, 110, BLUE, "blue rectangle");
    ExpectPixel(60, 190, BLUE, "blue rectangle corner");
    ExpectPixel(332, 132, RED, "texture, top-left quadrant");
    ExpectPixel(396, 132, GREEN, "texture, top-right quadrant");
    ExpectPixel(332, 196, BLUE, "texture, bottom-left quadrant");
    ExpectPixel(396, 196, WHITE, "texture, bottom-right quadrant");
    // Red at alpha 128 over blue: red * 128/255 + blue * 127/255.
    const auto blend = [](int source, int target) { return (source * 128 + target * 127 + 127) / 255; };
    const uint32_t halfRed =
        0xFF000000u | (blend(0xE0, 0x20) << 16) | (blend(0x20, 0x40) << 8) | blend(0x10, 0xE0);
    ExpectPixel(116, 136, halfRed, "half-transparent red over blue", 2);
    ExpectPixel(500, 150, 0xFFFFFF00, "green added onto red");
    ExpectPixel(460, 110, 0xFFFF0000, "red beside the added quad");
    ExpectPixel(650, 470, 0xFF00FF00, "turned quad, centre");
    ExpectPixel(604, 424, 0xFF000000, "turned quad, former corner now empty");
    ExpectPixel(650, 405, 0xFF00FF00, "turned quad, its corner now above the old top edge");
    ExpectPixel(480, 299, 0xFFFFFF00, "frame, top bar");
    ExpectPixel(480, 380, 0xFFFFFF00, "frame, bottom bar");
    ExpectPixel(400, 340, 0xFFFFFF00, "frame, left bar");
    ExpectPixel(560, 340, 0xFFFFFF00, "frame, right bar");
    ExpectPixel(480, 340, 0xFF000000, "inside the frame");

    // Text: lit pixels inside the measured box, none right of it or above it.
    SIZE extent{0, 0};
    font.GetTextExtent("Quarvel 123", &extent);
    int lit = 0;
    for (int y = 450; y < 450 + extent.cy; ++y) {
        for (int x = 60; x < 60 + extent.cx; ++x) {
            lit += (Pixel(x, y) & 0xFFFFFF) == 0xFFFFFF ? 1 : 0;
        }
    }
    EXPECT_GT(lit, 200) << "white glyph pixels";
    for (int x = 60; x < 60 + extent.cx; ++x) {
        ASSERT_EQ(Pixel(x, 445) & 0xFFFFFF, 0u) << "above the text at x " << x;
    }
    for (int y = 450; y < 450 + extent.cy; ++y) {
        ASSERT_EQ(Pixel(60 + extent.cx + 8, y) & 0xFFFFFF, 0u) << "right of the text at y " << y;
    }

    // The frame-rate line at (10, 10), white at alpha 0x64 over black.
    int grey = 0;
    for (int y = 10; y < 26; ++y) {
        for (int x = 10; x < 150; ++x) {
            const uint32_t colour = Pixel(x, y);
            grey += Channel(colour, 0) > 0 && Channel(colour, 0) <= 0x64 ? 1 : 0;
        }
    }
    EXPECT_GT(grey, 30) << "frame-rate text";

    platform::PresentedFrame presented;
    ASSERT_TRUE(platform::LastPresentedFrame(window, &presented));
    ASSERT_EQ(presented.width, 800);
    EXPECT_TRUE(ColourNear(presented.pixels[190 * 800 + 60], BLUE, 1)) << "the presented frame";
}

TEST_F(FramePicture, NextFrameStartsFromBlack) {
    RECT area{0, 0, 800, 600};
    ASSERT_TRUE(root->UpdateEngine());
    layer->DrawRect(WHITE, &area);
    root->FlipPage();
    ASSERT_TRUE(root->UpdateEngine());
    ExpectPixel(400, 300, 0xFF000000, "cleared again");
    EXPECT_EQ(d3dtest::ReadDepthValue(device, 400, 300), 0xFFFF) << "depth cleared to 1.0";
}
