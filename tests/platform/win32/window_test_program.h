// A small program for the window-system tests: resources shaped like a game's (menu with check items,
// a name-entry dialog, an about box, strings, icons), a window procedure that records what it gets,
// and a main loop that runs like a game's, presenting a frame per pass.
#pragma once

#include "win32/headless.h"
#include "win32/window_surface.h"
#include "win32/winuser.h"

#include <string>
#include <vector>

namespace window_test {

constexpr UINT MENU_ID = 109;
constexpr UINT NEW_GAME = 105;
constexpr UINT EASY = 32778;
constexpr UINT MEDIUM = 32779;
constexpr UINT NAME_DIALOG = 130;
constexpr UINT ABOUT_DIALOG = 103;
constexpr int NAME_EDIT = 1000;
constexpr UINT BIG_ICON = 107;
constexpr UINT SMALL_ICON = 108;

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<Received>& Log() {
    static std::vector<Received> log;
    return log;
}

// What the window procedure records, without the messages every window gets.
inline std::vector<Received> InputLog() {
    std::vector<Received> input;
    for (const auto& entry : Log()) {
        if (entry.message != WM_CREATE && entry.message != WM_SIZE && entry.message != WM_PAINT) {
            input.push_back(entry);
        }
    }
    return input;
}

inline LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Log().push_back({message, wParam, lParam});
    if (message == WM_DESTROY) {
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

inline void RegisterTestResources() {
    platform::ResourceTable table;
    table.strings.push_back({109, "ZONKEL"});
    table.strings.push_back({110, "A rather long string"});
    table.menus.push_back({MENU_ID,
                           {{"&game", {{"&Start New Game", NEW_GAME}}},
                            {"&difficulty", {{"&easy", EASY}, {"&medium", MEDIUM}}}}});
    platform::DialogResource name;
    name.id = NAME_DIALOG;
    name.caption = "please enter your name...";
    name.fontName = "MS Sans Serif";
    name.width = 186;
    name.height = 51;
    name.style = DS_MODALFRAME | DS_CENTER | WS_CAPTION | WS_SYSMENU;
    name.controls.push_back({platform::DialogControlKind::Edit, NAME_EDIT, "", 7, 7, 172, 17,
                             WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0});
    name.controls.push_back({platform::DialogControlKind::DefaultButton, IDOK, "OK", 66, 27, 50, 14, 0, 0});
    table.dialogs.push_back(name);
    platform::DialogResource about;
    about.id = ABOUT_DIALOG;
    about.caption = "Credits";
    about.width = 230;
    about.height = 53;
    about.controls.push_back({platform::DialogControlKind::Icon, 2, "", 14, 9, 20, 20, SS_ICON, BIG_ICON});
    about.controls.push_back(
        {platform::DialogControlKind::Text, -1, "Quarvel Version 1.0", 49, 10, 119, 8, SS_NOPREFIX, 0});
    about.controls.push_back(
        {platform::DialogControlKind::DefaultButton, IDOK, "OK", 195, 6, 30, 11, WS_TABSTOP, 0});
    table.dialogs.push_back(about);
    table.icons.push_back({BIG_ICON, 32, 32, std::vector<uint32_t>(32 * 32, 0xff2040c0u)});
    table.icons.push_back({SMALL_ICON, 16, 16, std::vector<uint32_t>(16 * 16, 0xffc04020u)});
    platform::RegisterResources(table);
}

inline HINSTANCE TestInstance() {
    static int anchor;
    return reinterpret_cast<HINSTANCE>(&anchor);
}

// Registers the class the way the game does and creates its window (hidden, default size).
inline HWND CreateTestWindow(WNDPROC proc = RecordingProc) {
    RegisterTestResources();
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = 48;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = TestInstance();
    windowClass.hIcon = LoadIconA(TestInstance(), MAKEINTRESOURCE(BIG_ICON));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCE(MENU_ID);
    windowClass.lpszClassName = "ZONKEL";
    windowClass.hIconSm = LoadIconA(TestInstance(), MAKEINTRESOURCE(SMALL_ICON));
    RegisterClassExA(&windowClass);
    return CreateWindowExA(0, "ZONKEL", "Test window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT,
                           0, nullptr, nullptr, TestInstance(), nullptr);
}

// Presents a small frame, as the device's Present does.
inline void PresentTestFrame(HWND window, uint32_t colour) {
    std::vector<uint32_t> pixels(4 * 3, colour);
    platform::PresentFrame(window, {pixels.data(), 4, 3, 4});
}

// The game's loop: one message per pass, then a frame. Returns WM_QUIT's wParam; gives up (-1) after
// `maxPasses` so that a fault cannot hang the test.
inline int RunLoop(HWND window, int maxPasses = 10000) {
    for (int pass = 0; pass < maxPasses; ++pass) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                return static_cast<int>(msg.wParam);
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (IsWindow(window)) {
            PresentTestFrame(window, 0xff000000u | static_cast<uint32_t>(pass));
        }
    }
    return -1;
}

} // namespace window_test
