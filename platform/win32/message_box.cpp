// MessageBoxA: checks the request, disables the owner while the backend shows the message, as a modal
// message box does, and hands the texts over as UTF-8.
#include "win32/text_encoding.h"
#include "win32/window_system.h"

namespace platform {

namespace {

MessageBoxIcon IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        return MessageBoxIcon::Error;
    case MB_ICONQUESTION:
        return MessageBoxIcon::Question;
    case MB_ICONWARNING:
        return MessageBoxIcon::Warning;
    case MB_ICONINFORMATION:
        return MessageBoxIcon::Information;
    default:
        return MessageBoxIcon::None;
    }
}

} // namespace

} // namespace platform

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if ((type & MB_TYPEMASK) != MB_OK || (owner && !platform::FindWindowRecord(owner))) {
        return 0;
    }
    platform::MessageBoxRequest request;
    request.owner = owner;
    request.text = platform::ToDisplayText(text ? text : "");
    request.caption = platform::ToDisplayText(caption ? caption : "Error");
    request.icon = platform::IconOf(type);
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) {
        EnableWindow(owner, FALSE);
    }
    const int pressed = platform::Backend().RunMessageBox(request);
    if (ownerWasEnabled) {
        EnableWindow(owner, TRUE);
    }
    return pressed;
}
