// The program's resources: the window class name, the menu, the Credits and name-entry dialogs and the
// two icons, registered with the window system at start-up.
#pragma once

#include "win32/resource_table.h"

constexpr int IDS_WINDOW_CLASS = 109;
constexpr int IDR_MAIN_MENU = 109;
constexpr int IDD_CREDITS = 103;
constexpr int IDI_LARGE_ICON = 107;
constexpr int IDI_SMALL_ICON = 108;

constexpr int IDM_NEW_GAME = 105;
constexpr int IDM_HOW_TO_PLAY = 32773;
constexpr int IDM_CREDITS = 32774;
constexpr int IDM_EASY = 32778;
constexpr int IDM_MEDIUM = 32779;
constexpr int IDM_HARD = 32780;
constexpr int IDM_ADD_PICTURE = 32781;
constexpr int IDM_SOLVE_EVERYTHING = 32782;
constexpr int IDM_PLAY_LEVEL_MODE = 32783;

platform::ResourceTable GameResources();

// A stone of the game as an icon picture of `size` x `size` A8R8G8B8 pixels.
platform::IconResource DrawStoneIcon(UINT id, int size);
