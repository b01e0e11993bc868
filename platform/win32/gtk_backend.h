// The GTK 3 desktop backend: each program window is a GtkWindow holding a menu bar and a drawing area
// (the client area); dialogs are modal GtkWindows built from the dialog resources.
#pragma once

#include "win32/desktop_testing.h"
#include "win32/text_encoding.h"
#include "win32/window_system.h"

#include <gtk/gtk.h>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace platform {

struct GtkMenuLink {
    HWND window = nullptr;
    UINT id = 0;
};

struct GtkWindowParts {
    GtkWidget* window = nullptr;
    GtkWidget* menuBar = nullptr;
    GtkWidget* drawing = nullptr;
    std::map<UINT, GtkWidget*> menuItems;
    std::vector<std::unique_ptr<GtkMenuLink>> menuLinks;
    cairo_surface_t* surface = nullptr; // the last presented frame
    int menuBarHeight = 0;
    int wantedClientWidth = 0; // the client size MoveWindow asked for, until the next allocation
    int wantedClientHeight = 0;
    bool settingCheck = false; // a check mark is being set by CheckMenuItem, not by a click
    std::set<UINT> keysDown;   // virtual keys pressed in the client area and not let go yet
};

class GtkBackend : public WindowBackend {
public:
    ~GtkBackend() override;

    RECT FrameInsets(const WindowRecord& window) override;
    void CreateNativeWindow(WindowRecord& window) override;
    void DestroyNativeWindow(WindowRecord& window) override;
    void ShowNativeWindow(WindowRecord& window, int command) override;
    void MoveNativeWindow(WindowRecord& window) override;
    void MenuCheckChanged(WindowRecord& window, UINT id, bool checked) override;
    void ControlTextChanged(WindowRecord& control) override;
    void PumpEvents() override;
    void Present(WindowRecord& window, bool newPicture) override;
    void RunModalDialog(WindowRecord& dialog) override;
    int RunMessageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> RunOpenFileDialog(const OpenFileRequest& request) override;
    bool OpensDesktopFiles() override { return true; }

    GtkWindowParts* Parts(HWND window);
    // Drops the parts of a native window that GTK destroyed on its own; false when unknown.
    bool ForgetNativeWindow(HWND window);

private:
    void BuildMenuBar(WindowRecord& window, GtkWindowParts& parts);
    // Puts the frame into the surface the drawing area paints.
    static void CopyToSurface(GtkWindowParts& parts, const PresentedFrame& frame);
    void WaitUntilShown(HWND window);

    std::map<HWND, std::unique_ptr<GtkWindowParts>> windows;
    std::map<HWND, GtkWidget*> controlWidgets; // of the dialog that is open
};

// "&Start" -> "_Start": Windows marks mnemonics with "&", GTK with "_".
std::string ToGtkMnemonic(const std::string& text);
// The virtual-key code of a GDK key value, or 0 for a key that the program is not told about.
UINT VirtualKeyFromGdk(guint keyval);
// A new pixbuf (RGBA) of the icon's picture; the caller owns it.
GdkPixbuf* PixbufFromIcon(const IconResource& icon);

} // namespace platform
