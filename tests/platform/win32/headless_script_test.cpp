// The headless script: reading each command and rejecting bad lines with their number, and running a
// script against a program's loop (frames counted by presents, waits, dialog answers, the closing at
// the end), with frames written as PNG files.
#include "window_test_program.h"

#include "support/test_files.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace window_test;
using Kind = platform::ScriptCommand::Kind;

TEST(ScriptReader, ReadsEveryCommand) {
    std::vector<platform::ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(platform::ParseScript("# a comment\n"
                                      "\n"
                                      "click 10 20\n"
                                      "  rclick 0 599  \n"
                                      "move 3 4\n"
                                      "menu 32778\n"
                                      "dialog ok Anna Maria\n"
                                      "dialog cancel\n"
                                      "dialog 7 x\n"
                                      "file Grafik/my picture.jpg\n"
                                      "file\n"
                                      "wait 5\n"
                                      "resize 400 300\r\n"
                                      "close\n",
                                      &commands, &error))
        << error;
    ASSERT_EQ(commands.size(), 12u);
    EXPECT_EQ(commands[0].kind, Kind::Click);
    EXPECT_EQ(commands[0].x, 10);
    EXPECT_EQ(commands[0].y, 20);
    EXPECT_EQ(commands[0].line, 3);
    EXPECT_EQ(commands[1].kind, Kind::RightClick);
    EXPECT_EQ(commands[1].y, 599);
    EXPECT_EQ(commands[2].kind, Kind::Move);
    EXPECT_EQ(commands[3].kind, Kind::Menu);
    EXPECT_EQ(commands[3].id, 32778u);
    EXPECT_EQ(commands[4].kind, Kind::Dialog);
    EXPECT_EQ(commands[4].id, static_cast<UINT>(IDOK));
    EXPECT_EQ(commands[4].text, "Anna Maria");
    EXPECT_EQ(commands[5].id, static_cast<UINT>(IDCANCEL));
    EXPECT_EQ(commands[5].text, "");
    EXPECT_EQ(commands[6].id, 7u);
    EXPECT_EQ(commands[7].kind, Kind::File);
    EXPECT_EQ(commands[7].path, std::optional<std::string>("Grafik/my picture.jpg"));
    EXPECT_FALSE(commands[8].path.has_value());
    EXPECT_EQ(commands[9].kind, Kind::Wait);
    EXPECT_EQ(commands[9].frames, 5);
    EXPECT_EQ(commands[10].kind, Kind::Resize);
    EXPECT_EQ(commands[10].x, 400);
    EXPECT_EQ(commands[11].kind, Kind::Close);
}

TEST(ScriptReader, RejectsBadLinesNamingTheLine) {
    struct Row {
        const char* script;
        const char* expected;
    };
    const Row rows[] = {
        {"click 1 2\nclik 1 2\n", "line 2: unknown command 'clik'"},
        {"click 1\n", "line 1: click needs"},
        {"click 1 2 3\n", "line 1: click needs"},
        {"rclick -1 5\n", "line 1: rclick needs"},
        {"click a b\n", "line 1: click needs"},
        {"menu\n", "line 1: menu needs"},
        {"menu 70000\n", "line 1: menu needs"},
        {"wait -2\n", "line 1: wait needs"},
        {"wait 1.5\n", "line 1: wait needs"},
        {"dialog yes Bob\n", "line 1: dialog needs"},
        {"close now\n", "line 1: close takes"},
        {"\n\nresize 10\n", "line 3: resize needs"},
    };
    for (const auto& row : rows) {
        std::vector<platform::ScriptCommand> commands;
        std::string error;
        EXPECT_FALSE(platform::ParseScript(row.script, &commands, &error)) << row.script;
        EXPECT_EQ(error.rfind(row.expected, 0), 0u) << row.script << " gave: " << error;
    }
}

TEST(ScriptReader, KeyNamesGiveVirtualKeyCodes) {
    std::vector<platform::ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(platform::ParseScript("key left\nkey right\nkey up\nkey down\nkey pageup\nkey pagedown\n"
                                      "key escape\nkey enter\nkey space\nkey s\nkey L\nkey 7\nkey PageUp\n",
                                      &commands, &error))
        << error;
    const UINT expected[] = {VK_LEFT,   VK_RIGHT, VK_UP, VK_DOWN, VK_PRIOR, VK_NEXT, VK_ESCAPE,
                             VK_RETURN, VK_SPACE, 'S',   'L',     '7',      VK_PRIOR};
    ASSERT_EQ(commands.size(), std::size(expected));
    for (size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(commands[i].kind, Kind::Key) << i;
        EXPECT_EQ(commands[i].id, expected[i]) << i;
    }
    // The codes the tour's keys are written with.
    EXPECT_EQ(platform::VirtualKeyFromName("pageup"), 0x21u);
    EXPECT_EQ(platform::VirtualKeyFromName("pagedown"), 0x22u);
    EXPECT_EQ(platform::VirtualKeyFromName("left"), 0x25u);
    EXPECT_EQ(platform::VirtualKeyFromName("up"), 0x26u);
    EXPECT_EQ(platform::VirtualKeyFromName("right"), 0x27u);
    EXPECT_EQ(platform::VirtualKeyFromName("down"), 0x28u);

    for (const char* bad : {"key\n", "key ?\n", "key ab\n", "key f1\n", "key left right\n"}) {
        EXPECT_FALSE(platform::ParseScript(bad, &commands, &error)) << bad;
        EXPECT_EQ(error.rfind("line 1: key needs", 0), 0u) << bad << " gave: " << error;
    }
}

