// The GTK desktop backend on a real X server: each test starts itself again under xvfb-run and drives
// the windows with xdotool: clicks arrive with client coordinates, a menu chosen with mouse and keys
// sends WM_COMMAND without changing check marks, frames reach the screen, a modal dialog takes typed
// text and Enter, the open-file dialog cancels and chooses, a window killed by the display closes the
// program cleanly while other X errors still reach GTK, and keys reach the window as virtual-key
// messages without taking the menu mnemonics.
#include "../win32/window_test_program.h"
#include "x_error_requests.h"

#include "support/command_run.h"
#include "support/test_files.h"
#include "win32/commdlg.h"
#include "win32/desktop_testing.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace window_test;

namespace {

const char* const INNER_VARIABLE = "ZONKEL_GTK_TEST_INNER";

// Runs the program's loop until `done` holds; gives up after half a minute, however busy the machine,
// so that a lost event fails the test instead of hanging it.
template <typename Condition> bool PumpUntil(HWND window, Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
        if (done()) {
            return true;
        }
        PresentTestFrame(window, 0xff3060c0u);
    }
    return false;
}

bool Xdotool(const std::string& arguments) {
    std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool WasReceived(UINT message) {
    for (const auto& entry : Log()) {
        if (entry.message == message) {
            return true;
        }
    }
    return false;
}

using testing_support::CommandRun;

// Starts this test again in a child under xvfb-run, with its own X server and `environment` (NAME=VALUE
// ...) added; returns the child's status and output.
CommandRun RunInnerUnderXvfb(const std::string& test, const std::string& environment = "") {
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    // GTK, fontconfig and the X libraries keep caches until the process ends; the leak checker of
    // sanitizer builds would count them against the child.
    return testing_support::RunCommand(
        std::string(INNER_VARIABLE) + "=1 " + environment +
        " ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" xvfb-run -a -s '-screen 0 1280x1024x24' '" + self +
        "' --gtest_filter=" + test + " 2>&1");
}

// Fails with the child's output when the child fails.
void RunUnderXvfb(const std::string& test) {
    const CommandRun run = RunInnerUnderXvfb(test);
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.output;
}

// Another process waits until a window named `title` is on screen (up to a minute, for a loaded
// machine), gives it the keyboard focus and only then runs the xdotool `commands`: focusing a window
// that is not mapped yet fails, and keys sent before it has the focus are lost.
void TypeOnceShown(const std::string& title, const std::string& commands) {
    std::string command = "(timeout 60 sh -c 'until xdotool search --onlyvisible --name \"" + title +
                          "\" windowfocus --sync; do sleep 0.1; done' && " + commands + ") >/dev/null 2>&1 &";
    std::system(command.c_str());
}

// Shows the window and runs the loop until it is on screen; `info` then describes it.
bool ShowUntilMapped(HWND window, platform::DesktopWindowInfo* info) {
    ShowWindow(window, SW_SHOWNORMAL);
    return PumpUntil(window, [&] { return platform::GetDesktopWindowInfo(window, info) && info->mapped; });
}

void StartGtk() {
    // Input lost on the way (a focus race of the X server) would leave a modal loop waiting forever;
    // the child is stopped instead, and the parent reports the failure.
    alarm(90);
    int argc = 1;
    char name[] = "gtk_desktop_test";
    char* arguments[] = {name, nullptr};
    char** argv = arguments;
    std::string error;
    ASSERT_TRUE(platform::UseGtkBackend(&argc, &argv, &error)) << error;
}

} // namespace

