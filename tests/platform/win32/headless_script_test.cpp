// The headless script: reading each command and rejecting bad lines with their number, and running a
// script against a program's loop (frames counted by presents, waits, keys, resizing, dialog answers,
// the closing at the end), with frames written as PNG files.
#include "window_test_program.h"

#include "support/test_files.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace window_test;
using Kind = platform::ScriptCommand::Kind;

namespace {

std::vector<platform::ScriptCommand> Parse(const char* text) {
    std::vector<platform::ScriptCommand> commands;
    std::string error;
    EXPECT_TRUE(platform::ParseScript(text, &commands, &error)) << error;
    return commands;
}

} // namespace

TEST(ScriptReader, ReadsEveryCommand) {
    std::vector<platform::ScriptCommand> c =
        Parse("# a comment\n\nclick 10 20\n  rclick 0 599  \nmove 3 4\nmenu 32778\ndialog ok Anna Maria\n"
              "dialog cancel\ndialog 7 x\nfile Grafik/my picture.jpg\nfile\nwait 5\nresize 400 300\r\nclose\n"
              "key left\nkey pagedown\nkey s\nkey 7\nkey PageUp\n");
    const Kind kinds[] = {Kind::Click,  Kind::RightClick, Kind::Move, Kind::Menu, Kind::Dialog, Kind::Dialog,
                          Kind::Dialog, Kind::File,       Kind::File, Kind::Wait, Kind::Resize, Kind::Close,
                          Kind::Key,    Kind::Key,        Kind::Key,  Kind::Key,  Kind::Key};
    ASSERT_EQ(c.size(), std::size(kinds));
    for (size_t i = 0; i < c.size(); ++i) {
        EXPECT_EQ(c[i].kind, kinds[i]) << i;
    }
    EXPECT_EQ(c[0].line, 3);
    EXPECT_EQ(std::pair(c[0].x, c[0].y), std::pair(10, 20));
    EXPECT_EQ(std::pair(c[1].x, c[1].y), std::pair(0, 599));
    EXPECT_EQ(std::pair(c[2].x, c[2].y), std::pair(3, 4));
    EXPECT_EQ(c[3].id, 32778u);
    EXPECT_EQ(std::pair(c[4].id, c[4].text), std::pair(static_cast<UINT>(IDOK), std::string("Anna Maria")));
    EXPECT_EQ(std::pair(c[5].id, c[5].text), std::pair(static_cast<UINT>(IDCANCEL), std::string()));
    EXPECT_EQ(std::pair(c[6].id, c[6].text), std::pair(7u, std::string("x")));
    EXPECT_EQ(c[7].path, std::optional<std::string>("Grafik/my picture.jpg"));
    EXPECT_FALSE(c[8].path.has_value()) << "a file command without a path cancels";
    EXPECT_EQ(c[9].frames, 5);
    EXPECT_EQ(std::pair(c[10].x, c[10].y), std::pair(400, 300));
    const UINT keys[] = {VK_LEFT, VK_NEXT, 'S', '7', VK_PRIOR};
    for (size_t i = 0; i < std::size(keys); ++i) {
        EXPECT_EQ(c[12 + i].id, keys[i]) << i;
    }

    // The largest numbers each command takes.
    c = Parse("menu 65535\nclick 65535 0\nwait 100000000\nresize 0 65535\nmenu 1\n");
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[0].id, 65535u);
    EXPECT_EQ(std::pair(c[1].x, c[1].y), std::pair(65535, 0));
    EXPECT_EQ(c[2].frames, 100000000);
    EXPECT_EQ(std::pair(c[3].x, c[3].y), std::pair(0, 65535));
    EXPECT_EQ(c[4].id, 1u);
    const std::pair<const char*, UINT> names[] = {{"UP", VK_UP},         {"Down", VK_DOWN},   {"RIGHT", VK_RIGHT},
                                                  {"ESCAPE", VK_ESCAPE}, {"enter", VK_RETURN}, {"Space", VK_SPACE},
                                                  {"z", 'Z'},            {"0", '0'}};
    for (const auto& [name, code] : names) {
        EXPECT_EQ(platform::VirtualKeyFromName(name), code) << name;
    }
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
        {"menu 65536\n", "line 1: menu needs"},
        {"menu 0\n", "line 1: menu needs"},
        {"click 65536 1\n", "line 1: click needs"},
        {"move 1 65536\n", "line 1: move needs"},
        {"wait 100000001\n", "line 1: wait needs"},
        {"resize 1 2 3\n", "line 1: resize needs"},
        {"wait -2\n", "line 1: wait needs"},
        {"wait 1.5\n", "line 1: wait needs"},
        {"dialog yes Bob\n", "line 1: dialog needs"},
        {"close now\n", "line 1: close takes"},
        {"\n\nresize 10\n", "line 3: resize needs"},
        {"key\n", "line 1: key needs"},
        {"key ?\n", "line 1: key needs"},
        {"key ab\n", "line 1: key needs"},
        {"key f1\n", "line 1: key needs"},
        {"key left right\n", "line 1: key needs"},
    };
    for (const auto& row : rows) {
        std::vector<platform::ScriptCommand> commands;
        std::string error;
        EXPECT_FALSE(platform::ParseScript(row.script, &commands, &error)) << row.script;
        EXPECT_EQ(error.rfind(row.expected, 0), 0u) << row.script << " gave: " << error;
    }
    std::vector<platform::ScriptCommand> commands;
    std::string error;
    EXPECT_FALSE(platform::ReadScriptFile("/nonexistent/script.txt", &commands, &error));
    EXPECT_NE(error.find("/nonexistent/script.txt"), std::string::npos) << "a missing file is named";
}