TEST(ScriptReader, MissingFileIsReported) {
    std::vector<platform::ScriptCommand> commands;
    std::string error;
    EXPECT_FALSE(platform::ReadScriptFile("/nonexistent/script.txt", &commands, &error));
    EXPECT_NE(error.find("/nonexistent/script.txt"), std::string::npos);
}

namespace {

struct Arrival {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    uint64_t frame;
};

std::vector<Arrival>& Arrivals() {
    static std::vector<Arrival> arrivals;
    return arrivals;
}

std::string& EnteredName() {
    static std::string name;
    return name;
}

INT_PTR CALLBACK NameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        char buffer[30];
        if (GetDlgItemTextA(dialog, NAME_EDIT, buffer, 30) > 0) {
            EnteredName() = buffer;
            EndDialog(dialog, 1);
        }
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

LRESULT CALLBACK ScriptedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_COMMAND ||
        message == WM_CLOSE || message == WM_SIZE || message == WM_KEYDOWN || message == WM_KEYUP) {
        Arrivals().push_back({message, wParam, lParam, platform::HeadlessFrameCount()});
    }
    if (message == WM_COMMAND && LOWORD(wParam) == NEW_GAME) {
        DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(NAME_DIALOG), window, NameProc, 0);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<platform::ScriptCommand> Parse(const char* text) {
    std::vector<platform::ScriptCommand> commands;
    std::string error;
    EXPECT_TRUE(platform::ParseScript(text, &commands, &error)) << error;
    return commands;
}

} // namespace

TEST(ScriptRun, WaitsCountPresentedFramesAndTheEndClosesTheWindow) {
    HWND window = CreateTestWindow(ScriptedProc);
    Arrivals().clear();
    platform::RunHeadlessScript(Parse("click 10 20\nwait 3\nrclick 5 6\nmenu 32778\n"));
    EXPECT_EQ(RunLoop(window), 7);
    ASSERT_EQ(Arrivals().size(), 4u);
    EXPECT_EQ(Arrivals()[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(LOWORD(Arrivals()[0].lParam), 10);
    EXPECT_EQ(HIWORD(Arrivals()[0].lParam), 20);
    EXPECT_EQ(Arrivals()[1].message, static_cast<UINT>(WM_RBUTTONDOWN));
    EXPECT_GE(Arrivals()[1].frame, Arrivals()[0].frame + 3);
    EXPECT_EQ(Arrivals()[2].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(LOWORD(Arrivals()[2].wParam), EASY);
    EXPECT_EQ(Arrivals()[3].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_FALSE(IsWindow(window));
}

TEST(ScriptRun, KeyReachesTheMainWindowAsKeyDownThenKeyUp) {
    HWND window = CreateTestWindow(ScriptedProc);
    Arrivals().clear();
    platform::RunHeadlessScript(Parse("key pagedown\nwait 2\nkey l\n"));
    EXPECT_EQ(RunLoop(window), 7);
    ASSERT_EQ(Arrivals().size(), 5u);
    EXPECT_EQ(Arrivals()[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(Arrivals()[0].wParam, static_cast<WPARAM>(VK_NEXT));
    EXPECT_EQ(Arrivals()[1].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(Arrivals()[1].wParam, static_cast<WPARAM>(VK_NEXT));
    EXPECT_EQ(Arrivals()[2].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(Arrivals()[2].wParam, static_cast<WPARAM>('L'));
    EXPECT_GE(Arrivals()[2].frame, Arrivals()[0].frame + 2);
    EXPECT_EQ(Arrivals()[3].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(Arrivals()[4].message, static_cast<UINT>(WM_CLOSE));
}

TEST(ScriptRun, DialogAnswerReachesTheDialogEvenAfterAWait) {
    HWND window = CreateTestWindow(ScriptedProc);
    EnteredName().clear();
    // The wait inside the dialog is over at once: no frames are drawn while a dialog is open.
    platform::RunHeadlessScript(Parse("menu 105\nwait 50\ndialog ok Alice Smith\nwait 2\nclose\n"));
    EXPECT_EQ(RunLoop(window), 7);
    EXPECT_EQ(EnteredName(), "Alice Smith");
}

TEST(ScriptRun, ResizeChangesTheClientArea) {
    HWND window = CreateTestWindow(ScriptedProc);
    Arrivals().clear();
    platform::RunHeadlessScript(Parse("resize 400 300\nwait 1\nclick 200 150\nwait 1\n"));
    EXPECT_EQ(RunLoop(window), 7);
    ASSERT_GE(Arrivals().size(), 2u);
    EXPECT_EQ(Arrivals()[0].message, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(LOWORD(Arrivals()[0].lParam), 400);
    EXPECT_EQ(HIWORD(Arrivals()[0].lParam), 300);
}

TEST(ScriptRun, FramesAreWrittenAsNumberedPngFiles) {
    testing_support::TemporaryFolder folder;
    platform::UseHeadlessBackend(folder.Path().string());
    HWND window = CreateTestWindow(ScriptedProc);
    platform::RunHeadlessScript(Parse("wait 2\n"));
    EXPECT_EQ(RunLoop(window), 7);
    EXPECT_TRUE(std::filesystem::exists(folder / "frame_000001.png"));
    EXPECT_TRUE(std::filesystem::exists(folder / "frame_000002.png"));
    std::vector<uint8_t> bytes = testing_support::ReadFile(folder / "frame_000001.png");
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes[1], 'P');
    EXPECT_EQ(bytes[2], 'N');
    EXPECT_EQ(bytes[3], 'G');
}