TEST(GtkDesktop, ClicksMenusAndFramesUnderXvfb) {
    if (!std::getenv(INNER_VARIABLE)) {
        RunUnderXvfb("GtkDesktop.ClicksMenusAndFramesUnderXvfb");
        return;
    }
    StartGtk();
    HWND window = CreateTestWindow();
    ASSERT_NE(window, nullptr);
    HMENU menu = GetMenu(window);
    CheckMenuItem(menu, MEDIUM, MF_BYCOMMAND | MF_CHECKED);

    // Size the client area as the game does, then show the window.
    RECT outer;
    RECT client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    MoveWindow(window, outer.left, outer.top, outer.right - outer.left - (client.right - 400),
               outer.bottom - outer.top - (client.bottom - 300), TRUE);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    platform::DesktopWindowInfo info;
    ASSERT_TRUE(platform::GetDesktopWindowInfo(window, &info));
    ASSERT_TRUE(
        PumpUntil(window, [&] { return platform::GetDesktopWindowInfo(window, &info) && info.mapped; }));
    ASSERT_TRUE(PumpUntil(window,
                          [&] {
                              GetClientRect(window, &client);
                              return client.right == 400 && client.bottom == 300;
                          }))
        << client.right << " x " << client.bottom;

    // The frame reaches the drawing area, stretched over the client area.
    PresentTestFrame(window, 0xff3060c0u);
    PresentTestFrame(window, 0xff3060c0u);
    uint32_t rgb = 0;
    ASSERT_TRUE(platform::GetDesktopClientPixel(window, 200, 150, &rgb));
    EXPECT_EQ(rgb, 0x3060c0u);

    // A click in the client area, by the X server's pointer.
    platform::GetDesktopWindowInfo(window, &info);
    int menuBar = info.menuBarHeight;
    ASSERT_GT(menuBar, 0);
    ASSERT_NE(info.xWindow, 0u);
    std::string id = std::to_string(info.xWindow);
    Log().clear();
    // A left click, then a right click elsewhere: each button's press and release, in order.
    ASSERT_TRUE(Xdotool("mousemove --window " + id + " 120 " + std::to_string(menuBar + 70) + " click 1"));
    ASSERT_TRUE(Xdotool("mousemove --window " + id + " 37 " + std::to_string(menuBar + 91) + " click 3"));
    ASSERT_TRUE(PumpUntil(window, [] { return WasReceived(WM_RBUTTONUP); }));
    std::vector<Received> buttons;
    for (const auto& entry : Log()) {
        if (entry.message >= WM_LBUTTONDOWN && entry.message <= WM_RBUTTONUP) {
            buttons.push_back(entry);
        }
    }
    const Received expected[] = {{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 70)},
                                 {WM_LBUTTONUP, 0, MAKELPARAM(120, 70)},
                                 {WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(37, 91)},
                                 {WM_RBUTTONUP, 0, MAKELPARAM(37, 91)}};
    ASSERT_EQ(buttons.size(), std::size(expected));
    for (size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i].message, expected[i].message) << i;
        EXPECT_EQ(buttons[i].wParam, expected[i].wParam) << i;
        EXPECT_EQ(buttons[i].lParam, expected[i].lParam) << i;
    }

    // Open "&game" with the mouse, move to "&difficulty" and choose its first item, "&easy". The keys
    // wait in GTK's queue behind the click and reach the menu it opens, so nothing waits in between.
    Log().clear();
    ASSERT_TRUE(Xdotool("mousemove --window " + id + " 12 " + std::to_string(menuBar / 2) +
                        " click 1 key Right Down Return"));
    ASSERT_TRUE(PumpUntil(window, [] { return WasReceived(WM_COMMAND); }));
    for (const auto& entry : Log()) {
        if (entry.message == WM_COMMAND) {
            EXPECT_EQ(LOWORD(entry.wParam), EASY);
        }
    }
    // The click did not put a mark on "easy"; only CheckMenuItem does.
    EXPECT_EQ(GetMenuState(menu, EASY, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));
    bool shown = true;
    ASSERT_TRUE(platform::GetDesktopMenuCheck(window, EASY, &shown));
    EXPECT_FALSE(shown);
    ASSERT_TRUE(platform::GetDesktopMenuCheck(window, MEDIUM, &shown));
    EXPECT_TRUE(shown);
    CheckMenuItem(menu, EASY, MF_BYCOMMAND | MF_CHECKED);
    ASSERT_TRUE(platform::GetDesktopMenuCheck(window, EASY, &shown));
    EXPECT_TRUE(shown);

    // The close box: WM_CLOSE, then WM_DESTROY and the quit request.
    Log().clear();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(RunLoop(window, 50), 7);
    EXPECT_FALSE(IsWindow(window));
}

