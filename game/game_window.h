// The program itself: entry point, start-up, the main loop that drives the engine's frame, the window
// procedure with the click flow, undo and menu commands, the Credits dialog and window sizing.
#pragma once

#include "win32/windows_base.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
void RegisterWindowClass(HINSTANCE instance);
BOOL InitInstance(HINSTANCE instance, int showCommand);
void SetClientSize(HWND window, bool keepSize, int width, int height);
RECT CalcWindowRect(HWND window, int width, int height);
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CALLBACK CreditsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

namespace zonkel {

// The file of highscore table `table` (0 to 5), a name relative to the working directory.
const char* HighscoreFileName(int table);

// Maps a click at client position (x, y) of a client area `clientWidth` x `clientHeight` to a board
// cell through the virtual 800 x 600 screen. The result may lie one column right of or two rows below
// the board (the margins); false for an empty client area.
bool MapClickToCell(int x, int y, int clientWidth, int clientHeight, int* column, int* row);

// The left-click flow on cell (column, row) after the undo copy: removal and end-of-board test while
// playing, else the next step of the overlay sequence.
void HandleLeftClick(int column, int row);
// Takes the undo copies of board, score and quota.
void TakeUndoCopy();
// Puts the undo copies back.
void RestoreUndoCopy();

} // namespace zonkel
