// The headless window backend: no display; client sizes live in memory, presented frames stay readable
// (and are written as numbered PNG files when a folder is named), and input comes from tests through
// the calls below or from a script file, one command a line (README.md, "Running headless").
#pragma once

#include "win32/windows_base.h"

#include <optional>
#include <string>
#include <vector>

namespace platform {

// Makes the headless backend the active one (it is also the backend before any other is chosen).
// `framesFolder`, when not empty, receives every presented frame as frame_000001.png, ...
void UseHeadlessBackend(const std::string& framesFolder = std::string());

// Input as the user would give it. Input to a window that is disabled (its modal dialog is open) or
// destroyed is dropped, as on a desktop.
void HeadlessClick(HWND window, int x, int y);      // WM_LBUTTONDOWN then WM_LBUTTONUP at client (x, y)
void HeadlessRightClick(HWND window, int x, int y); // WM_RBUTTONDOWN then WM_RBUTTONUP
void HeadlessMouseMove(HWND window, int x, int y);  // WM_MOUSEMOVE
bool HeadlessMenuCommand(HWND window, UINT id);     // WM_COMMAND; false when the menu has no such item
void HeadlessKey(HWND window, UINT virtualKey);     // a key pressed and let go: WM_KEYDOWN, WM_KEYUP
void HeadlessClose(HWND window);                    // the close box: WM_CLOSE
void HeadlessResizeClient(HWND window, int width, int height);

// Answers for the dialogs still to come, taken in order. A dialog answer types `text` into the
// dialog's first edit box (when it has one) and presses the button with `buttonId`; when that leaves the
// dialog open, the next answer is used on it. An open-file answer without a path is a cancel.
void QueueDialogAnswer(const std::string& text, int buttonId);
void QueueOpenFileAnswer(std::optional<std::string> path);

// The number of frames presented to all windows since the start.
uint64_t HeadlessFrameCount();

// Puts the clock (timeGetTime) on the frames: it stands at 0 and moves on by `milliseconds` with every
// presented frame, so that a scripted run draws the same animation however fast the machine is.
void StepClockWithFrames(DWORD milliseconds);

// One command of a script file.
struct ScriptCommand {
    enum class Kind { Click, RightClick, Move, Menu, Key, Dialog, File, Wait, Resize, Close };
    Kind kind = Kind::Wait;
    int line = 0;                    // line number in the file, for messages
    int x = 0;                       // Click, RightClick, Move; width for Resize
    int y = 0;                       // Click, RightClick, Move; height for Resize
    UINT id = 0;                     // Menu: command id; Key: virtual-key code; Dialog: button id
    int frames = 0;                  // Wait
    std::string text;                // Dialog: the text to type
    std::optional<std::string> path; // File: the chosen file; none = cancel
};

// The virtual-key code of a script's key name (a letter or digit, left, right, up, down, pageup,
// pagedown, escape, enter, space; any case), or 0.
UINT VirtualKeyFromName(const std::string& name);

// Reads a script. On a line that is not a command, returns false with "line N: reason" in `error`.
bool ParseScript(const std::string& text, std::vector<ScriptCommand>* commands, std::string* error);
bool ReadScriptFile(const std::string& path, std::vector<ScriptCommand>* commands, std::string* error);

// Runs the commands against the program's main window (the first window created with a class) while
// the program's loop runs: commands up to the next wait are carried out whenever the program looks for
// messages; a wait lasts that many presented frames. After the last command, once the program has taken
// every queued message, the main window is closed.
void RunHeadlessScript(std::vector<ScriptCommand> commands);

} // namespace platform
