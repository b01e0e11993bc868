// The GTK 3 backend's program windows: the native window with its menu bar and drawing area, input
// turned into posted messages, check marks, icons, sizes, and presenting frames paced by the display.
#include "win32/gtk_backend.h"
#include "win32/gtk_x_window_errors.h"

#include <cstdlib>
#include <gdk/gdkx.h>
#include <cstring>

namespace platform {

namespace {

// How long Present waits for the display's next frame when no frame clock ticks.
constexpr guint FRAME_FALLBACK_MS = 16;

GtkBackend* ActiveGtk() {
    return dynamic_cast<GtkBackend*>(&Backend());
}

HWND HandleFrom(gpointer data) {
    return static_cast<HWND>(data);
}

LPARAM ClientPosition(double x, double y) {
    int cx = x < 0 ? 0 : static_cast<int>(x);
    int cy = y < 0 ? 0 : static_cast<int>(y);
    return MAKELPARAM(cx, cy);
}

gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
    // Double and triple clicks arrive as extra events after the single presses; Windows windows
    // without CS_DBLCLKS see only the presses.
    if (event->type != GDK_BUTTON_PRESS) {
        return TRUE;
    }
    if (event->button == 1) {
        PostInputMessage(HandleFrom(data), WM_LBUTTONDOWN, MK_LBUTTON, ClientPosition(event->x, event->y));
    } else if (event->button == 3) {
        PostInputMessage(HandleFrom(data), WM_RBUTTONDOWN, MK_RBUTTON, ClientPosition(event->x, event->y));
    }
    return TRUE;
}

gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
    if (event->button == 1) {
        PostInputMessage(HandleFrom(data), WM_LBUTTONUP, 0, ClientPosition(event->x, event->y));
    } else if (event->button == 3) {
        PostInputMessage(HandleFrom(data), WM_RBUTTONUP, 0, ClientPosition(event->x, event->y));
    }
    return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    PostMouseMoveMessage(HandleFrom(data), ClientPosition(event->x, event->y));
    return TRUE;
}

// Keys reach the drawing area (which holds the focus) only after GTK has tried them as menu
// mnemonics and accelerators, so Alt+letter still opens the menus. Keys with Alt or Ctrl held, and keys
// without a virtual-key code, are left to GTK.
gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    if (event->state & (GDK_MOD1_MASK | GDK_CONTROL_MASK)) {
        return FALSE;
    }
    UINT key = VirtualKeyFromGdk(event->keyval);
    GtkBackend* backend = ActiveGtk();
    GtkWindowParts* parts = backend ? backend->Parts(HandleFrom(data)) : nullptr;
    if (key == 0 || !parts) {
        return FALSE;
    }
    if (event->type == GDK_KEY_PRESS) {
        bool repeat = !parts->keysDown.insert(key).second;
        PostKeyMessage(HandleFrom(data), key, true, repeat);
    } else if (parts->keysDown.erase(key) > 0) {
        PostKeyMessage(HandleFrom(data), key, false, false);
    }
    return TRUE;
}

// Clicking the client area gives it the keyboard focus back (from the menu bar, for instance).
gboolean OnDrawingPress(GtkWidget* widget, GdkEventButton* event, gpointer data) {
    gtk_widget_grab_focus(widget);
    return OnButtonPress(widget, event, data);
}

// Keys let go while the window had no focus never arrive; forget them so that the next press is
// not taken for a repeat.
gboolean OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer data) {
    GtkBackend* backend = ActiveGtk();
    if (GtkWindowParts* parts = backend ? backend->Parts(HandleFrom(data)) : nullptr) {
        parts->keysDown.clear();
    }
    return FALSE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    // The close box asks; the program's window procedure decides (DefWindowProcA destroys).
    PostInputMessage(HandleFrom(data), WM_CLOSE, 0, 0);
    return TRUE;
}

// The native window went away without DestroyWindow (the X connection's window was killed): forget it
// and let the program close as after the close box.
void OnNativeDestroyed(GtkWidget*, gpointer data) {
    GtkBackend* backend = ActiveGtk();
    if (backend && backend->ForgetNativeWindow(HandleFrom(data))) {
        PostMessageA(HandleFrom(data), WM_CLOSE, 0, 0);
    }
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data) {
    WindowRecord* record = FindWindowRecord(HandleFrom(data));
    if (record) {
        LONG width = record->rect.right - record->rect.left;
        LONG height = record->rect.bottom - record->rect.top;
        record->rect.left = event->x;
        record->rect.top = event->y;
        record->rect.right = event->x + width;
        record->rect.bottom = event->y + height;
    }
    return FALSE;
}

