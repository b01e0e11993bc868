// X errors after another client destroyed one of the program's windows. Until GDK has read of the
// destruction, the server refuses every request it still makes for that window (BadWindow or
// BadDrawable), then those for what it derives from the window (a pixmap that was never made, a
// picture on it), and GDK's own error handler ends the process on the first of them. These errors are
// let pass: the requests had nothing left to act on, and the destruction itself arrives as an event
// and closes the window as its close box would.
#include "win32/gtk_backend.h"

#include <gdk/gdkx.h>

namespace platform {

namespace {

XErrorHandler gdkErrorHandler = nullptr;
bool windowLost = false;

int OnXError(Display* display, XErrorEvent* error) {
    // The first error about a lost window names the window itself; the errors that follow from it
    // may name anything derived from it, so from then on every error is let pass.
    if (error->error_code == BadWindow || error->error_code == BadDrawable) {
        windowLost = true;
    }
    if (windowLost || !gdkErrorHandler) {
        return 0;
    }
    return gdkErrorHandler(display, error);
}

} // namespace

void InstallXWindowErrorFilter() {
    GdkDisplay* display = gdk_display_get_default();
    if (display && GDK_IS_X11_DISPLAY(display) && !gdkErrorHandler) {
        // GDK's error traps put its own handler in place while they last, so the errors it expects
        // still reach it directly; until a window is lost, every other error is handed on to it.
        gdkErrorHandler = XSetErrorHandler(OnXError);
    }
}

} // namespace platform
