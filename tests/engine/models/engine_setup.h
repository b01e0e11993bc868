// Sets the engine up on an offscreen window for the model tests (one engine per test process) in a
// temporary working folder holding a cube model, a skin and a billboard strip; and small helpers for
// pictures: screen projection of world points and pixel probes.
#pragma once

#include "core/gfx_main.h"
#include "core/init_manager.h"
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9.h"
#include "engine/device_probes.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace models_test {

constexpr int SCREEN_WIDTH = 800;
constexpr int SCREEN_HEIGHT = 600;
constexpr D3DCOLOR SKIN = 0xFFC08040;
// The four frames of "strip.png": red, green, blue, yellow.
constexpr D3DCOLOR STRIP[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};

// A strip of frames side by side, frame k filled with colours[k] (ARGB), each frameWidth x height.
void WriteStrip(const std::filesystem::path& path, int frameWidth, int height,
                const std::vector<uint32_t>& colours);

// The engine set up by GFXMain::SetupEngine, and in the working folder "cube.md2" (frames with edges
// 2, 4 and 6, centred on the origin), "skin.png" (SKIN) and "strip.png" (STRIP, 16 x 16 per frame).
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    int HeldTextures() const;

    IDirect3DDevice9* device = nullptr;
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory workingDirectory{folder.Path()};
};

// The camera at `position` looking along +z with no turn; the view matrix is set on the device.
void PlaceCamera(IDirect3DDevice9* device, const D3DXVECTOR3& position);
// Where a world point lands on the screen under the device's view and projection.
POINT ProjectToScreen(IDirect3DDevice9* device, const D3DXVECTOR3& world);
// True when every channel of the pixel differs from `expected` by at most `tolerance`; prints both.
::testing::AssertionResult PixelNear(IDirect3DDevice9* device, POINT at, D3DCOLOR expected,
                                     int tolerance = 1);

} // namespace models_test
