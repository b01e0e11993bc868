// Offscreen windows and the frames presented to them.
#include "win32/window_surface.h"

#include <map>
#include <memory>

namespace platform {

namespace {

struct OffscreenWindow {
    int width = 0;
    int height = 0;
    PresentedFrame last;
};

std::map<HWND, std::unique_ptr<OffscreenWindow>>& Windows() {
    static std::map<HWND, std::unique_ptr<OffscreenWindow>> windows;
    return windows;
}

} // namespace

HWND CreateOffscreenWindow(int clientWidth, int clientHeight) {
    auto window = std::make_unique<OffscreenWindow>();
    window->width = clientWidth;
    window->height = clientHeight;
    HWND handle = reinterpret_cast<HWND>(window.get());
    Windows()[handle] = std::move(window);
    return handle;
}

void DestroyOffscreenWindow(HWND window) { Windows().erase(window); }

bool GetWindowClientSize(HWND window, int* width, int* height) {
    auto it = Windows().find(window);
    if (it == Windows().end()) {
        return false;
    }
    if (width) {
        *width = it->second->width;
    }
    if (height) {
        *height = it->second->height;
    }
    return true;
}

void PresentFrame(HWND window, const FrameView& frame) {
    auto it = Windows().find(window);
    if (it == Windows().end() || !frame.pixels) {
        return;
    }
    PresentedFrame& last = it->second->last;
    last.width = frame.width;
    last.height = frame.height;
    last.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
    for (int y = 0; y < frame.height; ++y) {
        const uint32_t* row = frame.pixels + static_cast<size_t>(y) * frame.pitchPixels;
        std::copy(row, row + frame.width, last.pixels.begin() + static_cast<size_t>(y) * frame.width);
    }
    ++last.serial;
}

bool LastPresentedFrame(HWND window, PresentedFrame* frame) {
    auto it = Windows().find(window);
    if (it == Windows().end() || it->second->last.serial == 0) {
        return false;
    }
    if (frame) {
        *frame = it->second->last;
    }
    return true;
}

} // namespace platform
