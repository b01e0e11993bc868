// The program's entry point: the platform layer picks the window backend and runs WinMain.
#include "game_window.h"

#include "win32/program_entry.h"

int main(int argc, char** argv) {
    return platform::RunWinMain(argc, argv, WinMain);
}
