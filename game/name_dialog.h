// The name-entry dialog shown when a finished game's score enters the current highscore table.
#pragma once

#include "win32/windows_base.h"

constexpr int NAME_DIALOG_ID = 130;
constexpr int NAME_EDIT_ID = 1000;
// The edit read keeps at most 29 characters.
constexpr int NAME_READ_SIZE = 30;

// Stays open until a non-empty name is confirmed; then inserts Score under that name into the current
// table and ends with 1. Escape and the close box do nothing.
BOOL CALLBACK NameDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
