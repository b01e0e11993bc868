// The name-entry and Credits dialogs on the headless window system: an empty name and Escape keep the
// name dialog open; a confirmed name enters the current table, cut to 29 characters.
#include "name_dialog.h"

#include "board.h"
#include "game_resources.h"
#include "game_window.h"
#include "highscore_list.h"
#include "support/test_files.h"

#include "win32/headless.h"
#include "win32/winuser.h"

#include <gtest/gtest.h>

namespace {

TEST(Dialogs, NameDialogStaysOpenUntilANameIsGivenAndCutsItAt29CharactersAndCreditsEndWithOkOrCancel) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder(folder.Path());
    platform::UseHeadlessBackend();
    platform::RegisterResources(GameResources());
    PlayMode = 1;
    Difficulty = 1;
    ASSERT_EQ(CurrentHighscoreTable().Load("al2.roh", 3), HighscoreList::LOAD_CREATED);
    Score = 321;
    platform::QueueDialogAnswer("", IDOK);
    platform::QueueDialogAnswer("ignored", IDCANCEL);
    platform::QueueDialogAnswer("abcdefghijklmnopqrstuvwxyz0123456789", IDOK);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(NAME_DIALOG_ID), nullptr, NameDlgProc, 0), 1);
    char name[HIGHSCORE_NAME_SIZE] = {};
    uint32_t score = 0;
    ASSERT_TRUE(CurrentHighscoreTable().GetEntry(0, &score, name));
    EXPECT_STREQ(name, "abcdefghijklmnopqrstuvwxyz012");
    EXPECT_EQ(score, 321u);
    EXPECT_EQ(testing_support::ReadFile(folder / "al2.roh").size(), 8u + 3 * 224) << "saved at once";

    for (int answer : {IDOK, IDCANCEL}) {
        platform::QueueDialogAnswer("", answer);
        EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CREDITS), nullptr, CreditsDlgProc, 0),
                  answer);
    }
}

} // namespace
