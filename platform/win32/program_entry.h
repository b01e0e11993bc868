// The program's entry: picks the window backend, builds the command line and runs WinMain.
//
// VELKORA_HEADLESS=1 selects the headless backend (see headless.h and README.md, "Running headless");
// otherwise a display (DISPLAY or WAYLAND_DISPLAY) selects the GTK desktop backend; without either the
// program prints one line on standard error and returns 1. With `folders`, the program then runs in its
// per-user folder and reads its shipped data from where it was built or installed (program_folders.h);
// the script and frames folder named in the environment are relative to where it was started. When that
// folder cannot be made or entered, the reason goes to standard error and, on the desktop, into a message
// box captioned with the program's name, and the program returns 1 once the box is closed.
#pragma once

#include "win32/windows_base.h"

namespace platform {

struct ProgramFolders;

int RunWinMain(int argc, char** argv, int (*winMain)(HINSTANCE, HINSTANCE, LPSTR, int),
               const ProgramFolders* folders = nullptr);

} // namespace platform