void OnDrawingAllocated(GtkWidget* widget, GdkRectangle* allocation, gpointer data) {
    HWND handle = HandleFrom(data);
    WindowRecord* record = FindWindowRecord(handle);
    GtkBackend* backend = ActiveGtk();
    GtkWindowParts* parts = backend ? backend->Parts(handle) : nullptr;
    if (!record || !parts) {
        return;
    }
    if (parts->menuBar) {
        parts->menuBarHeight = gtk_widget_get_allocated_height(parts->menuBar);
    }
    (void)widget;
    if (parts->wantedClientWidth > 0) {
        // The first size after MoveWindow: when the menu bar measured differently once shown, correct
        // the window once so that the client area gets the size the program asked for.
        int wantedWidth = parts->wantedClientWidth;
        int wantedHeight = parts->wantedClientHeight;
        parts->wantedClientWidth = 0;
        if (allocation->width != wantedWidth || allocation->height != wantedHeight) {
            int outerWidth = gtk_widget_get_allocated_width(parts->window);
            int outerHeight = gtk_widget_get_allocated_height(parts->window);
            gtk_window_resize(GTK_WINDOW(parts->window), wantedWidth + outerWidth - allocation->width,
                              wantedHeight + outerHeight - allocation->height);
        }
    }
    if (allocation->width == record->clientWidth && allocation->height == record->clientHeight) {
        return;
    }
    record->clientWidth = allocation->width;
    record->clientHeight = allocation->height;
    record->rect.right = record->rect.left + allocation->width;
    record->rect.bottom = record->rect.top + parts->menuBarHeight + allocation->height;
    // Posted, not sent: GTK may allocate while the program is inside a call of ours.
    PostMessageA(handle, WM_SIZE, 0, MAKELPARAM(allocation->width, allocation->height));
}

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    GtkBackend* backend = ActiveGtk();
    GtkWindowParts* parts = backend ? backend->Parts(HandleFrom(data)) : nullptr;
    int width = gtk_widget_get_allocated_width(widget);
    int height = gtk_widget_get_allocated_height(widget);
    if (!parts || !parts->surface) {
        cairo_set_source_rgb(cr, 1.0, 1.0, 1.0); // the class brush, COLOR_WINDOW
        cairo_paint(cr);
        return TRUE;
    }
    int frameWidth = cairo_image_surface_get_width(parts->surface);
    int frameHeight = cairo_image_surface_get_height(parts->surface);
    if (width <= 0 || height <= 0 || frameWidth <= 0 || frameHeight <= 0) {
        return TRUE;
    }
    cairo_scale(cr, static_cast<double>(width) / frameWidth, static_cast<double>(height) / frameHeight);
    cairo_set_source_surface(cr, parts->surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    return TRUE;
}

void OnMenuActivate(GtkMenuItem* item, gpointer data) {
    auto* link = static_cast<GtkMenuLink*>(data);
    GtkBackend* backend = ActiveGtk();
    GtkWindowParts* parts = backend ? backend->Parts(link->window) : nullptr;
    if (!parts || parts->settingCheck) {
        return;
    }
    // GTK has toggled the mark already; put back the program's state, which only CheckMenuItem changes.
    bool checked = GetMenuState(GetMenu(link->window), link->id, MF_BYCOMMAND) == MF_CHECKED;
    parts->settingCheck = true;
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), checked);
    parts->settingCheck = false;
    PostInputMessage(link->window, WM_COMMAND, MAKEWPARAM(link->id, 0), 0);
}

struct FrameWait {
    bool done = false;
    bool timedOut = false;
};

gboolean OnFrameTimeout(gpointer data) {
    auto* wait = static_cast<FrameWait*>(data);
    wait->done = true;
    wait->timedOut = true;
    return G_SOURCE_REMOVE;
}

void OnAfterPaint(GdkFrameClock*, gpointer data) {
    static_cast<FrameWait*>(data)->done = true;
}

