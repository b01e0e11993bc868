// Modal dialogs built from dialog resources: DialogBoxParamA disables the owner, creates the dialog and
// its controls, sends WM_INITDIALOG and lets the backend run the modal loop until EndDialog; the edit
// boxes' texts live in the control records, so GetDlgItemTextA works the same on every backend.
#include "gdi/wingdi.h"
#include "win32/window_system.h"

#include <algorithm>

namespace platform {

namespace {

// Dialog units of the dialogs' 8-point font: a quarter of the average character width and an eighth
// of its height, with the character cell of 6 x 13 pixels.
constexpr int BASE_UNIT_X = 6;
constexpr int BASE_UNIT_Y = 13;

INT_PTR RunDialog(LPCSTR templateName, HWND owner, DialogProcedure procedure, LPARAM initParam) {
    if (!templateName || !IS_INTRESOURCE(templateName) || !procedure) {
        return -1;
    }
    const DialogResource* resource =
        FindDialogResource(static_cast<UINT>(reinterpret_cast<uintptr_t>(templateName)));
    if (!resource) {
        return -1;
    }
    if (owner && !FindWindowRecord(owner)) {
        return -1;
    }

    WindowRecord& dialog = AddWindowRecord(WindowKind::Dialog);
    HWND handle = dialog.handle;
    dialog.title = resource->caption;
    dialog.style = resource->style;
    dialog.owner = owner;
    dialog.dialogProc = std::move(procedure);
    dialog.dialogTemplate = resource;
    dialog.clientWidth = DialogUnitsToPixelsX(resource->width);
    dialog.clientHeight = DialogUnitsToPixelsY(resource->height);
    dialog.rect = {0, 0, dialog.clientWidth, dialog.clientHeight};
    HWND firstTabStop = nullptr;
    for (const auto& control : resource->controls) {
        WindowRecord& record = AddWindowRecord(WindowKind::Control);
        record.owner = handle;
        record.controlId = control.id;
        record.controlKind = control.kind;
        record.controlTemplate = &control;
        record.style = control.style;
        record.visible = true;
        record.title = control.kind == DialogControlKind::Edit ? std::string() : control.text;
        record.clientWidth = DialogUnitsToPixelsX(control.width);
        record.clientHeight = DialogUnitsToPixelsY(control.height);
        if (!firstTabStop && (control.kind == DialogControlKind::Edit || (control.style & WS_TABSTOP))) {
            firstTabStop = record.handle;
        }
        FindWindowRecord(handle)->controls.push_back(record.handle);
    }

    bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) {
        EnableWindow(owner, FALSE);
    }
    SendMessageA(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), initParam);
    if (WindowRecord* record = FindWindowRecord(handle); record && !record->dialogEnded && !QuitRequested()) {
        record->visible = true;
        Backend().RunModalDialog(*record);
    }

    INT_PTR result = 0;
    if (WindowRecord* record = FindWindowRecord(handle)) {
        result = record->dialogEnded ? record->dialogResult : 0;
        for (HWND control : record->controls) {
            RemoveWindowRecord(control);
        }
        DiscardMessagesFor(handle);
        RemoveWindowRecord(handle);
    }
    if (ownerWasEnabled) {
        EnableWindow(owner, TRUE);
    }
    return result;
}

WindowRecord* FindControl(HWND dialog, int controlId) {
    WindowRecord* record = FindWindowRecord(dialog);
    if (!record || record->kind != WindowKind::Dialog) {
        return nullptr;
    }
    for (HWND control : record->controls) {
        WindowRecord* candidate = FindWindowRecord(control);
        if (candidate && candidate->controlId == controlId) {
            return candidate;
        }
    }
    return nullptr;
}

} // namespace

// As MapDialogRect: a horizontal unit is a quarter of the base width, a vertical one an eighth of the
// base height, rounded.
int DialogUnitsToPixelsX(int units) {
    return MulDiv(units, BASE_UNIT_X, 4);
}
int DialogUnitsToPixelsY(int units) {
    return MulDiv(units, BASE_UNIT_Y, 8);
}

} // namespace platform

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam) {
    if (!dialogProc) {
        return -1;
    }
    return platform::RunDialog(templateName, owner, dialogProc, initParam);
}

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC_BOOL dialogProc,
                        LPARAM initParam) {
    if (!dialogProc) {
        return -1;
    }
    return platform::RunDialog(
        templateName, owner,
        [dialogProc](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
            return dialogProc(window, message, wParam, lParam);
        },
        initParam);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    platform::WindowRecord* record = platform::FindWindowRecord(dialog);
    if (!record || record->kind != platform::WindowKind::Dialog) {
        return FALSE;
    }
    record->dialogEnded = true;
    record->dialogResult = result;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int controlId) {
    platform::WindowRecord* control = platform::FindControl(dialog, controlId);
    return control ? control->handle : nullptr;
}

UINT GetDlgItemTextA(HWND dialog, int controlId, LPSTR text, int maxCount) {
    if (!text || maxCount <= 0) {
        return 0;
    }
    platform::WindowRecord* control = platform::FindControl(dialog, controlId);
    if (!control) {
        text[0] = '\0';
        return 0;
    }
    size_t count = std::min(control->title.size(), static_cast<size_t>(maxCount - 1));
    control->title.copy(text, count);
    text[count] = '\0';
    return static_cast<UINT>(count);
}

BOOL SetDlgItemTextA(HWND dialog, int controlId, LPCSTR text) {
    platform::WindowRecord* control = platform::FindControl(dialog, controlId);
    if (!control) {
        return FALSE;
    }
    control->title = text ? text : "";
    platform::Backend().ControlTextChanged(*control);
    return TRUE;
}
