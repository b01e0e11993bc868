// What the Direct3D device needs of a window: its client size, and a place to hand presented frames.
// The window system implements these for its windows; windows made with CreateOffscreenWindow (tests,
// tools) keep the last presented frame in memory.
#pragma once

#include "win32/windows_base.h"

#include <cstdint>
#include <vector>

namespace platform {

struct FrameView {
    const uint32_t* pixels = nullptr; // X8R8G8B8, top row first
    int width = 0;
    int height = 0;
    int pitchPixels = 0;
    // Names the picture's content: frames of equal non-zero versions hold the same pixels. 0: unknown.
    uint64_t version = 0;
};

struct PresentedFrame {
    std::vector<uint32_t> pixels; // width * height, top row first
    int width = 0;
    int height = 0;
    uint64_t serial = 0; // counts the frames presented to this window
    // Counts the frames that changed what the window shows: a new picture, or the same picture at a new
    // client size. A frame that repeats the picture the window shows is neither copied nor painted.
    uint64_t paints = 0;
};

// A window without a display, with a fixed client size.
HWND CreateOffscreenWindow(int clientWidth, int clientHeight);
void DestroyOffscreenWindow(HWND window);

// False for a handle that names no window.
bool GetWindowClientSize(HWND window, int* width, int* height);

// Hands a frame to the window: the desktop backend paints it, stretched to the client size; every
// window keeps a copy that LastPresentedFrame returns. A frame whose version equals the one the window
// shows, at the client size it was shown at, is counted but not copied or painted again.
void PresentFrame(HWND window, const FrameView& frame);
bool LastPresentedFrame(HWND window, PresentedFrame* frame);

} // namespace platform
