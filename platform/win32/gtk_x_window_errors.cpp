// X errors after another client destroyed one of the program's windows. Until GDK has read of the
// destruction, the server refuses every request it still makes for that window (BadWindow or
// BadDrawable), then those for what it would have made on the window (a pixmap, context, picture or
// window whose creation named it). GDK's own error handler ends the process on the first of them,
// so these errors, and only these, are let pass: the requests had nothing left to act on, and the
// destruction itself arrives as an event and closes the window as its close box would. Every other
// error goes on to GDK.
#include "win32/gtk_x_window_errors.h"

#include <gdk/gdkx.h>
// The display's range of resource ids, which tells the program's own resources from other clients'.
// Last: it defines macros that the standard headers would take for their own names.
#include <X11/Xlibint.h>

namespace platform {

namespace {

// The error the rendering extension gives for a picture that does not exist: its first error plus one.
constexpr int RENDER_BAD_PICTURE = 1;

XErrorHandler gdkErrorHandler = nullptr;
int renderBadPicture = -1;
bool windowLost = false;

bool IsOwnResource(Display* display, XID id) {
    return (id & ~display->resource_mask) == display->resource_base;
}

// The errors by which the server says that the resource a request names does not exist.
bool IsMissingResource(int code) {
    return code == BadWindow || code == BadDrawable || code == BadPixmap || code == BadGC ||
           code == renderBadPicture;
}

// Once a window of the program is known to be gone, a resource of the program's own that the server
// does not know is that window, or one whose creation named it (a pixmap, context or picture for
// drawing on it, a window inside it) and so was never made.
bool IsAboutALostWindow(Display* display, const XErrorEvent& error) {
    if (!IsMissingResource(error.error_code) || !IsOwnResource(display, error.resourceid)) {
        return false;
    }
    if (!windowLost && (error.error_code == BadWindow || error.error_code == BadDrawable)) {
        // A window GDK made for the program, refused as missing: another client destroyed it.
        GdkDisplay* gdkDisplay = gdk_x11_lookup_xdisplay(display);
        windowLost = gdkDisplay && gdk_x11_window_lookup_for_display(gdkDisplay, error.resourceid);
    }
    return windowLost;
}

int OnXError(Display* display, XErrorEvent* error) {
    if (IsAboutALostWindow(display, *error) || !gdkErrorHandler) {
        return 0;
    }
    return gdkErrorHandler(display, error);
}

} // namespace

void InstallXWindowErrorFilter() {
    GdkDisplay* display = gdk_display_get_default();
    if (display && GDK_IS_X11_DISPLAY(display) && !gdkErrorHandler) {
        Display* xdisplay = GDK_DISPLAY_XDISPLAY(display);
        int major = 0;
        int firstEvent = 0;
        int firstError = 0;
        if (XQueryExtension(xdisplay, "RENDER", &major, &firstEvent, &firstError)) {
            renderBadPicture = firstError + RENDER_BAD_PICTURE;
        }
        // GDK's error traps put its own handler in place while they last, so the errors it expects
        // still reach it directly; every other error is handed on to it unless it is about a lost window.
        gdkErrorHandler = XSetErrorHandler(OnXError);
    }
}

} // namespace platform
