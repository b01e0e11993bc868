// The headless backend: windows exist only as records, frames are counted (and written as PNG files
// when a folder is named), dialogs are answered from the queued answers, input comes from tests and
// the script.
#include "win32/headless_internal.h"
#include "win32/mmsystem.h"
#include "win32/text_encoding.h"
#include "win32/window_system.h"

#include <cstdio>
#include <deque>
#include <filesystem>

namespace platform {

namespace {

// Frame sizes of a desktop window with a resizable border, a caption and, when present, a menu bar.
constexpr LONG BORDER = 8;
constexpr LONG CAPTION = 23;
constexpr LONG MENU_BAR = 20;

struct HeadlessState {
    std::deque<DialogAnswer> dialogAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
    uint64_t frameCount = 0;
    std::optional<DWORD> clockStep; // milliseconds per presented frame, when the frames drive the clock
};

HeadlessState& State() {
    static HeadlessState state;
    return state;
}

void ReportUnansweredDialog(const char* what) {
    std::fprintf(stderr, "headless: no answer is left for the %s; it is cancelled\n", what);
}

class HeadlessBackend : public WindowBackend {
public:
    explicit HeadlessBackend(std::string folder) : framesFolder(std::move(folder)) {}

    RECT FrameInsets(const WindowRecord& window) override {
        LONG menu = window.menu ? MENU_BAR : 0;
        return {BORDER, BORDER + CAPTION + menu, BORDER, BORDER};
    }

    void CreateNativeWindow(WindowRecord&) override {}
    void DestroyNativeWindow(WindowRecord&) override {}
    void ShowNativeWindow(WindowRecord&, int) override {}
    void MoveNativeWindow(WindowRecord&) override {}
    void MenuCheckChanged(WindowRecord&, UINT, bool) override {}
    void ControlTextChanged(WindowRecord&) override {}

    void PumpEvents() override { StepHeadlessScript(false); }

    // Every frame is counted and written, whether or not its picture is new.
    void Present(WindowRecord& window, bool) override {
        uint64_t number = ++State().frameCount;
        if (State().clockStep) {
            AdvanceClockForTesting(*State().clockStep);
        }
        if (framesFolder.empty()) {
            return;
        }
        char name[32];
        std::snprintf(name, sizeof(name), "frame_%06llu.png", static_cast<unsigned long long>(number));
        std::string path = (std::filesystem::path(framesFolder) / name).string();
        const PresentedFrame& frame = window.lastFrame;
        if (!WriteFramePng(path, frame.pixels.data(), frame.width, frame.height) && !reportedWriteFailure) {
            std::fprintf(stderr, "headless: cannot write frames to %s\n", path.c_str());
            reportedWriteFailure = true;
        }
    }

    // The dialog's record stays until its DialogBoxParamA call ends, whatever its procedure or the
    // script's commands do meanwhile.
    void RunModalDialog(WindowRecord& dialog) override {
        while (!dialog.dialogEnded && !QuitRequested()) {
            std::optional<DialogAnswer> answer = TakeDialogAnswer();
            if (!answer) {
                StepHeadlessScript(true);
                answer = TakeDialogAnswer();
                // The script's commands may have reached the program, which may have ended the dialog.
                if (dialog.dialogEnded) {
                    return;
                }
            }
            if (!answer) {
                ReportUnansweredDialog("dialog");
                SendMessageA(dialog.handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                if (!dialog.dialogEnded) {
                    // The dialog refuses to be cancelled; nobody is left to answer it.
                    EndDialog(dialog.handle, -1);
                }
                return;
            }
            Answer(dialog, *answer);
            DispatchQueuedMessages();
        }
    }

    // The message goes to standard error; the box takes the next dialog answer (whichever button it
    // names, as its only button is OK) and is closed with OK.
    int RunMessageBox(const MessageBoxRequest& request) override {
        static const char* const ICONS[] = {"", " (error)", " (question)", " (warning)", " (information)"};
        std::fprintf(stderr, "headless: message box%s \"%s\": %s\n", ICONS[static_cast<int>(request.icon)],
                     request.caption.c_str(), request.text.c_str());
        if (!TakeDialogAnswer()) {
            StepHeadlessScript(true);
            if (!TakeDialogAnswer()) {
                ReportUnansweredDialog("message box");
            }
        }
        return IDOK;
    }

    std::optional<std::string> RunOpenFileDialog(const OpenFileRequest&) override {
        auto answer = TakeOpenFileAnswer();
        if (!answer) {
            StepHeadlessScript(true);
            answer = TakeOpenFileAnswer();
        }
        if (!answer) {
            ReportUnansweredDialog("open-file dialog");
            return std::nullopt;
        }
        if (!*answer) {
            return std::nullopt;
        }
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(**answer, error);
        return error ? **answer : absolute.lexically_normal().string();
    }

    bool OpensDesktopFiles() override { return false; }

private:
    static void Answer(WindowRecord& dialog, const DialogAnswer& answer) {
        HWND handle = dialog.handle;
        HWND button = nullptr;
        bool typed = false;
        for (HWND control : dialog.controls) {
            WindowRecord* record = FindWindowRecord(control);
            if (!record) {
                continue;
            }
            if (!typed && record->controlKind == DialogControlKind::Edit) {
                record->title = FromDisplayText(answer.text); // script files are UTF-8
                typed = true;
            }
            if (record->controlId == answer.buttonId) {
                button = control;
            }
        }
        SendMessageA(handle, WM_COMMAND, MAKEWPARAM(answer.buttonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }

    std::string framesFolder;
    bool reportedWriteFailure = false;
};

} // namespace

std::unique_ptr<WindowBackend> MakeHeadlessBackend(const std::string& framesFolder) {
    return std::make_unique<HeadlessBackend>(framesFolder);
}

std::optional<DialogAnswer> TakeDialogAnswer() {
    auto& answers = State().dialogAnswers;
    if (answers.empty()) {
        return std::nullopt;
    }
    DialogAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::optional<std::string>> TakeOpenFileAnswer() {
    auto& answers = State().fileAnswers;
    if (answers.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer;
}

void UseHeadlessBackend(const std::string& framesFolder) {
    SetBackend(MakeHeadlessBackend(framesFolder));
}

void HeadlessClick(HWND window, int x, int y) {
    PostInputMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostInputMessage(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void HeadlessRightClick(HWND window, int x, int y) {
    PostInputMessage(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
    PostInputMessage(window, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
}

void HeadlessMouseMove(HWND window, int x, int y) {
    PostMouseMoveMessage(window, MAKELPARAM(x, y));
}

bool HeadlessMenuCommand(HWND window, UINT id) {
    if (!MenuHasCommand(GetMenu(window), id)) {
        return false;
    }
    PostInputMessage(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return true;
}

void HeadlessKey(HWND window, UINT virtualKey) {
    PostKeyMessage(window, virtualKey, true, false);
    PostKeyMessage(window, virtualKey, false, false);
}

void HeadlessClose(HWND window) {
    PostInputMessage(window, WM_CLOSE, 0, 0);
}

void HeadlessResizeClient(HWND window, int width, int height) {
    ResizeClientArea(window, width, height);
}

void QueueDialogAnswer(const std::string& text, int buttonId) {
    State().dialogAnswers.push_back({text, buttonId});
}

void QueueOpenFileAnswer(std::optional<std::string> path) {
    State().fileAnswers.push_back(std::move(path));
}

uint64_t HeadlessFrameCount() {
    return State().frameCount;
}

void StepClockWithFrames(DWORD milliseconds) {
    State().clockStep = milliseconds;
    SetClockForTesting(0);
}

} // namespace platform
