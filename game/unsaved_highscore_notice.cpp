// The one notice a run gives of a highscore that could not be saved.
#include "unsaved_highscore_notice.h"

#include "highscore_list.h"
#include "program_state.h"

#include "win32/winuser.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace zonkel {

void TellOnceOfUnsavedHighscore(const HighscoreList& table) {
    static bool told = false;
    if (table.SaveError() == 0 || told) {
        return;
    }
    told = true;
    const std::string text = "The highscore could not be saved in " + HighscoreHostPath(table.GetFileName()) +
                             " (" + std::strerror(table.SaveError()) +
                             "). It stays in the table while the game runs and is saved with a later "
                             "highscore if the file can be written then.";
    std::fprintf(stderr, "zonkel: %s\n", text.c_str());
    MessageBoxA(MainWindow, text.c_str(), "Highscore not saved", MB_OK | MB_ICONERROR);
}

} // namespace zonkel
