// Modal dialogs on the headless backend: WM_INITDIALOG first, answers typed into the edit box and read
// back with GetDlgItemTextA, a dialog that refuses to be cancelled, the owner disabled meanwhile and
// input queued before it not handled inside it, and the open-file dialog's answers and filters.
#include "window_test_program.h"

#include "win32/commctrl.h"
#include "win32/commdlg.h"
#include "win32/file_filter.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace window_test;

namespace {

// What the name dialog's procedure saw.
std::vector<UINT> nameMessages;
std::string enteredName;
bool ownerEnabledInside = true;
HWND nameOwner = nullptr;

// Like the game's name entry: OK with an empty name and cancel keep the dialog open.
RECT nameClient = {};
HWND nameFocus = nullptr;

INT_PTR CALLBACK NameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    nameMessages.push_back(message);
    if (message == WM_INITDIALOG) {
        ownerEnabledInside = IsWindowEnabled(nameOwner) != FALSE;
        GetClientRect(dialog, &nameClient);
        nameFocus = reinterpret_cast<HWND>(wParam) == GetDlgItem(dialog, NAME_EDIT) ? dialog : nullptr;
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        char buffer[30];
        if (GetDlgItemTextA(dialog, NAME_EDIT, buffer, 30) == 0) {
            return TRUE;
        }
        enteredName = buffer;
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

HWND aboutFocus = nullptr;

BOOL CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        aboutFocus = reinterpret_cast<HWND>(wParam) == GetDlgItem(dialog, IDOK) ? dialog : nullptr;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
    }
    return message == WM_INITDIALOG || message == WM_COMMAND;
}

// Both kinds of dialog procedure: INT_PTR and, as the about box's, BOOL.
template <typename Procedure> INT_PTR RunDialog(HWND owner, UINT id, Procedure proc) {
    return DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(id), owner, proc, 0);
}

} // namespace

TEST(Dialog, AnswersReachGetDlgItemTextCutToTheBufferWhileTheOwnerIsDisabled) {
    HWND window = CreateTestWindow();
    nameOwner = window;
    platform::QueueDialogAnswer("ignored", IDCANCEL);
    platform::QueueDialogAnswer("", IDOK);
    platform::QueueDialogAnswer("A name that is much longer than twenty-nine characters", IDOK);
    EXPECT_EQ(RunDialog(window, NAME_DIALOG, NameProc), 1);
    EXPECT_EQ(enteredName, std::string("A name that is much longer th"));
    ASSERT_FALSE(nameMessages.empty());
    EXPECT_EQ(nameMessages.front(), static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(std::count(nameMessages.begin(), nameMessages.end(), static_cast<UINT>(WM_COMMAND)), 3)
        << "cancel and the empty name kept the dialog open";
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_NE(nameFocus, nullptr) << "WM_INITDIALOG names the edit box, the first control to type in";
    // 186 x 51 dialog units of a 6 x 13 base: 186 * 6 / 4 and 51 * 13 / 8 = 82.9, rounded.
    EXPECT_EQ(std::pair(nameClient.right, nameClient.bottom), std::pair(LONG(279), LONG(83)));
}

// With nobody left to answer, a dialog that refuses to be cancelled must not hang the program.
TEST(Dialog, EndsWithTheButtonPressedAndMissingTemplatesProceduresOrAnswersFail) {
    HWND window = CreateTestWindow();
    nameOwner = window;
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunDialog(window, NAME_DIALOG, NameProc), -1) << "unanswered and refusing cancel";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "headless: no answer is left for the dialog; it is cancelled\n");
    EXPECT_EQ(nameMessages.back(), static_cast<UINT>(WM_COMMAND)) << "the cancel was tried first";
    EXPECT_TRUE(IsWindowEnabled(window));
    platform::QueueDialogAnswer("", IDCANCEL);
    EXPECT_EQ(RunDialog(window, ABOUT_DIALOG, AboutProc), IDCANCEL);
    EXPECT_NE(aboutFocus, nullptr) << "the first control with a tab stop, past the icon and the text";
    platform::QueueDialogAnswer("", IDOK);
    EXPECT_EQ(RunDialog(window, ABOUT_DIALOG, AboutProc), IDOK);
    EXPECT_EQ(RunDialog(window, 999, NameProc), -1);
    EXPECT_EQ(RunDialog(window, NAME_DIALOG, static_cast<DLGPROC>(nullptr)), -1);
    char buffer[8] = "x";
    EXPECT_EQ(GetDlgItemTextA(window, NAME_EDIT, buffer, 8), 0u) << "not a dialog";
    EXPECT_STREQ(buffer, "");
}

