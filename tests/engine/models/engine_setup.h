// Sets the engine up on an offscreen window for the model tests (one engine per test process), and
// small helpers: skin and strip pictures, screen projection of world points and pixel probes.
#pragma once

#include "core/gfx_main.h"
#include "core/init_manager.h"
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace models_test {

constexpr int SCREEN_WIDTH = 800;
constexpr int SCREEN_HEIGHT = 600;

// Creates the window and runs GFXMain::SetupEngine; the device, or null when set-up failed.
IDirect3DDevice9* SetUpEngine();

// A width x height picture of one colour (ARGB), written as PNG.
void WriteSolidPicture(const std::filesystem::path& path, int width, int height, uint32_t argb);
// A strip of frames side by side, frame k filled with colours[k] (ARGB), each frameWidth x height.
void WriteStrip(const std::filesystem::path& path, int frameWidth, int height,
                const std::vector<uint32_t>& colours);

// The camera at `position` looking along +z with no turn; the view matrix is set on the device.
void PlaceCamera(IDirect3DDevice9* device, const D3DXVECTOR3& position);

// Where a world point lands on the screen under the device's view and projection (pixel coordinates).
POINT ProjectToScreen(IDirect3DDevice9* device, const D3DXVECTOR3& world);

// Clears to `background`, opens a scene; EndFrame closes it.
void BeginFrame(IDirect3DDevice9* device, D3DCOLOR background);
void EndFrame(IDirect3DDevice9* device);

// True when every channel of the pixel differs from `expected` by at most `tolerance`; prints both.
::testing::AssertionResult PixelNear(IDirect3DDevice9* device, POINT at, D3DCOLOR expected,
                                     int tolerance = 1);

// Writes the back buffer under the build folder's test output for a human to look at.
void SavePicture(IDirect3DDevice9* device, const std::string& name);

// Counts the traced calls of one method.
int CountCalls(const std::string& method);

} // namespace models_test
