// The open-file dialog wrapper the background chooser uses.
#pragma once

#include "win32/windows_base.h"

constexpr int OPEN_FILE_BUFFER_SIZE = 260;

class FileDialog {
public:
    FileDialog(HWND owner, HINSTANCE instance);
    virtual ~FileDialog();

    // Runs the dialog with `filter` (description/pattern pairs ended by a double NUL). On OK the chosen
    // path is copied into `out`, which holds at least OPEN_FILE_BUFFER_SIZE + 1 bytes.
    bool GetOpenFile(char* out, const char* filter);
    // Called with CommDlgExtendedError() when the dialog ends without a file; nothing to do here.
    void OnError(unsigned long code);

private:
    HWND owner;
    [[maybe_unused]] HINSTANCE instance; // kept, but the open-file dialog does not take it
};
