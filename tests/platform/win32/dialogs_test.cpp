// Modal dialogs on the headless backend: WM_INITDIALOG first, answers typed into the edit box and read
// back with GetDlgItemTextA, a dialog that refuses to be cancelled, the owner disabled meanwhile, and
// the open-file dialog's answers and filters.
#include "window_test_program.h"

#include "win32/commctrl.h"
#include "win32/commdlg.h"
#include "win32/file_filter.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace window_test;

namespace {

struct NameDialogRun {
    std::vector<UINT> messages;
    std::string name;
    bool ownerEnabledInside = true;
    HWND owner = nullptr;
};

NameDialogRun& NameRun() {
    static NameDialogRun run;
    return run;
}

// Like the game's name entry: OK with an empty name and cancel keep the dialog open.
INT_PTR CALLBACK NameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    NameRun().messages.push_back(message);
    if (message == WM_INITDIALOG) {
        NameRun().ownerEnabledInside = IsWindowEnabled(NameRun().owner) != FALSE;
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        char buffer[30];
        if (GetDlgItemTextA(dialog, NAME_EDIT, buffer, 30) == 0) {
            return TRUE;
        }
        NameRun().name = buffer;
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

BOOL CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

TEST(Dialog, AnswerReachesGetDlgItemTextCutToTheBuffer) {
    HWND window = CreateTestWindow();
    NameRun().owner = window;
    platform::QueueDialogAnswer("A name that is much longer than twenty-nine characters", IDOK);
    INT_PTR result = DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(NAME_DIALOG), window, NameProc, 0);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(NameRun().name, std::string("A name that is much longer th"));
    EXPECT_EQ(NameRun().name.size(), 29u);
    ASSERT_FALSE(NameRun().messages.empty());
    EXPECT_EQ(NameRun().messages.front(), static_cast<UINT>(WM_INITDIALOG));
    EXPECT_FALSE(NameRun().ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(window));
}

TEST(Dialog, CancelAndEmptyNamesKeepTheNameDialogOpen) {
    HWND window = CreateTestWindow();
    NameRun().owner = window;
    platform::QueueDialogAnswer("ignored", IDCANCEL);
    platform::QueueDialogAnswer("", IDOK);
    platform::QueueDialogAnswer("Bob", IDOK);
    EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(NAME_DIALOG), window, NameProc, 0), 1);
    EXPECT_EQ(NameRun().name, "Bob");
    int commands = 0;
    for (UINT message : NameRun().messages) {
        commands += message == WM_COMMAND;
    }
    EXPECT_EQ(commands, 3);
}

// With nobody left to answer, a dialog that refuses to be cancelled must not hang the program.
TEST(Dialog, UnansweredDialogThatRefusesCancelEndsWithFailure) {
    HWND window = CreateTestWindow();
    NameRun().owner = window;
    EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(NAME_DIALOG), window, NameProc, 0), -1);
    EXPECT_TRUE(IsWindowEnabled(window));
}

TEST(Dialog, BoolProcedureEndsWithTheButtonPressed) {
    HWND window = CreateTestWindow();
    platform::QueueDialogAnswer("", IDCANCEL);
    EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(ABOUT_DIALOG), window, AboutProc, 0), IDCANCEL);
    platform::QueueDialogAnswer("", IDOK);
    EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(ABOUT_DIALOG), window, AboutProc, 0), IDOK);
}

TEST(Dialog, ClicksOnTheOwnerWhileTheDialogIsOpenAreDropped) {
    HWND window = CreateTestWindow();
    NameRun().owner = window;
    // The click comes while the dialog is open: the owner is disabled then.
    static HWND owner;
    owner = window;
    auto proc = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            platform::HeadlessClick(owner, 3, 3);
            return TRUE;
        }
        if (message == WM_COMMAND) {
            EndDialog(dialog, 5);
            return TRUE;
        }
        return FALSE;
    };
    platform::QueueDialogAnswer("", IDOK);
    EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(ABOUT_DIALOG), window, +proc, 0), 5);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(Dialog, MissingTemplateOrProcedureFails) {
    HWND window = CreateTestWindow();
    EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(999), window, NameProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(NAME_DIALOG), window,
                              static_cast<DLGPROC>(nullptr), 0),
              -1);
    char buffer[8] = "x";
    EXPECT_EQ(GetDlgItemTextA(window, NAME_EDIT, buffer, 8), 0u); // not a dialog
    EXPECT_STREQ(buffer, "");
}