namespace {

struct Arrival {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    uint64_t frame;
};

std::vector<Arrival> arrivals;
std::string enteredName;

INT_PTR CALLBACK NameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        char buffer[30];
        if (GetDlgItemTextA(dialog, NAME_EDIT, buffer, 30) > 0) {
            enteredName = buffer;
            EndDialog(dialog, 1);
        }
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

LRESULT CALLBACK ScriptedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_COMMAND ||
        message == WM_CLOSE || message == WM_SIZE || message == WM_KEYDOWN || message == WM_KEYUP ||
        message == WM_MOUSEMOVE) {
        arrivals.push_back({message, wParam, lParam, platform::HeadlessFrameCount()});
    }
    if (message == WM_COMMAND && LOWORD(wParam) == NEW_GAME) {
        DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(NAME_DIALOG), window, NameProc, 0);
        return 0;
    }
    return RecordingProc(window, message, wParam, lParam);
}

} // namespace

// Every command's message with its parameters, a menu command the menu lacks reported with its line
// and skipped, a wait of N frames ending exactly N frames later, and the close after the last command.
TEST(ScriptRun, CommandsArriveInOrderWaitsCountFramesAndTheEndClosesTheWindow) {
    HWND window = CreateTestWindow(ScriptedProc);
    arrivals.clear();
    // A dialog answer waits for a dialog and does not hold up the commands after it.
    platform::RunHeadlessScript(Parse("resize 400 300\nclick 10 20\nwait 3\ndialog cancel\nrclick 5 6\nmove 7 8\n"
                                      "menu 4242\nmenu 32778\nkey pagedown\nwait 2\nkey l\n"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunLoop(window), 7);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "headless script line 7: the menu has no command 4242\n");
    const LPARAM up = static_cast<LPARAM>(0xC0000001u); // released, previously down, one repeat
    struct Expected {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } expected[] = {
        {WM_SIZE, 0, MAKELPARAM(400, 300)},
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20)},
        {WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 6)},
        {WM_MOUSEMOVE, 0, MAKELPARAM(7, 8)},
        {WM_COMMAND, EASY, 0},
        {WM_KEYDOWN, VK_NEXT, 1},
        {WM_KEYUP, VK_NEXT, up},
        {WM_KEYDOWN, 'L', 1},
        {WM_KEYUP, 'L', up},
        {WM_CLOSE, 0, 0},
    };
    ASSERT_EQ(arrivals.size(), std::size(expected));
    for (size_t i = 0; i < arrivals.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(arrivals[i].message, expected[i].message);
        EXPECT_EQ(arrivals[i].wParam, expected[i].wParam);
        EXPECT_EQ(arrivals[i].lParam, expected[i].lParam);
    }
    // The click's button-up is taken one frame after its button-down; one more frame ends the wait.
    EXPECT_EQ(arrivals[2].frame, arrivals[1].frame + 3);
    EXPECT_FALSE(IsWindow(window));
}