// Whether the window shows nothing: hidden, minimised, or not on screen yet.
bool ShowsNothing(const GtkWindowParts& parts) {
    GdkWindow* native = gtk_widget_get_window(parts.window);
    return !gtk_widget_get_mapped(parts.window) || !native ||
           (gdk_window_get_state(native) & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_WITHDRAWN)) != 0;
}

} // namespace

std::string ToGtkMnemonic(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                result += '&';
                ++i;
            } else {
                result += '_';
            }
        } else if (c == '_') {
            result += "__";
        } else {
            result += c;
        }
    }
    return result;
}

UINT VirtualKeyFromGdk(guint keyval) {
    guint upper = gdk_keyval_to_upper(keyval);
    if (upper >= GDK_KEY_A && upper <= GDK_KEY_Z) {
        return 'A' + (upper - GDK_KEY_A);
    }
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) {
        return '0' + (keyval - GDK_KEY_0);
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12 && keyval != GDK_KEY_F10) {
        return VK_F1 + (keyval - GDK_KEY_F1); // F10 stays GTK's key for the menu bar
    }
    switch (keyval) {
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
        return VK_LEFT;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
        return VK_RIGHT;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        return VK_UP;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        return VK_DOWN;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
        return VK_PRIOR;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down:
        return VK_NEXT;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
        return VK_HOME;
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
        return VK_END;
    case GDK_KEY_Insert:
    case GDK_KEY_KP_Insert:
        return VK_INSERT;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete:
        return VK_DELETE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
        return VK_RETURN;
    case GDK_KEY_Escape:
        return VK_ESCAPE;
    case GDK_KEY_space:
        return VK_SPACE;
    case GDK_KEY_Tab:
        return VK_TAB;
    case GDK_KEY_BackSpace:
        return VK_BACK;
    default:
        return 0;
    }
}

GdkPixbuf* PixbufFromIcon(const IconResource& icon) {
    if (icon.width <= 0 || icon.height <= 0) {
        return nullptr;
    }
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, icon.width, icon.height);
    if (!pixbuf) {
        return nullptr;
    }
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < icon.height; ++y) {
        for (int x = 0; x < icon.width; ++x) {
            uint32_t argb = icon.pixels[static_cast<size_t>(y) * icon.width + x];
            guchar* out = pixels + static_cast<size_t>(y) * stride + x * 4;
            out[0] = static_cast<guchar>(argb >> 16);
            out[1] = static_cast<guchar>(argb >> 8);
            out[2] = static_cast<guchar>(argb);
            out[3] = static_cast<guchar>(argb >> 24);
        }
    }
    return pixbuf;
}

bool UseGtkBackend(int* argc, char*** argv, std::string* error) {
    if (!gtk_init_check(argc, argv)) {
        if (error) {
            const char* display = std::getenv("DISPLAY");
            const char* wayland = std::getenv("WAYLAND_DISPLAY");
            *error = std::string("cannot open the display ") +
                     (display && *display ? display : (wayland ? wayland : "(none)"));
        }
        return false;
    }
    // Every command is a check item (any may get a mark), but like Windows menus an item without its
    // mark shows nothing there, not an empty box.
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css,
                                    "menu menuitem check:not(:checked) { -gtk-icon-source: none; "
                                    "background-image: none; background-color: transparent; "
                                    "border-color: transparent; box-shadow: none; color: transparent; }",
                                    -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    InstallXWindowErrorFilter();
    SetBackend(std::make_unique<GtkBackend>());
    return true;
}

GtkBackend::~GtkBackend() {
    // Only at process exit: the windows go with the display connection; GTK is not called any more.
    for (auto& [handle, parts] : windows) {
        g_signal_handlers_disconnect_matched(parts->window, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                             handle);
    }
}

bool GtkBackend::ForgetNativeWindow(HWND window) {
    auto it = windows.find(window);
    if (it == windows.end()) {
        return false;
    }
    if (it->second->surface) {
        cairo_surface_destroy(it->second->surface);
    }
    windows.erase(it);
    return true;
}

GtkWindowParts* GtkBackend::Parts(HWND window) {
    auto it = windows.find(window);
    return it == windows.end() ? nullptr : it->second.get();
}

