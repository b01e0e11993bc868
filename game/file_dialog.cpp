// The open-file dialog wrapper: fills the dialog record and hands back the chosen path.
#include "file_dialog.h"

#include "win32/commctrl.h"
#include "win32/commdlg.h"

#include <cstring>

FileDialog::FileDialog(HWND owner, HINSTANCE instance) : owner(owner), instance(instance) {}

FileDialog::~FileDialog() = default;

bool FileDialog::GetOpenFile(char* out, const char* filter) {
    InitCommonControls();
    char file[OPEN_FILE_BUFFER_SIZE] = {};
    OPENFILENAMEA dialog;
    std::memset(&dialog, 0, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 3;
    dialog.lpstrFile = file;
    dialog.nMaxFile = OPEN_FILE_BUFFER_SIZE;
    dialog.nMaxFileTitle = 512;
    dialog.lpstrTitle = "Open File";
    dialog.Flags = OFN_CREATEPROMPT | OFN_HIDEREADONLY;
    dialog.lpstrDefExt = "bmp";
    if (!GetOpenFileNameA(&dialog)) {
        OnError(CommDlgExtendedError());
        return false;
    }
    file[OPEN_FILE_BUFFER_SIZE - 1] = '\0';
    std::strcpy(out, file);
    return true;
}

void FileDialog::OnError(unsigned long) {}