TEST(Dialog, InitialTextSetDuringInitIsReadBack) {
    HWND window = CreateTestWindow();
    auto proc = [](HWND dialog, UINT message, WPARAM, LPARAM lParam) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            EXPECT_EQ(lParam, 99);
            EXPECT_NE(GetDlgItem(dialog, NAME_EDIT), nullptr);
            SetDlgItemTextA(dialog, NAME_EDIT, "preset");
            return TRUE;
        }
        if (message == WM_COMMAND) {
            char buffer[16];
            GetDlgItemTextA(dialog, NAME_EDIT, buffer, 16);
            EndDialog(dialog, std::strcmp(buffer, "typed") == 0 ? 10 : 20);
            return TRUE;
        }
        return FALSE;
    };
    platform::QueueDialogAnswer("typed", IDOK);
    EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(NAME_DIALOG), window, +proc, 99), 10);
}

namespace {

OPENFILENAMEA GameRequest(HWND owner, char* file, DWORD size) {
    OPENFILENAMEA request;
    std::memset(&request, 0, sizeof(request));
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

TEST(OpenFile, ScriptedAnswerBecomesAnAbsolutePath) {
    HWND window = CreateTestWindow();
    InitCommonControls();
    char file[260] = {};
    OPENFILENAMEA request = GameRequest(window, file, 260);
    platform::QueueOpenFileAnswer(std::string("/pictures/photo.jpg"));
    ASSERT_TRUE(GetOpenFileNameA(&request));
    EXPECT_STREQ(file, "/pictures/photo.jpg");
    EXPECT_EQ(request.nFileOffset, 10);
    EXPECT_EQ(request.nFileExtension, 16);
    platform::QueueOpenFileAnswer(std::string("relative/name"));
    ASSERT_TRUE(GetOpenFileNameA(&request));
    EXPECT_EQ(file[0], '/');
    EXPECT_NE(std::strstr(file, "/relative/name.bmp"), nullptr); // the default extension is added
    EXPECT_TRUE(IsWindowEnabled(window));
}

TEST(OpenFile, CancelAndNoAnswerReturnZeroWithoutAnError) {
    HWND window = CreateTestWindow();
    char file[260] = {};
    OPENFILENAMEA request = GameRequest(window, file, 260);
    platform::QueueOpenFileAnswer(std::nullopt);
    EXPECT_FALSE(GetOpenFileNameA(&request));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_FALSE(GetOpenFileNameA(&request));
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

TEST(OpenFile, FiltersPairUpAndAnIndexBeyondTheListChoosesTheFirst) {
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
}

TEST(OpenFile, PatternsMatchWithoutRegardToCase) {
    std::vector<std::string> patterns = {"*.BMP", "*.JPG"};
    EXPECT_TRUE(platform::MatchesFileFilter("photo.jpg", patterns));
    EXPECT_TRUE(platform::MatchesFileFilter("/home/user/Photo.Jpg", patterns));
    EXPECT_TRUE(platform::MatchesFileFilter("picture.BMP", patterns));
    EXPECT_FALSE(platform::MatchesFileFilter("photo.png", patterns));
    EXPECT_FALSE(platform::MatchesFileFilter("photo.jpg.txt", patterns));
    EXPECT_TRUE(platform::MatchesFileFilter("anything", {"*.*"}));
}

namespace {

int& ClicksInsideDialog() {
    static int count;
    return count;
}

bool& InsideDialog() {
    static bool inside;
    return inside;
}

LRESULT CALLBACK ClickOpensDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) {
        if (InsideDialog()) {
            ++ClicksInsideDialog();
            return 0;
        }
        InsideDialog() = true;
        platform::QueueDialogAnswer("", IDOK);
        DialogBoxParamA(TestInstance(), MAKEINTRESOURCE(ABOUT_DIALOG), window, AboutProc, 0);
        InsideDialog() = false;
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
    EXPECT_EQ(ClicksInsideDialog(), 0);
    bool userMessageSeen = false;
    for (const auto& entry : Log()) {
        userMessageSeen |= entry.message == WM_USER;
    }
    EXPECT_TRUE(userMessageSeen);
}