RECT GtkBackend::FrameInsets(const WindowRecord& window) {
    // The window manager's frame lies outside the GTK window; what surrounds the client area inside
    // it is the menu bar.
    GtkWindowParts* parts = Parts(window.handle);
    return {0, parts ? parts->menuBarHeight : 0, 0, 0};
}

void GtkBackend::BuildMenuBar(WindowRecord& window, GtkWindowParts& parts) {
    MenuRecord* menu = FindMenuRecord(window.menu);
    if (!menu) {
        return;
    }
    parts.menuBar = gtk_menu_bar_new();
    for (const auto& popup : menu->popups) {
        GtkWidget* top = gtk_menu_item_new_with_mnemonic(ToDisplayText(ToGtkMnemonic(popup.text)).c_str());
        GtkWidget* submenu = gtk_menu_new();
        for (const auto& item : popup.items) {
            GtkWidget* entry =
                gtk_check_menu_item_new_with_mnemonic(ToDisplayText(ToGtkMnemonic(item.text)).c_str());
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(entry), item.checked);
            auto link = std::make_unique<GtkMenuLink>();
            link->window = window.handle;
            link->id = item.id;
            g_signal_connect(entry, "activate", G_CALLBACK(OnMenuActivate), link.get());
            parts.menuLinks.push_back(std::move(link));
            parts.menuItems[item.id] = entry;
            gtk_menu_shell_append(GTK_MENU_SHELL(submenu), entry);
        }
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), submenu);
        gtk_menu_shell_append(GTK_MENU_SHELL(parts.menuBar), top);
    }
}

void GtkBackend::CreateNativeWindow(WindowRecord& window) {
    auto parts = std::make_unique<GtkWindowParts>();
    gpointer handle = window.handle;
    parts->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(parts->window), ToDisplayText(window.title).c_str());
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(parts->window), box);
    BuildMenuBar(window, *parts);
    if (parts->menuBar) {
        gtk_box_pack_start(GTK_BOX(box), parts->menuBar, FALSE, FALSE, 0);
        // Hidden widgets measure 0: show the bar (the window itself stays hidden) to learn its height.
        gtk_widget_show_all(parts->menuBar);
        int minimum = 0;
        int natural = 0;
        gtk_widget_get_preferred_height(parts->menuBar, &minimum, &natural);
        parts->menuBarHeight = natural;
    }
    parts->drawing = gtk_drawing_area_new();
    gtk_widget_set_can_focus(parts->drawing, TRUE);
    gtk_widget_add_events(parts->drawing, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                              GDK_POINTER_MOTION_MASK | GDK_KEY_PRESS_MASK |
                                              GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
    gtk_box_pack_start(GTK_BOX(box), parts->drawing, TRUE, TRUE, 0);
    g_signal_connect(parts->drawing, "button-press-event", G_CALLBACK(OnDrawingPress), handle);
    g_signal_connect(parts->drawing, "key-press-event", G_CALLBACK(OnKey), handle);
    g_signal_connect(parts->drawing, "key-release-event", G_CALLBACK(OnKey), handle);
    g_signal_connect(parts->drawing, "focus-out-event", G_CALLBACK(OnFocusOut), handle);
    g_signal_connect(parts->drawing, "button-release-event", G_CALLBACK(OnButtonRelease), handle);
    g_signal_connect(parts->drawing, "motion-notify-event", G_CALLBACK(OnMotion), handle);
    g_signal_connect(parts->drawing, "draw", G_CALLBACK(OnDraw), handle);
    g_signal_connect(parts->drawing, "size-allocate", G_CALLBACK(OnDrawingAllocated), handle);
    g_signal_connect(parts->window, "delete-event", G_CALLBACK(OnDelete), handle);
    g_signal_connect(parts->window, "configure-event", G_CALLBACK(OnConfigure), handle);
    g_signal_connect(parts->window, "destroy", G_CALLBACK(OnNativeDestroyed), handle);

    GList* icons = nullptr;
    for (HICON icon : {window.icon, window.smallIcon}) {
        if (const IconResource* resource = IconFromHandle(icon)) {
            if (GdkPixbuf* pixbuf = PixbufFromIcon(*resource)) {
                icons = g_list_append(icons, pixbuf);
            }
        }
    }
    if (icons) {
        gtk_window_set_icon_list(GTK_WINDOW(parts->window), icons);
        g_list_free_full(icons, g_object_unref);
    }

    // The client area takes the keys: the window's focus starts there.
    gtk_window_set_focus(GTK_WINDOW(parts->window), parts->drawing);
    windows[window.handle] = std::move(parts);
    // The menu bar's height is known now: the client area is what remains of the outer size.
    window.clientWidth = std::max<LONG>(0, window.rect.right - window.rect.left);
    window.clientHeight =
        std::max<LONG>(0, window.rect.bottom - window.rect.top - Parts(window.handle)->menuBarHeight);
    MoveNativeWindow(window);
}