TEST(ScriptRun, DialogAnswerReachesTheDialogEvenAfterAWait) {
    HWND window = CreateTestWindow(ScriptedProc);
    enteredName.clear();
    // The wait inside the dialog is over at once: no frames are drawn while a dialog is open. The
    // script's UTF-8 text reaches the program in Windows-1252.
    platform::RunHeadlessScript(Parse("menu 105\nwait 50\ndialog ok Zo\xc3\xab \xe2\x82\xac Smith\nwait 2\nclose\n"));
    EXPECT_EQ(RunLoop(window), 7);
    EXPECT_EQ(enteredName, "Zo\xeb \x80 Smith");
}

// Each presented frame becomes the next numbered PNG file, its rows as presented (a row may be longer
// than the frame); a folder that cannot take them is reported once.
TEST(ScriptRun, FramesAreWrittenAsNumberedPngFiles) {
    testing_support::TemporaryFolder folder;
    platform::UseHeadlessBackend(folder.Path().string());
    HWND window = CreateTestWindow(ScriptedProc);
    const uint32_t pixels[] = {0x00112233u, 0x00445566u, 0x00778899u, 0xDEADBEEFu,
                               0xFFAABBCCu, 0x00DDEEFFu, 0x00010203u, 0xDEADBEEFu};
    platform::PresentFrame(window, {pixels, 3, 2, 4});
    platform::RunHeadlessScript(Parse("wait 2\n"));
    EXPECT_EQ(RunLoop(window), 7);
    EXPECT_TRUE(std::filesystem::exists(folder / "frame_000003.png"));
    testing_support::Picture first = testing_support::ReadPng(folder / "frame_000001.png");
    ASSERT_EQ(std::pair(first.width, first.height), std::pair(3, 2));
    EXPECT_EQ(first.pixels, (std::vector<uint32_t>{0xFF112233u, 0xFF445566u, 0xFF778899u, 0xFFAABBCCu,
                                                   0xFFDDEEFFu, 0xFF010203u}));

    platform::UseHeadlessBackend((folder / "missing" / "folder").string());
    window = CreateTestWindow(ScriptedProc);
    testing::internal::CaptureStderr();
    PresentTestFrame(window, 0xFF000000u);
    PresentTestFrame(window, 0xFF000000u);
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(reported.begin(), reported.end(), '\n'), 1) << reported;
    EXPECT_NE(reported.find("cannot write frames to " + (folder / "missing" / "folder").string()),
              std::string::npos)
        << reported;
}

// The close after the last command used to be queued behind the script's input, where a dialog opened
// by that input dropped it with the rest of the queue: the loop then ran forever.
TEST(ScriptRun, EndCloseIsNotDroppedByADialogThatDrainsTheQueue) {
    const char* scripts[] = {
        "wait 2\ndialog ok Bob\nmenu 105\n",
        // A click is two messages and a frame takes one: clicks pile up in front of the dialog.
        "click 1 1\nwait 1\nclick 2 2\nwait 1\nclick 3 3\nwait 1\nmenu 105\ndialog ok Ann\n",
    };
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        HWND window = CreateTestWindow(ScriptedProc);
        arrivals.clear();
        platform::RunHeadlessScript(Parse(script));
        ASSERT_EQ(RunLoop(window, 500), 7);
        ASSERT_GE(arrivals.size(), 2u);
        const Arrival& menu = arrivals[arrivals.size() - 2];
        EXPECT_EQ(menu.message, static_cast<UINT>(WM_COMMAND));
        EXPECT_EQ(arrivals.back().message, static_cast<UINT>(WM_CLOSE));
        EXPECT_LE(arrivals.back().frame, menu.frame + 2) << "the close comes within a few frames";
    }
}
