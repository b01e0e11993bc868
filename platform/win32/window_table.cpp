// Window classes and the window table: creating and destroying windows, default message processing,
// showing, moving and measuring them. The active backend mirrors each change on its native windows.
#include "win32/window_system.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace platform {

namespace {

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    LPCSTR menuName = nullptr;
};

// The size Windows would pick for CW_USEDEFAULT; the program sizes its window itself afterwards.
constexpr int DEFAULT_LEFT = 64;
constexpr int DEFAULT_TOP = 48;
constexpr int DEFAULT_WIDTH = 656;
constexpr int DEFAULT_HEIGHT = 539;

struct WindowTable {
    std::unique_ptr<WindowBackend> backend;
    std::map<HWND, std::unique_ptr<WindowRecord>> windows;
    std::vector<WindowClass> classes;
    uintptr_t nextHandle = 0x10000;
};

WindowTable& Table() {
    static WindowTable table;
    return table;
}

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

WindowClass* FindClass(LPCSTR name) {
    if (!name || IS_INTRESOURCE(name)) {
        return nullptr;
    }
    std::string wanted = Lowercase(name);
    for (auto& windowClass : Table().classes) {
        if (Lowercase(windowClass.name) == wanted) {
            return &windowClass;
        }
    }
    return nullptr;
}

void DeriveClientSize(WindowRecord& window) {
    RECT insets = Backend().FrameInsets(window);
    window.clientWidth = std::max<LONG>(0, window.rect.right - window.rect.left - insets.left - insets.right);
    window.clientHeight =
        std::max<LONG>(0, window.rect.bottom - window.rect.top - insets.top - insets.bottom);
}

} // namespace

WindowBackend& Backend() {
    auto& table = Table();
    if (!table.backend) {
        table.backend = MakeHeadlessBackend(std::string());
    }
    return *table.backend;
}

void SetBackend(std::unique_ptr<WindowBackend> backend) {
    Table().backend = std::move(backend);
}

WindowRecord* FindWindowRecord(HWND window) {
    auto& windows = Table().windows;
    auto it = windows.find(window);
    return it == windows.end() ? nullptr : it->second.get();
}

WindowRecord& AddWindowRecord(WindowKind kind) {
    auto& table = Table();
    auto record = std::make_unique<WindowRecord>();
    record->kind = kind;
    record->handle = reinterpret_cast<HWND>(table.nextHandle);
    table.nextHandle += 0x10;
    WindowRecord& result = *record;
    table.windows[result.handle] = std::move(record);
    return result;
}

void RemoveWindowRecord(HWND window) {
    Table().windows.erase(window);
}

HWND MainWindow() {
    for (auto& [handle, record] : Table().windows) {
        if (record->kind == WindowKind::TopLevel && !record->destroying) {
            return handle;
        }
    }
    return nullptr;
}

void ResizeClientArea(HWND handle, int width, int height) {
    WindowRecord* window = FindWindowRecord(handle);
    if (!window) {
        return;
    }
    width = std::max(0, width);
    height = std::max(0, height);
    bool changed = width != window->clientWidth || height != window->clientHeight;
    RECT insets = Backend().FrameInsets(*window);
    window->clientWidth = width;
    window->clientHeight = height;
    window->rect.right = window->rect.left + insets.left + width + insets.right;
    window->rect.bottom = window->rect.top + insets.top + height + insets.bottom;
    if (changed && window->kind == WindowKind::TopLevel) {
        SendMessageA(handle, WM_SIZE, 0, MAKELPARAM(width, height));
    }
}

} // namespace platform