void GtkBackend::DestroyNativeWindow(WindowRecord& window) {
    auto it = windows.find(window.handle);
    if (it == windows.end()) {
        return;
    }
    std::unique_ptr<GtkWindowParts> parts = std::move(it->second);
    windows.erase(it);
    gtk_widget_destroy(parts->window);
    if (parts->surface) {
        cairo_surface_destroy(parts->surface);
    }
}

void GtkBackend::ShowNativeWindow(WindowRecord& window, int command) {
    GtkWindowParts* parts = Parts(window.handle);
    if (!parts) {
        return;
    }
    GtkWindow* native = GTK_WINDOW(parts->window);
    switch (command) {
    case SW_HIDE:
        gtk_widget_hide(parts->window);
        return;
    case SW_SHOWMAXIMIZED:
        gtk_window_maximize(native);
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
        gtk_window_iconify(native);
        break;
    case SW_RESTORE:
        gtk_window_unmaximize(native);
        gtk_window_deiconify(native);
        break;
    default:
        break;
    }
    gtk_widget_show_all(parts->window);
}

void GtkBackend::MoveNativeWindow(WindowRecord& window) {
    GtkWindowParts* parts = Parts(window.handle);
    if (!parts) {
        return;
    }
    int width = std::max<LONG>(1, window.rect.right - window.rect.left);
    int height = std::max<LONG>(1, window.rect.bottom - window.rect.top);
    gtk_window_move(GTK_WINDOW(parts->window), window.rect.left, window.rect.top);
    gtk_window_resize(GTK_WINDOW(parts->window), width, height);
    parts->wantedClientWidth = window.clientWidth;
    parts->wantedClientHeight = window.clientHeight;
}

void GtkBackend::MenuCheckChanged(WindowRecord& window, UINT id, bool checked) {
    GtkWindowParts* parts = Parts(window.handle);
    if (!parts) {
        return;
    }
    auto it = parts->menuItems.find(id);
    if (it == parts->menuItems.end()) {
        return;
    }
    parts->settingCheck = true;
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(it->second), checked);
    parts->settingCheck = false;
}

void GtkBackend::ControlTextChanged(WindowRecord& control) {
    auto it = controlWidgets.find(control.handle);
    if (it == controlWidgets.end()) {
        return;
    }
    if (GTK_IS_ENTRY(it->second)) {
        gtk_entry_set_text(GTK_ENTRY(it->second), ToDisplayText(control.title).c_str());
    } else if (GTK_IS_LABEL(it->second)) {
        gtk_label_set_text(GTK_LABEL(it->second), ToDisplayText(control.title).c_str());
    } else if (GTK_IS_BUTTON(it->second)) {
        gtk_button_set_label(GTK_BUTTON(it->second), ToDisplayText(ToGtkMnemonic(control.title)).c_str());
    }
}

