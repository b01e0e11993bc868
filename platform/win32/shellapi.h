// Opening a file with the desktop's program for it (ShellExecuteA "open"): xdg-open on the desktop,
// only recorded when running headless.
#pragma once

#include "win32/windows_base.h"

#include <string>
#include <vector>

// Opens the file (relative to `directory` when that is given) with the desktop's program. Only the verb
// "open" (or none) is supported. Returns a value greater than 32 on success, else ERROR_FILE_NOT_FOUND
// (2) for a missing file, ERROR_PATH_NOT_FOUND (3) when its folder is missing too, SE_ERR_OOM (8) when
// the system has no room to start the opener, and SE_ERR_NOASSOC (31) for another verb or when no
// opener can be started.
HINSTANCE ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand);

namespace platform {

// The absolute paths handed to ShellExecuteA's "open", in call order.
std::vector<std::string> ShellTrace();
void ClearShellTrace();

} // namespace platform
