// The name-entry and Credits dialogs on the headless window system: an empty name, Escape and the close
// box keep the name dialog open; a confirmed name enters the current table, cut to 29 characters.
#include "name_dialog.h"

#include "board.h"
#include "game_resources.h"
#include "game_window.h"
#include "highscore_list.h"
#include "support/test_files.h"

#include "win32/headless.h"
#include "win32/winuser.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::UseHeadlessBackend();
        platform::RegisterResources(GameResources());
        PlayMode = 1;
        Difficulty = 1;
        ASSERT_EQ(CurrentHighscoreTable().Load("al2.roh", 3), HighscoreList::LOAD_CREATED);
    }

    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder{folder.Path()};
};

std::string FirstName() {
    char name[HIGHSCORE_NAME_SIZE] = {};
    uint32_t score = 0;
    CurrentHighscoreTable().GetEntry(0, &score, name);
    return name;
}

TEST_F(DialogTest, NameDialogStaysOpenUntilANameIsGivenAndCutsItAt29Characters) {
    Score = 321;
    platform::QueueDialogAnswer("", IDOK);
    platform::QueueDialogAnswer("ignored", IDCANCEL);
    platform::QueueDialogAnswer("abcdefghijklmnopqrstuvwxyz0123456789", IDOK);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(NAME_DIALOG_ID), nullptr, NameDlgProc, 0), 1);
    EXPECT_EQ(FirstName(), "abcdefghijklmnopqrstuvwxyz012");
    uint32_t score = 0;
    char name[HIGHSCORE_NAME_SIZE];
    ASSERT_TRUE(CurrentHighscoreTable().GetEntry(0, &score, name));
    EXPECT_EQ(score, 321u);
    EXPECT_EQ(testing_support::ReadFile(folder / "al2.roh").size(), 8u + 3 * 224);
}

TEST_F(DialogTest, NameDialogProcedureIgnoresEverythingButOk) {
    EXPECT_EQ(NameDlgProc(nullptr, WM_INITDIALOG, 0, 0), TRUE);
    EXPECT_EQ(NameDlgProc(nullptr, WM_COMMAND, IDCANCEL, 0), FALSE);
    EXPECT_EQ(NameDlgProc(nullptr, WM_CLOSE, 0, 0), FALSE);
    EXPECT_EQ(FirstName(), "");
}

TEST_F(DialogTest, CreditsDialogEndsWithOkOrCancel) {
    platform::QueueDialogAnswer("", IDOK);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CREDITS), nullptr, CreditsDlgProc, 0), IDOK);
    platform::QueueDialogAnswer("", IDCANCEL);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CREDITS), nullptr, CreditsDlgProc, 0), IDCANCEL);
}

TEST(GameResources, IconsAreStonesOfTheirSizes) {
    const platform::ResourceTable table = GameResources();
    ASSERT_EQ(table.icons.size(), 2u);
    for (const auto& icon : table.icons) {
        const int size = icon.id == IDI_LARGE_ICON ? 32 : 16;
        ASSERT_EQ(icon.width, size);
        ASSERT_EQ(icon.height, size);
        // Opaque in the middle, transparent in the corners.
        EXPECT_EQ(icon.pixels[(size / 2) * size + size / 2] >> 24, 0xffu) << icon.id;
        EXPECT_EQ(icon.pixels[0] >> 24, 0u) << icon.id;
        EXPECT_EQ(icon.pixels[size * size - 1] >> 24, 0u) << icon.id;
    }
}

} // namespace
