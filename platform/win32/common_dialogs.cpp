// The open-file dialog (GetOpenFileNameA, CommDlgExtendedError) and the common-controls set-up. The
// backend shows the dialog; this file checks the request, applies the default extension and fills in
// the result fields.
#include "win32/commctrl.h"
#include "win32/commdlg.h"
#include "win32/file_filter.h"
#include "win32/window_system.h"

#include <cstring>

namespace platform {

namespace {

DWORD& LastError() {
    static DWORD error = 0;
    return error;
}

// Windows adds the default extension to a name that has none.
std::string WithDefaultExtension(const std::string& path, const char* extension) {
    if (!extension || !*extension) {
        return path;
    }
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return hasExtension ? path : path + "." + extension;
}

} // namespace

} // namespace platform

BOOL GetOpenFileNameA(LPOPENFILENAMEA request) {
    DWORD& error = platform::LastError();
    error = 0;
    // lStructSize is the 32-bit size the program fills in; only a zero size is refused.
    if (!request || request->lStructSize == 0) {
        error = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (!request->lpstrFile || request->nMaxFile == 0) {
        error = CDERR_INITIALIZATION;
        return FALSE;
    }
    std::vector<platform::FileFilter> filters = platform::ParseFileFilters(request->lpstrFilter);
    platform::FileFilter filter = platform::ChooseFileFilter(filters, request->nFilterIndex);
    platform::OpenFileRequest dialog;
    dialog.owner = request->hwndOwner;
    dialog.title = request->lpstrTitle ? request->lpstrTitle : "Open";
    dialog.filters = filters;
    dialog.chosenFilter = filter;
    dialog.initialDirectory = request->lpstrInitialDir ? request->lpstrInitialDir : "";

    bool ownerWasEnabled = request->hwndOwner && IsWindowEnabled(request->hwndOwner);
    if (ownerWasEnabled) {
        EnableWindow(request->hwndOwner, FALSE);
    }
    std::optional<std::string> chosen = platform::Backend().RunOpenFileDialog(dialog);
    if (ownerWasEnabled) {
        EnableWindow(request->hwndOwner, TRUE);
    }
    if (!chosen) {
        return FALSE;
    }
    std::string path = platform::WithDefaultExtension(*chosen, request->lpstrDefExt);
    if (path.size() + 1 > request->nMaxFile) {
        error = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::memcpy(request->lpstrFile, path.c_str(), path.size() + 1);
    size_t slash = path.find_last_of('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of('.');
    request->nFileOffset = static_cast<WORD>(nameStart);
    request->nFileExtension = static_cast<WORD>(dot != std::string::npos && dot >= nameStart ? dot + 1 : 0);
    if (request->lpstrFileTitle && request->nMaxFileTitle > 0) {
        std::string name = path.substr(nameStart);
        size_t count = std::min<size_t>(name.size(), request->nMaxFileTitle - 1);
        name.copy(request->lpstrFileTitle, count);
        request->lpstrFileTitle[count] = '\0';
    }
    return TRUE;
}

DWORD CommDlgExtendedError() {
    return platform::LastError();
}

void InitCommonControls() {}
