// The name-entry and Credits dialogs on the headless window system: an empty name and Escape keep the
// name dialog open; a confirmed name enters the current table, cut to 29 characters; the Credits
// dialog's layout and the icons.
#include "name_dialog.h"

#include "board.h"
#include "game_resources.h"
#include "game_window.h"
#include "highscore_list.h"
#include "support/test_files.h"

#include "win32/headless.h"
#include "win32/winuser.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

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

    // The Credits dialog as laid out in dialog units: its frame, then each control's kind, id, text, place,
    // size and icon.
    const platform::ResourceTable resources = GameResources();
    const auto credits = std::find_if(resources.dialogs.begin(), resources.dialogs.end(),
                                      [](const platform::DialogResource& d) { return d.id == 103; });
    ASSERT_NE(credits, resources.dialogs.end());
    EXPECT_EQ(std::tuple(credits->caption, credits->fontName, credits->fontPointSize, credits->x, credits->y,
                         credits->width, credits->height, credits->style),
              std::tuple("Credits", "System", 8, 22, 17, 230, 53,
                         DWORD(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU)));
    std::vector<std::tuple<platform::DialogControlKind, int, std::string, int, int, int, int, UINT>> controls;
    for (const auto& c : credits->controls) {
        controls.emplace_back(c.kind, c.id, c.text, c.x, c.y, c.width, c.height, c.iconId);
    }
    using Kind = platform::DialogControlKind;
    EXPECT_EQ(controls, (decltype(controls){{Kind::Icon, 2, "", 14, 9, 20, 20, 107},
                                            {Kind::Text, -1, "Quarvel Version 1.0", 49, 10, 119, 8, 0},
                                            {Kind::DefaultButton, IDOK, "OK", 195, 6, 30, 11, 0}}));
    // Its icon 107 and the small icon 108: a round red stone, transparent in the corners.
    ASSERT_EQ(resources.icons.size(), 2u);
    for (const platform::IconResource& icon : resources.icons) {
        SCOPED_TRACE(icon.id);
        const int size = icon.id == 107 ? 32 : 16;
        ASSERT_EQ(std::tuple(icon.width, icon.height, icon.pixels.size()),
                  std::tuple(size, size, size_t(size * size)));
        int opaque = 0;
        int red = 0;
        for (uint32_t pixel : icon.pixels) {
            const uint32_t r = pixel >> 16 & 0xFF, g = pixel >> 8 & 0xFF, b = pixel & 0xFF;
            opaque += pixel >> 24 == 0xFF;
            red += pixel >> 24 == 0xFF && r > 2 * g && r > 2 * b;
        }
        EXPECT_EQ(icon.pixels[0] >> 24, 0u);
        EXPECT_EQ(icon.pixels[size_t(size * size - 1)] >> 24, 0u);
        EXPECT_GT(opaque, size * size / 2);
        EXPECT_GT(red, opaque * 3 / 4);
    }
    for (int answer : {IDOK, IDCANCEL}) {
        platform::QueueDialogAnswer("", answer);
        EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CREDITS), nullptr, CreditsDlgProc, 0),
                  answer);
    }
}

} // namespace
