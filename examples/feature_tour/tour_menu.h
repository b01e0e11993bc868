// The tour window's menu: its resource id and command ids, and the keys that give the same commands
// where the window system delivers key presses.
#pragma once

#include "win32/windows_base.h"

namespace tour {

constexpr UINT IDR_TOUR_MENU = 101;

constexpr UINT IDM_CAMERA_FORWARD = 40001;
constexpr UINT IDM_CAMERA_BACK = 40002;
constexpr UINT IDM_CAMERA_LEFT = 40003;
constexpr UINT IDM_CAMERA_RIGHT = 40004;
constexpr UINT IDM_CAMERA_UP = 40005;
constexpr UINT IDM_CAMERA_DOWN = 40006;
constexpr UINT IDM_MAP_SAVE = 40011;
constexpr UINT IDM_MAP_LOAD = 40012;
constexpr UINT IDM_EXIT = 40021;

// Virtual-key codes of the keys the tour answers.
constexpr WPARAM KEY_PAGE_UP = 0x21;
constexpr WPARAM KEY_PAGE_DOWN = 0x22;
constexpr WPARAM KEY_LEFT = 0x25;
constexpr WPARAM KEY_UP = 0x26;
constexpr WPARAM KEY_RIGHT = 0x27;
constexpr WPARAM KEY_DOWN = 0x28;
constexpr WPARAM KEY_S = 'S';
constexpr WPARAM KEY_L = 'L';

// The menu command a key stands for, or 0.
constexpr UINT CommandForKey(WPARAM key) {
    switch (key) {
    case KEY_UP:
        return IDM_CAMERA_FORWARD;
    case KEY_DOWN:
        return IDM_CAMERA_BACK;
    case KEY_LEFT:
        return IDM_CAMERA_LEFT;
    case KEY_RIGHT:
        return IDM_CAMERA_RIGHT;
    case KEY_PAGE_UP:
        return IDM_CAMERA_UP;
    case KEY_PAGE_DOWN:
        return IDM_CAMERA_DOWN;
    case KEY_S:
        return IDM_MAP_SAVE;
    case KEY_L:
        return IDM_MAP_LOAD;
    default:
        return 0;
    }
}

} // namespace tour