namespace {

int clicksInsideDialog = 0;
bool insideDialog = false;

LRESULT CALLBACK ClickOpensDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) {
        if (insideDialog) {
            ++clicksInsideDialog;
            return 0;
        }
        insideDialog = true;
        platform::QueueDialogAnswer("", IDOK);
        RunDialog(window, ABOUT_DIALOG, AboutProc);
        insideDialog = false;
        return 0;
    }
    return RecordingProc(window, message, wParam, lParam);
}

} // namespace

// Two quick clicks: the first opens a dialog; the second, queued before it opened, must not reach the
// game's window procedure from inside the dialog's loop (the owner is disabled by then).
TEST(Dialog, InputQueuedBeforeADialogIsNotHandledInsideIt) {
    HWND window = CreateTestWindow(ClickOpensDialogProc);
    platform::HeadlessClick(window, 10, 10);
    platform::HeadlessClick(window, 20, 20);
    PostMessageA(window, WM_USER, 0, 0); // not input: still delivered
    Log().clear();
    RunLoop(window, 5);
    EXPECT_EQ(clicksInsideDialog, 0);
    EXPECT_TRUE(
        std::any_of(Log().begin(), Log().end(), [](const Received& r) { return r.message == WM_USER; }));
}

// A message box shows its caption, text and icon on standard error (the text turned from Windows-1252 into
// UTF-8), takes the next answer, whichever button it names, and returns IDOK; other button sets and
// owners that are not windows are refused with 0 and show nothing.
TEST(MessageBox, ShowsOnStandardErrorTakesTheNextAnswerAndRefusesOtherButtonsOrOwners) {
    HWND window = CreateTestWindow();
    platform::QueueDialogAnswer("", IDCANCEL);
    platform::QueueDialogAnswer("", IDOK);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(window, "Caf\xe9 closed", "Notice", MB_OK | MB_ICONWARNING), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "second", nullptr, MB_ICONERROR), IDOK);
    EXPECT_EQ(MessageBoxA(window, "third", "Why", MB_ICONQUESTION), IDOK);
    EXPECT_EQ(MessageBoxA(window, "fourth", "Plain", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(window, "fifth", "Fyi", MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(MessageBoxA(window, "two buttons", "OK and Cancel", 0x1), 0);
    EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x7777), "no owner", "Gone", MB_OK), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "headless: message box (warning) \"Notice\": Caf\xc3\xa9 closed\n"
              "headless: message box (error) \"Error\": second\n"
              "headless: message box (question) \"Why\": third\n"
              "headless: no answer is left for the message box; it is cancelled\n"
              "headless: message box \"Plain\": fourth\n"
              "headless: no answer is left for the message box; it is cancelled\n"
              "headless: message box (information) \"Fyi\": fifth\n"
              "headless: no answer is left for the message box; it is cancelled\n");
    EXPECT_TRUE(IsWindowEnabled(window));

    // A script answers it: the click before the answer is dropped, as the owner is disabled; the one after
    // it waits until the box is closed.
    Log().clear();
    std::vector<platform::ScriptCommand> script;
    std::string error;
    ASSERT_TRUE(platform::ParseScript("click 5 5\ndialog ok\nclick 7 7\nwait 1\n", &script, &error)) << error;
    platform::RunHeadlessScript(script);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(window, "scripted", "Box", MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "headless: message box \"Box\": scripted\n");
    EXPECT_EQ(RunLoop(window), 7);
    std::vector<std::pair<UINT, LPARAM>> input;
    for (const Received& received : InputLog()) {
        input.emplace_back(received.message, received.message == WM_DESTROY ? 0 : received.lParam);
    }
    EXPECT_EQ(input, (std::vector<std::pair<UINT, LPARAM>>{{WM_LBUTTONDOWN, MAKELPARAM(7, 7)},
                                                           {WM_LBUTTONUP, MAKELPARAM(7, 7)},
                                                           {WM_CLOSE, 0},
                                                           {WM_DESTROY, 0}}));
}

