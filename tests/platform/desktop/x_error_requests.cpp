// X requests that the server refuses, on GDK's connection.
#include "x_error_requests.h"

#include <cairo-xlib.h>
#include <gdk/gdkx.h>

namespace x_errors {

namespace {

Display* GdkConnection() {
    return gdk_x11_get_default_xdisplay();
}

} // namespace

void DrawOnGoneWindow(unsigned long window) {
    Display* display = GdkConnection();
    GC context = XCreateGC(display, window, 0, nullptr);
    XFillRectangle(display, window, context, 0, 0, 8, 8);
    XFreeGC(display, context);
    const Window inner = XCreateSimpleWindow(display, window, 0, 0, 8, 8, 0, 0, 0);
    XMapWindow(display, inner);
    XDestroyWindow(display, inner);
    // Cairo draws through the rendering extension: a picture made on the window, then filled.
    cairo_surface_t* surface =
        cairo_xlib_surface_create(display, window, DefaultVisual(display, DefaultScreen(display)), 64, 64);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgba(cr, 0.2, 0.4, 0.6, 0.5);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

void RequestWithABadValue() {
    Display* display = GdkConnection();
    XCreatePixmap(display, DefaultRootWindow(display), 0, 16, DefaultDepth(display, DefaultScreen(display)));
}

void MapAnotherClientsDestroyedWindow() {
    Display* other = XOpenDisplay(nullptr);
    if (other == nullptr) {
        return;
    }
    const Window foreign = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(other, foreign);
    XCloseDisplay(other);
    XMapWindow(GdkConnection(), foreign);
}

void MapAWindowNeverMade() {
    Display* display = GdkConnection();
    XMapWindow(display, XAllocID(display));
}

void Sync() {
    XSync(GdkConnection(), False);
}

} // namespace x_errors
