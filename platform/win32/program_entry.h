// The program's entry: picks the window backend, builds the command line and runs WinMain.
//
// VELKORA_HEADLESS=1 selects the headless backend (see headless.h and README.md, "Running headless");
// otherwise a display (DISPLAY or WAYLAND_DISPLAY) selects the GTK desktop backend; without either the
// program prints one line on standard error and returns 1.
#pragma once

#include "win32/windows_base.h"

namespace platform {

int RunWinMain(int argc, char** argv, int (*winMain)(HINSTANCE, HINSTANCE, LPSTR, int));

} // namespace platform