void GtkBackend::PumpEvents() {
    // Bounded, so that a flood of events cannot keep the program's loop from drawing.
    for (int i = 0; i < 64 && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

void GtkBackend::Present(WindowRecord& window, bool newPicture) {
    GtkWindowParts* parts = Parts(window.handle);
    const PresentedFrame& frame = window.lastFrame;
    if (!parts || frame.width <= 0 || frame.height <= 0) {
        return;
    }
    if (newPicture) {
        CopyToSurface(*parts, frame);
        gtk_widget_queue_draw(parts->drawing);
    }
    if (ShowsNothing(*parts)) {
        WaitUntilShown(window.handle);
        return;
    }

    // Wait for the display's next frame: the frame clock's next paint (a paint of nothing when the
    // window shows this picture already), or a frame's time when no clock ticks.
    FrameWait wait;
    GdkFrameClock* clock =
        gtk_widget_get_mapped(parts->drawing) ? gtk_widget_get_frame_clock(parts->drawing) : nullptr;
    // Held while waiting: the window may go away meanwhile, its clock with it.
    if (clock) {
        g_object_ref(clock);
    }
    gulong paintHandler = clock ? g_signal_connect(clock, "after-paint", G_CALLBACK(OnAfterPaint), &wait) : 0;
    if (clock && !newPicture) {
        gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_AFTER_PAINT);
    }
    guint timeout = g_timeout_add(FRAME_FALLBACK_MS + (clock ? FRAME_FALLBACK_MS : 0), OnFrameTimeout, &wait);
    while (!wait.done) {
        g_main_context_iteration(nullptr, TRUE);
    }
    if (!wait.timedOut) {
        g_source_remove(timeout);
    }
    if (clock) {
        // A window destroyed by the display disposes its clock, which drops every handler.
        if (g_signal_handler_is_connected(clock, paintHandler)) {
            g_signal_handler_disconnect(clock, paintHandler);
        }
        g_object_unref(clock);
    }
}

void GtkBackend::CopyToSurface(GtkWindowParts& parts, const PresentedFrame& frame) {
    if (!parts.surface || cairo_image_surface_get_width(parts.surface) != frame.width ||
        cairo_image_surface_get_height(parts.surface) != frame.height) {
        if (parts.surface) {
            cairo_surface_destroy(parts.surface);
        }
        parts.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, frame.width, frame.height);
    }
    cairo_surface_flush(parts.surface);
    unsigned char* data = cairo_image_surface_get_data(parts.surface);
    int stride = cairo_image_surface_get_stride(parts.surface);
    for (int y = 0; y < frame.height; ++y) {
        std::memcpy(data + static_cast<size_t>(y) * stride,
                    frame.pixels.data() + static_cast<size_t>(y) * frame.width,
                    static_cast<size_t>(frame.width) * 4);
    }
    cairo_surface_mark_dirty(parts.surface);
}

// Like a desktop compositor with a hidden window, presenting waits while the window shows nothing:
// until it is shown again, the program has messages to take (input, the close box of the task bar),
// or the window goes away.
void GtkBackend::WaitUntilShown(HWND window) {
    for (;;) {
        GtkWindowParts* parts = Parts(window);
        if (!parts || !ShowsNothing(*parts) || MessagesWaiting()) {
            return;
        }
        g_main_context_iteration(nullptr, TRUE);
    }
}

bool GetDesktopWindowInfo(HWND window, DesktopWindowInfo* info) {
    GtkBackend* backend = ActiveGtk();
    GtkWindowParts* parts = backend ? backend->Parts(window) : nullptr;
    if (!parts || !info) {
        return false;
    }
    info->mapped = gtk_widget_get_mapped(parts->drawing);
    info->menuBarHeight = parts->menuBarHeight;
    GdkWindow* native = gtk_widget_get_window(parts->window);
    info->xWindow = native && GDK_IS_X11_WINDOW(native) ? GDK_WINDOW_XID(native) : 0;
    return true;
}

bool GetDesktopMenuCheck(HWND window, UINT id, bool* checked) {
    GtkBackend* backend = ActiveGtk();
    GtkWindowParts* parts = backend ? backend->Parts(window) : nullptr;
    if (!parts || !checked || !parts->menuItems.count(id)) {
        return false;
    }
    *checked = gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(parts->menuItems[id]));
    return true;
}

bool GetDesktopClientPixel(HWND window, int x, int y, uint32_t* rgb) {
    GtkBackend* backend = ActiveGtk();
    GtkWindowParts* parts = backend ? backend->Parts(window) : nullptr;
    GdkWindow* native = parts ? gtk_widget_get_window(parts->drawing) : nullptr;
    if (!native || !rgb) {
        return false;
    }
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(native, x, y, 1, 1);
    if (!shot) {
        return false;
    }
    const guchar* pixel = gdk_pixbuf_get_pixels(shot);
    *rgb = (static_cast<uint32_t>(pixel[0]) << 16) | (static_cast<uint32_t>(pixel[1]) << 8) | pixel[2];
    g_object_unref(shot);
    return true;
}

} // namespace platform