using platform::FindWindowRecord;
using platform::WindowKind;
using platform::WindowRecord;

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    // cbSize is not checked: the program fills in the 32-bit size, which differs from ours.
    if (!windowClass || !windowClass->lpszClassName || IS_INTRESOURCE(windowClass->lpszClassName) ||
        !windowClass->lpfnWndProc) {
        return 0;
    }
    auto& classes = platform::Table().classes;
    platform::WindowClass entry;
    entry.name = windowClass->lpszClassName;
    entry.style = windowClass->style;
    entry.proc = windowClass->lpfnWndProc;
    entry.instance = windowClass->hInstance;
    entry.icon = windowClass->hIcon;
    entry.smallIcon = windowClass->hIconSm ? windowClass->hIconSm : windowClass->hIcon;
    entry.menuName = windowClass->lpszMenuName;
    if (platform::FindClass(windowClass->lpszClassName)) {
        return 0; // already registered, as Windows answers
    }
    classes.push_back(entry);
    return static_cast<ATOM>(0xC000 + classes.size());
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND, HMENU menu, HINSTANCE, LPVOID) {
    platform::WindowClass* windowClass = platform::FindClass(className);
    if (!windowClass) {
        return nullptr;
    }
    WindowRecord& window = platform::AddWindowRecord(WindowKind::TopLevel);
    HWND handle = window.handle;
    window.title = windowName ? windowName : "";
    window.proc = windowClass->proc;
    window.style = style;
    window.icon = windowClass->icon;
    window.smallIcon = windowClass->smallIcon;
    if (menu && platform::FindMenuRecord(menu)) {
        window.menu = menu;
    } else if (windowClass->menuName && IS_INTRESOURCE(windowClass->menuName)) {
        const auto* resource =
            platform::FindMenuResource(static_cast<UINT>(reinterpret_cast<uintptr_t>(windowClass->menuName)));
        if (resource) {
            window.menu = platform::CreateMenuFromResource(*resource);
        }
    }
    if (platform::MenuRecord* menuRecord = platform::FindMenuRecord(window.menu)) {
        menuRecord->window = handle;
    }
    int left = x == CW_USEDEFAULT ? platform::DEFAULT_LEFT : x;
    int top = x == CW_USEDEFAULT ? platform::DEFAULT_TOP : y;
    int outerWidth = width == CW_USEDEFAULT ? platform::DEFAULT_WIDTH : std::max(0, width);
    int outerHeight = width == CW_USEDEFAULT ? platform::DEFAULT_HEIGHT : std::max(0, height);
    window.rect = {left, top, left + outerWidth, top + outerHeight};
    platform::DeriveClientSize(window);
    platform::Backend().CreateNativeWindow(window);

    if (SendMessageA(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (style & WS_VISIBLE) {
        ShowWindow(handle, SW_SHOW);
    }
    return handle;
}

BOOL DestroyWindow(HWND handle) {
    WindowRecord* window = FindWindowRecord(handle);
    if (!window || window->destroying) {
        return FALSE;
    }
    window->destroying = true;
    if (window->kind == WindowKind::Dialog) {
        // A dialog goes away when its modal loop ends; destroying it early ends that loop.
        window->dialogEnded = true;
        return TRUE;
    }
    if (window->kind == WindowKind::TopLevel) {
        SendMessageA(handle, WM_DESTROY, 0, 0);
    }
    window = FindWindowRecord(handle);
    if (!window) {
        return TRUE;
    }
    if (window->kind != WindowKind::Offscreen) {
        platform::Backend().DestroyNativeWindow(*window);
    }
    platform::DestroyMenuRecord(window->menu);
    platform::DiscardMessagesFor(handle);
    platform::RemoveWindowRecord(handle);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return FindWindowRecord(window) ? TRUE : FALSE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            SendMessageA(window, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_PAINT:
        if (WindowRecord* record = FindWindowRecord(window)) {
            record->needsPaint = false;
        }
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return 0;
    }
}

BOOL ShowWindow(HWND handle, int command) {
    WindowRecord* window = FindWindowRecord(handle);
    if (!window) {
        return FALSE;
    }
    BOOL wasVisible = window->visible ? TRUE : FALSE;
    window->visible = command != SW_HIDE;
    if (window->visible && !wasVisible) {
        window->needsPaint = true;
    }
    if (window->kind == WindowKind::TopLevel) {
        platform::Backend().ShowNativeWindow(*window, command);
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
    WindowRecord* record = FindWindowRecord(window);
    return record && record->visible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND handle) {
    WindowRecord* window = FindWindowRecord(handle);
    if (!window) {
        return FALSE;
    }
    if (window->visible && window->needsPaint && window->kind == WindowKind::TopLevel) {
        SendMessageA(handle, WM_PAINT, 0, 0);
    }
    return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL) {
    WindowRecord* window = FindWindowRecord(handle);
    if (!window || window->kind == WindowKind::Offscreen) {
        return FALSE;
    }
    int oldWidth = window->clientWidth;
    int oldHeight = window->clientHeight;
    window->rect = {x, y, x + std::max(0, width), y + std::max(0, height)};
    platform::DeriveClientSize(*window);
    platform::Backend().MoveNativeWindow(*window);
    if (window->clientWidth != oldWidth || window->clientHeight != oldHeight) {
        SendMessageA(handle, WM_SIZE, 0, MAKELPARAM(window->clientWidth, window->clientHeight));
    }
    return TRUE;
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
    WindowRecord* window = FindWindowRecord(handle);
    if (!window || !rect) {
        return FALSE;
    }
    *rect = window->rect;
    return TRUE;
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
    WindowRecord* window = FindWindowRecord(handle);
    if (!window || !rect) {
        return FALSE;
    }
    *rect = {0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

BOOL EnableWindow(HWND handle, BOOL enable) {
    WindowRecord* window = FindWindowRecord(handle);
    if (!window) {
        return FALSE;
    }
    BOOL wasDisabled = window->enabled ? FALSE : TRUE;
    window->enabled = enable != FALSE;
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    WindowRecord* record = FindWindowRecord(window);
    return record && record->enabled ? TRUE : FALSE;
}

int GetWindowTextA(HWND handle, LPSTR text, int maxCount) {
    WindowRecord* window = FindWindowRecord(handle);
    if (!text || maxCount <= 0) {
        return 0;
    }
    const std::string empty;
    const std::string& title = window ? window->title : empty;
    size_t count = std::min(title.size(), static_cast<size_t>(maxCount - 1));
    title.copy(text, count);
    text[count] = '\0';
    return static_cast<int>(count);
}
