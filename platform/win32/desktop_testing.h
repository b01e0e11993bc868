// Choosing the GTK desktop backend, and what tests need to see of it without GTK's headers: whether a
// window is on screen, its X window id and menu bar height, the check marks shown, and screen pixels.
#pragma once

#include "win32/windows_base.h"

#include <cstdint>
#include <string>

namespace platform {

// Opens the display and makes the GTK backend the active one. False (with the reason) when no display
// can be opened; GTK is then left untouched.
bool UseGtkBackend(int* argc, char*** argv, std::string* error);

struct DesktopWindowInfo {
    bool mapped = false;       // on screen
    int menuBarHeight = 0;     // the client area starts this far below the GTK window's top
    unsigned long xWindow = 0; // the X window id, 0 when not on X
};

// False when the GTK backend is not active or the window has no native window.
bool GetDesktopWindowInfo(HWND window, DesktopWindowInfo* info);
// The check mark the menu item shows on screen.
bool GetDesktopMenuCheck(HWND window, UINT id, bool* checked);
// The pixel shown at client position (x, y), as 0x00RRGGBB.
bool GetDesktopClientPixel(HWND window, int x, int y, uint32_t* rgb);

} // namespace platform
