// The program's entry point: the platform layer picks the window backend and runs WinMain in the
// player's folder, where the highscore tables are kept (earlier versions kept them in the run folder).
// ZONKEL_DEAL_TIME, when set to a number of seconds, replaces the calendar time that seeds every deal,
// so that tests can script a game on boards they know.
#include "board.h"
#include "game_window.h"
#include "highscore_list.h"

#include "win32/program_entry.h"
#include "win32/program_folders.h"

#include <cstdlib>

namespace {

std::time_t fixedDealTime = 0;

std::time_t FixedDealTime() {
    return fixedDealTime;
}

} // namespace

int main(int argc, char** argv) {
    if (const char* seconds = std::getenv("ZONKEL_DEAL_TIME"); seconds && *seconds) {
        char* end = nullptr;
        const long long value = std::strtoll(seconds, &end, 10);
        if (end && *end == '\0') {
            fixedDealTime = static_cast<std::time_t>(value);
            zonkel::SetDealClockForTesting(FixedDealTime);
        }
    }
    platform::ProgramFolders folders;
    folders.dataName = "zonkel";
    folders.userName = "zonkel";
    for (int table = 0; table < HIGHSCORE_TABLE_COUNT; ++table) {
        folders.movedFiles.push_back(zonkel::HighscoreFileName(table));
    }
    return platform::RunWinMain(argc, argv, WinMain, &folders);
}