namespace {

OPENFILENAMEA GameRequest(HWND owner, char* file, DWORD size) {
    OPENFILENAMEA request = {};
    request.lStructSize = 76;
    request.hwndOwner = owner;
    request.lpstrFilter = "Files(*.bmp,*.jpg)\0*.BMP;*.JPG\0\0";
    request.nFilterIndex = 3;
    request.lpstrFile = file;
    request.nMaxFile = size;
    request.nMaxFileTitle = 512;
    request.lpstrTitle = "Open File";
    request.Flags = OFN_CREATEPROMPT | OFN_HIDEREADONLY;
    request.lpstrDefExt = "bmp";
    return request;
}

} // namespace

TEST(OpenFile, ScriptedAnswerBecomesAnAbsolutePathAndCancelReturnsZeroWithoutAnError) {
    HWND window = CreateTestWindow();
    InitCommonControls();
    char file[260] = {};
    OPENFILENAMEA request = GameRequest(window, file, 260);
    char title[6] = "xxxxx";
    request.lpstrFileTitle = title;
    request.nMaxFileTitle = sizeof(title);
    platform::QueueOpenFileAnswer(std::string("/pictures/photo.jpg"));
    ASSERT_TRUE(GetOpenFileNameA(&request));
    EXPECT_STREQ(file, "/pictures/photo.jpg");
    EXPECT_EQ(request.nFileOffset, 10);
    EXPECT_EQ(request.nFileExtension, 16);
    EXPECT_STREQ(title, "photo") << "the name without its folder, cut to the buffer";
    request.lpstrFileTitle = nullptr;
    platform::QueueOpenFileAnswer(std::string("relative.d/name"));
    ASSERT_TRUE(GetOpenFileNameA(&request));
    EXPECT_EQ(file[0], '/');
    EXPECT_NE(std::strstr(file, "/relative.d/name.bmp"), nullptr) << "the default extension is added";
    EXPECT_TRUE(IsWindowEnabled(window));

    file[0] = '\0';
    platform::QueueOpenFileAnswer(std::nullopt);
    EXPECT_FALSE(GetOpenFileNameA(&request));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(GetOpenFileNameA(&request)) << "no answer left";
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "headless: no answer is left for the open-file dialog; it is cancelled\n");
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_STREQ(file, "");
}

TEST(OpenFile, PathLongerThanTheBufferIsAnErrorNotAnOverflow) {
    char file[8] = {};
    OPENFILENAMEA request = GameRequest(nullptr, file, sizeof(file));
    platform::QueueOpenFileAnswer(std::string("/a/long/path.bmp"));
    EXPECT_FALSE(GetOpenFileNameA(&request));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    EXPECT_STREQ(file, "");
    request.lpstrFile = nullptr;
    EXPECT_FALSE(GetOpenFileNameA(&request));
    EXPECT_NE(CommDlgExtendedError(), 0u);
}

TEST(OpenFile, FiltersPairUpFallBackToTheFirstAndMatchWithoutRegardToCase) {
    auto filters = platform::ParseFileFilters("Pictures\0*.BMP;*.JPG\0Text\0*.txt\0\0");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].description, "Pictures");
    EXPECT_EQ(filters[0].patterns, (std::vector<std::string>{"*.BMP", "*.JPG"}));
    EXPECT_EQ(platform::ChooseFileFilter(filters, 2).description, "Text");
    EXPECT_EQ(platform::ChooseFileFilter(filters, 3).description, "Pictures");
    EXPECT_EQ(platform::ChooseFileFilter(filters, 0).description, "Pictures");
    EXPECT_TRUE(platform::ParseFileFilters(nullptr).empty());
    EXPECT_TRUE(platform::ParseFileFilters("Dangling description\0\0").empty());
    EXPECT_EQ(platform::ChooseFileFilter({}, 1).patterns, std::vector<std::string>{"*"});

    const std::vector<std::string> patterns = filters[0].patterns;
    for (const char* name : {"photo.jpg", "/home/user/Photo.Jpg", "picture.BMP"}) {
        EXPECT_TRUE(platform::MatchesFileFilter(name, patterns)) << name;
    }
    for (const char* name : {"photo.png", "photo.jpg.txt"}) {
        EXPECT_FALSE(platform::MatchesFileFilter(name, patterns)) << name;
    }
    EXPECT_TRUE(platform::MatchesFileFilter("anything", {"*.*"}));
}
