// The window system's own state, shared by the USER32 calls and the backends: the window table (every
// window, dialog, dialog control and offscreen window), the menu table, the posted-message queue, and
// the interface a backend (headless or GTK) implements. Single-threaded, like the program's window thread.
#pragma once

#include "win32/file_filter.h"
#include "win32/resource_table.h"
#include "win32/window_surface.h"
#include "win32/winuser.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class WindowKind { Offscreen, TopLevel, Dialog, Control };

using DialogProcedure = std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)>;

struct WindowRecord {
    HWND handle = nullptr;
    WindowKind kind = WindowKind::TopLevel;
    std::string title;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    HWND owner = nullptr; // a dialog's owner; a control's dialog
    RECT rect = {};       // outer rectangle in screen coordinates
    int clientWidth = 0;
    int clientHeight = 0;
    bool visible = false;
    bool enabled = true;
    bool needsPaint = true;
    bool destroying = false;
    HMENU menu = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    PresentedFrame lastFrame;
    // The version of the picture the window shows and the client size it was shown at.
    uint64_t shownVersion = 0;
    int shownClientWidth = 0;
    int shownClientHeight = 0;

    // Dialogs.
    DialogProcedure dialogProc;
    const DialogResource* dialogTemplate = nullptr;
    std::vector<HWND> controls;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;

    // Controls.
    int controlId = 0;
    DialogControlKind controlKind = DialogControlKind::Text;
    const DialogControlResource* controlTemplate = nullptr;
};

struct MenuItemState {
    UINT id = 0;
    std::string text;
    bool checked = false;
};

struct MenuPopupState {
    std::string text;
    std::vector<MenuItemState> items;
};

struct MenuRecord {
    HWND window = nullptr;
    std::vector<MenuPopupState> popups;
};

// What the open-file dialog is asked to show.
struct OpenFileRequest {
    HWND owner = nullptr;
    std::string title;
    std::vector<FileFilter> filters; // as the program listed them; may be empty
    FileFilter chosenFilter;         // the one to show first
    std::string initialDirectory;
};

enum class MessageBoxIcon { None, Error, Question, Warning, Information };

// What a message box shows; the texts are UTF-8.
struct MessageBoxRequest {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    MessageBoxIcon icon = MessageBoxIcon::None;
};

class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    // Extra size of the outer rectangle over the client area: left, top, right, bottom.
    virtual RECT FrameInsets(const WindowRecord& window) = 0;

    virtual void CreateNativeWindow(WindowRecord& window) = 0;
    virtual void DestroyNativeWindow(WindowRecord& window) = 0;
    virtual void ShowNativeWindow(WindowRecord& window, int command) = 0;
    virtual void MoveNativeWindow(WindowRecord& window) = 0;
    virtual void MenuCheckChanged(WindowRecord& window, UINT id, bool checked) = 0;
    virtual void ControlTextChanged(WindowRecord& control) = 0;

    // Takes what input is waiting, without blocking; input becomes posted messages.
    virtual void PumpEvents() = 0;

    // Shows the frame (window.lastFrame, already stored; newPicture false: the window shows it already)
    // and paces the caller.
    virtual void Present(WindowRecord& window, bool newPicture) = 0;

    // Shows the dialog (its record and its controls exist and WM_INITDIALOG was sent) and runs its
    // modal loop until window.dialogEnded or a quit request.
    virtual void RunModalDialog(WindowRecord& dialog) = 0;

    // Shows the message box until it is closed; the button pressed (IDOK).
    virtual int RunMessageBox(const MessageBoxRequest& request) = 0;

    // The chosen absolute path, or nothing on cancel.
    virtual std::optional<std::string> RunOpenFileDialog(const OpenFileRequest& request) = 0;

    // True when ShellExecuteA should really start the desktop's program for a file.
    virtual bool OpensDesktopFiles() = 0;
};

WindowBackend& Backend();
void SetBackend(std::unique_ptr<WindowBackend> backend);
std::unique_ptr<WindowBackend> MakeHeadlessBackend(const std::string& framesFolder);

// The window table. Handles are never reused, so a stale handle names no window.
WindowRecord* FindWindowRecord(HWND window);
WindowRecord& AddWindowRecord(WindowKind kind);
void RemoveWindowRecord(HWND window);
// The program's main window: the first live window created with a class.
HWND MainWindow();

// Sets the client size and derives the outer rectangle (keeping its top-left corner); sends WM_SIZE
// when the size changed.
void ResizeClientArea(HWND window, int width, int height);

// Input from the user: dropped when the window is disabled or gone.
void PostInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Key input: WM_KEYDOWN (lParam: a repeat count of 1, bit 30 set when the key was down already) or
// WM_KEYUP (bits 30 and 31 set) with the virtual-key code in wParam.
void PostKeyMessage(HWND window, UINT virtualKey, bool down, bool repeat);
// Mouse movement: when the last queued message is a move of the same window, it is updated instead of
// queuing another, so that moves do not pile up in front of clicks.
void PostMouseMoveMessage(HWND window, LPARAM position);
// Messages queued for the window are discarded (the window is being destroyed).
void DiscardMessagesFor(HWND window);
// Dispatches every queued message (not the quit request); used by modal loops.
void DispatchQueuedMessages();
// True while any posted message waits in the queue (the quit request aside).
bool MessagesWaiting();
bool QuitRequested();

// Menus.
HMENU CreateMenuFromResource(const MenuResource& resource);
MenuRecord* FindMenuRecord(HMENU menu);
void DestroyMenuRecord(HMENU menu);
bool MenuHasCommand(HMENU menu, UINT id);

// Dialog units to pixels for the backends.
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);

} // namespace platform