namespace {

std::string& TypedName() {
    static std::string name;
    return name;
}

int& CancelCount() {
    static int count;
    return count;
}

// The game's name entry: Escape and the close box do nothing, OK with a name ends the dialog.
INT_PTR CALLBACK NameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        // Another process types while this one runs the modal loop. The text is plain ASCII: xdotool
        // types other characters by remapping a key for a moment, which races with the server under
        // load (the conversion to ANSI text has its own tests).
        TypeOnceShown("please enter your name",
                      "xdotool key Escape && xdotool type 'Anna Zoe' && xdotool key Return");
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        ++CancelCount();
        return FALSE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        char buffer[30];
        if (GetDlgItemTextA(dialog, NAME_EDIT, buffer, 30) > 0) {
            TypedName() = buffer;
            EndDialog(dialog, 1);
        }
        return TRUE;
    }
    return FALSE;
}

} // namespace

TEST(GtkDesktop, ModalDialogTakesTypedTextAndEnter) {
    if (!std::getenv(INNER_VARIABLE)) {
        RunUnderXvfb("GtkDesktop.ModalDialogTakesTypedTextAndEnter");
        return;
    }
    StartGtk();
    HWND window = CreateTestWindow();
    platform::DesktopWindowInfo info;
    ASSERT_TRUE(ShowUntilMapped(window, &info));
    EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(NAME_DIALOG), window, NameProc, 0), 1);
    EXPECT_EQ(TypedName(), "Anna Zoe");
    EXPECT_EQ(CancelCount(), 1);
    EXPECT_TRUE(IsWindowEnabled(window));
}

// A window that the X server destroys (another client, a crashed window manager) must not leave the
// backend drawing into freed widgets, nor end the program on the X errors for requests still on their
// way: the program closes as after the close box.
TEST(GtkDesktop, WindowDestroyedByTheDisplayWhileStillInUseClosesTheProgramWithoutAnXErrorExit) {
    if (!std::getenv(INNER_VARIABLE)) {
        RunUnderXvfb(
            "GtkDesktop.WindowDestroyedByTheDisplayWhileStillInUseClosesTheProgramWithoutAnXErrorExit");
        return;
    }
    StartGtk();
    HWND window = CreateTestWindow();
    platform::DesktopWindowInfo info;
    ASSERT_TRUE(ShowUntilMapped(window, &info));
    Log().clear();
    ASSERT_TRUE(Xdotool("windowclose " + std::to_string(info.xWindow)));
    // Before the program has read of the destruction, it still addresses the window, as it may at any
    // moment under load: the server refuses those requests with errors about a window that is gone.
    uint32_t rgb = 0;
    platform::GetDesktopClientPixel(window, 10, 10, &rgb);
    x_errors::DrawOnGoneWindow(info.xWindow);
    x_errors::Sync();
    EXPECT_EQ(RunLoop(window, 2000), 7);
    EXPECT_TRUE(WasReceived(WM_CLOSE));
    EXPECT_TRUE(WasReceived(WM_DESTROY));
    EXPECT_FALSE(IsWindow(window));
    // Requests still on their way when the program read of the destruction are refused later still.
    x_errors::DrawOnGoneWindow(info.xWindow);
    x_errors::Sync();
}

