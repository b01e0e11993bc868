// The window-system calls: window classes and windows, the message queue, default processing, menus
// with check marks, modal dialogs, and the program's resources (strings, menus, dialogs, icons), which
// the program registers as C++ tables (resource_table.h) instead of compiling a resource script.
#pragma once

#include "win32/resource_table.h"
#include "win32/windows_base.h"

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
// Dialog procedures written to return BOOL are accepted as they are (see DialogBoxParamA).
using DLGPROC_BOOL = BOOL(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};
using LPWNDCLASSEXA = WNDCLASSEXA*;
using ATOM = WORD;

// Messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_USER 0x0400

// Mouse-key state in wParam of the mouse messages.
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002

// WM_SYSCOMMAND codes.
#define SC_CLOSE 0xF060

// Notification code of a push button in the high word of WM_COMMAND's wParam.
#define BN_CLICKED 0

// Virtual keys in wParam of WM_KEYDOWN and WM_KEYUP; letters and digits are their upper-case ASCII codes.
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_F1 0x70

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW                                                                                  \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)

// Dialog, static, edit and button styles used by dialog resources.
#define DS_MODALFRAME 0x0080L
#define DS_SETFONT 0x0040L
#define DS_CENTER 0x0800L
#define SS_LEFT 0x0000L
#define SS_ICON 0x0003L
#define SS_NOPREFIX 0x0080L
#define ES_LEFT 0x0000L
#define ES_AUTOHSCROLL 0x0080L
#define BS_PUSHBUTTON 0x0000L
#define BS_DEFPUSHBUTTON 0x0001L

// Class styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002

// Default position or size for CreateWindowExA.
#define CW_USEDEFAULT ((int)0x80000000)

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// PeekMessageA options.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Menu flags.
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L
#define MF_UNCHECKED 0x00000000L
#define MF_CHECKED 0x00000008L
#define MF_STRING 0x00000000L
#define MF_POPUP 0x00000010L

// Dialog results.
#define IDOK 1
#define IDCANCEL 2

// MessageBoxA: the buttons (only MB_OK is offered) and the icon.
#define MB_OK 0x00000000L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONHAND 0x00000010L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0L

// System colours; an intptr_t so that (HBRUSH)(COLOR_WINDOW + 1) converts without warnings.
#define COLOR_WINDOW ((intptr_t)5)

// Stock cursors and icons.
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)

// Window classes and windows.
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL UpdateWindow(HWND window);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
int GetWindowTextA(HWND window, LPSTR text, int maxCount);

// Messages. PeekMessageA takes the oldest message (PM_REMOVE) or looks at it (PM_NOREMOVE); the quit
// request comes once the queue is empty. Only the unfiltered form (no window, range 0 to 0) is
// supported: a filter gives FALSE and leaves the queue alone.
BOOL PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeOption);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Menus.
HMENU GetMenu(HWND window);
// Returns the previous state (MF_CHECKED or MF_UNCHECKED), or (DWORD)-1 when the item does not exist.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
// MF_CHECKED when the item carries a check mark, 0 when not, (UINT)-1 when it does not exist.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);

// Dialogs. The dialog procedure's window receives WM_INITDIALOG (lParam = initParam) and WM_COMMAND;
// the call returns the value given to EndDialog, or -1 when the dialog cannot be built.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                        LPARAM initParam);
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC_BOOL dialogProc,
                        LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int controlId);
// Copies at most maxCount - 1 characters and a NUL; returns the number of characters copied.
UINT GetDlgItemTextA(HWND dialog, int controlId, LPSTR text, int maxCount);
BOOL SetDlgItemTextA(HWND dialog, int controlId, LPCSTR text);
// A modal message with an OK button, owned by `owner` (disabled while it shows) or by no window; a null
// caption is "Error". Returns IDOK once it is closed, or 0 (nothing shown) for a button set other than
// MB_OK or an owner that is not a window.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Resources registered with platform::RegisterResources.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
