// Client sizes and presented frames of every window in the window table: program windows (shown by the
// active backend) and offscreen windows (kept in memory only, for tests and tools).
#include "win32/window_system.h"

#include <algorithm>

namespace platform {

HWND CreateOffscreenWindow(int clientWidth, int clientHeight) {
    WindowRecord& window = AddWindowRecord(WindowKind::Offscreen);
    window.clientWidth = std::max(0, clientWidth);
    window.clientHeight = std::max(0, clientHeight);
    window.rect = {0, 0, window.clientWidth, window.clientHeight};
    return window.handle;
}

void DestroyOffscreenWindow(HWND window) {
    WindowRecord* record = FindWindowRecord(window);
    if (record && record->kind == WindowKind::Offscreen) {
        RemoveWindowRecord(window);
    }
}

bool GetWindowClientSize(HWND window, int* width, int* height) {
    WindowRecord* record = FindWindowRecord(window);
    if (!record) {
        return false;
    }
    if (width) {
        *width = record->clientWidth;
    }
    if (height) {
        *height = record->clientHeight;
    }
    return true;
}

void PresentFrame(HWND window, const FrameView& frame) {
    WindowRecord* record = FindWindowRecord(window);
    if (!record || !frame.pixels || frame.width <= 0 || frame.height <= 0 ||
        frame.pitchPixels < frame.width) {
        return;
    }
    PresentedFrame& last = record->lastFrame;
    const bool newPicture = frame.version == 0 || frame.version != record->shownVersion ||
                            record->clientWidth != record->shownClientWidth ||
                            record->clientHeight != record->shownClientHeight;
    if (newPicture) {
        last.width = frame.width;
        last.height = frame.height;
        last.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
        for (int y = 0; y < frame.height; ++y) {
            const uint32_t* row = frame.pixels + static_cast<size_t>(y) * frame.pitchPixels;
            std::copy(row, row + frame.width, last.pixels.begin() + static_cast<ptrdiff_t>(y) * frame.width);
        }
        record->shownVersion = frame.version;
        record->shownClientWidth = record->clientWidth;
        record->shownClientHeight = record->clientHeight;
        ++last.paints;
    }
    ++last.serial;
    if (record->kind == WindowKind::TopLevel) {
        Backend().Present(*record, newPicture);
    }
}

bool LastPresentedFrame(HWND window, PresentedFrame* frame) {
    WindowRecord* record = FindWindowRecord(window);
    if (!record || record->lastFrame.serial == 0) {
        return false;
    }
    if (frame) {
        *frame = record->lastFrame;
    }
    return true;
}

} // namespace platform