// Only the errors about a lost window and what the program made on it are let pass: after a window
// was lost, any other X error still reaches GTK's handler, which ends the program with its message as
// before (a bad value; another client's window that is gone); so does an error about a resource of
// the program's own that was never made while no window of it is lost.
TEST(GtkDesktop, XErrorsNotAboutALostWindowStillEndTheProgramAfterAWindowWasLost) {
    const char* const test = "GtkDesktop.XErrorsNotAboutALostWindowStillEndTheProgramAfterAWindowWasLost";
    if (!std::getenv(INNER_VARIABLE)) {
        const struct {
            const char* request;
            const char* error;
            bool afterLoss;
        } rows[] = {{"bad-value", "BadValue", true},
                    {"foreign-window", "BadWindow", true},
                    {"unmade-window", "BadWindow", false}};
        for (const auto& row : rows) {
            const CommandRun run = RunInnerUnderXvfb(test, std::string("ZONKEL_X_REQUEST=") + row.request);
            EXPECT_FALSE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << row.request << run.output;
            EXPECT_NE(run.output.find("X Window System error"), std::string::npos)
                << row.request << run.output;
            EXPECT_NE(run.output.find(row.error), std::string::npos) << row.request << run.output;
            EXPECT_EQ(run.output.find("carried on"), std::string::npos) << row.request << run.output;
            EXPECT_EQ(run.output.find("lost window's errors passed") != std::string::npos, row.afterLoss)
                << row.request << run.output;
        }
        return;
    }
    StartGtk();
    HWND window = CreateTestWindow();
    platform::DesktopWindowInfo info;
    ASSERT_TRUE(ShowUntilMapped(window, &info));
    const std::string request = std::getenv("ZONKEL_X_REQUEST") ? std::getenv("ZONKEL_X_REQUEST") : "";
    if (request == "unmade-window") {
        x_errors::MapAWindowNeverMade();
    } else {
        ASSERT_TRUE(Xdotool("windowclose " + std::to_string(info.xWindow)));
        x_errors::DrawOnGoneWindow(info.xWindow);
        x_errors::Sync();
        std::fprintf(stderr, "lost window's errors passed\n");
        if (request == "bad-value") {
            x_errors::RequestWithABadValue();
        } else {
            x_errors::MapAnotherClientsDestroyedWindow();
        }
    }
    x_errors::Sync();
    std::fprintf(stderr, "carried on after the error\n");
}

// The open-file dialog on the desktop: Escape cancels without an error; a typed path is chosen.
TEST(GtkDesktop, OpenFileDialogCancelsAndChooses) {
    if (!std::getenv(INNER_VARIABLE)) {
        RunUnderXvfb("GtkDesktop.OpenFileDialogCancelsAndChooses");
        return;
    }
    StartGtk();
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "photo.jpg", {1, 2, 3});
    HWND window = CreateTestWindow();
    platform::DesktopWindowInfo info;
    ASSERT_TRUE(ShowUntilMapped(window, &info));

    char file[260] = {};
    OPENFILENAMEA request = {};
    request.lStructSize = 76;
    request.hwndOwner = window;
    request.lpstrFilter = "Files(*.bmp,*.jpg)\0*.BMP;*.JPG\0\0";
    request.nFilterIndex = 3;
    request.lpstrFile = file;
    request.nMaxFile = sizeof(file);
    request.lpstrTitle = "Open File";
    request.Flags = OFN_CREATEPROMPT | OFN_HIDEREADONLY;
    request.lpstrDefExt = "bmp";

    TypeOnceShown("Open File", "xdotool key Escape");
    EXPECT_FALSE(GetOpenFileNameA(&request));
    EXPECT_EQ(CommDlgExtendedError(), 0u);

    // A title of its own, so that the keys cannot go to the first dialog while it is still on screen.
    // Letters typed into the file list start a search, whose result Enter may not choose; Ctrl+L opens
    // the location entry, which takes a name in the starting folder. A whole path would race the
    // entry's completion.
    std::string path = (folder / "photo.jpg").string();
    std::string start = folder.Path().string();
    request.lpstrInitialDir = start.c_str();
    request.lpstrTitle = "Choose a Picture";
    TypeOnceShown("Choose a Picture",
                  "xdotool key ctrl+l && xdotool type --delay 30 photo.jpg && xdotool key Return");
    ASSERT_TRUE(GetOpenFileNameA(&request));
    EXPECT_EQ(std::string(file), path);
    EXPECT_TRUE(IsWindowEnabled(window));
}

