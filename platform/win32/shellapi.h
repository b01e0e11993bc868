// Opening a file with the desktop's program for it (ShellExecuteA "open"): xdg-open on the desktop,
// only recorded when running headless.
#pragma once

#include "win32/windows_base.h"

#include <string>
#include <vector>

// Returns a value greater than 32 on success, else an error code (ERROR_FILE_NOT_FOUND, ...).
HINSTANCE ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand);

namespace platform {

// The absolute paths handed to ShellExecuteA's "open", in call order.
std::vector<std::string> ShellTrace();
void ClearShellTrace();

} // namespace platform