namespace {

std::vector<Received> KeyMessages() {
    std::vector<Received> keys;
    for (const auto& entry : Log()) {
        if (entry.message == WM_KEYDOWN || entry.message == WM_KEYUP) {
            keys.push_back(entry);
        }
    }
    return keys;
}

} // namespace

// Keys pressed over the client area arrive as WM_KEYDOWN and WM_KEYUP with virtual-key codes, while
// Alt with a menu's mnemonic still opens that menu and sends no key message.
TEST(GtkDesktop, KeysReachTheWindowAndMnemonicsStillOpenMenus) {
    if (!std::getenv(INNER_VARIABLE)) {
        RunUnderXvfb("GtkDesktop.KeysReachTheWindowAndMnemonicsStillOpenMenus");
        return;
    }
    StartGtk();
    HWND window = CreateTestWindow();
    platform::DesktopWindowInfo info;
    ASSERT_TRUE(ShowUntilMapped(window, &info));
    std::string id = std::to_string(info.xWindow);
    // Without a window manager the keyboard follows the pointer; the server moves it before it takes
    // the keys.
    ASSERT_TRUE(Xdotool("mousemove --window " + id + " 50 " + std::to_string(info.menuBarHeight + 50)));
    Log().clear();
    ASSERT_TRUE(Xdotool("key Left Next s 7"));
    ASSERT_TRUE(PumpUntil(window, [] { return KeyMessages().size() >= 8; }));
    std::vector<Received> keys = KeyMessages();
    const WPARAM expected[] = {VK_LEFT, VK_NEXT, 'S', '7'};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(keys[2 * i].message, static_cast<UINT>(WM_KEYDOWN)) << i;
        EXPECT_EQ(keys[2 * i].wParam, expected[i]) << i;
        EXPECT_EQ(keys[2 * i].lParam, 1) << i;
        EXPECT_EQ(keys[2 * i + 1].message, static_cast<UINT>(WM_KEYUP)) << i;
        EXPECT_EQ(keys[2 * i + 1].wParam, expected[i]) << i;
    }

    // Alt+G opens "&game"; Enter, queued behind it, chooses its first item.
    Log().clear();
    ASSERT_TRUE(Xdotool("key alt+g Return"));
    ASSERT_TRUE(PumpUntil(window, [] { return WasReceived(WM_COMMAND); }));
    for (const auto& entry : Log()) {
        if (entry.message == WM_COMMAND) {
            EXPECT_EQ(LOWORD(entry.wParam), NEW_GAME);
        }
    }
    for (const auto& key : KeyMessages()) {
        EXPECT_NE(key.wParam, static_cast<WPARAM>('G'));
        EXPECT_NE(key.wParam, static_cast<WPARAM>(VK_RETURN));
    }
}

// Presenting to a hidden window waits, as desktop compositors make hidden windows wait, instead of
// drawing at full rate: it returns once the display has news for the program, here another client
// destroying the window a moment after the program hid it.
TEST(GtkDesktop, PresentingToAHiddenWindowWaitsUntilTheDisplayHasNewsForTheProgram) {
    if (!std::getenv(INNER_VARIABLE)) {
        RunUnderXvfb("GtkDesktop.PresentingToAHiddenWindowWaitsUntilTheDisplayHasNewsForTheProgram");
        return;
    }
    StartGtk();
    HWND window = CreateTestWindow();
    ShowWindow(window, SW_SHOWNORMAL);
    platform::DesktopWindowInfo info;
    ASSERT_TRUE(
        PumpUntil(window, [&] { return platform::GetDesktopWindowInfo(window, &info) && info.mapped; }));
    ShowWindow(window, SW_HIDE);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&msg);
    }
    std::string command = "(sleep 0.5; xdotool windowclose " + std::to_string(info.xWindow) + ") >/dev/null 2>&1 &";
    ASSERT_EQ(std::system(command.c_str()), 0);
    PresentTestFrame(window, 0xff3060c0u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
        << "Present returned while the window was still hidden and there";
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(RunLoop(window, 2000), 7);
}
