// The thread's message queue: posted messages in order, the quit request (handed out once the queue is
// empty, as WM_QUIT with the exit code), dispatching to window and dialog procedures.
#include "win32/mmsystem.h"
#include "win32/window_system.h"

#include <deque>

namespace platform {

namespace {

// Input is checked again when it is taken: a window disabled meanwhile (its modal dialog opened after
// the input was queued) does not get it, as on a desktop where input goes to enabled windows only.
struct QueuedMessage {
    MSG msg;
    bool input = false;
};

struct MessageQueue {
    std::deque<QueuedMessage> messages;
    std::optional<int> quitCode;
};

MessageQueue& Queue() {
    static MessageQueue queue;
    return queue;
}

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = timeGetTime();
    return msg;
}

// Input goes to enabled windows only. (Input for a window being destroyed is discarded with the rest of
// its messages when it is gone.)
bool TakesInput(HWND window) {
    WindowRecord* record = FindWindowRecord(window);
    return record && record->enabled;
}

bool InputForDisabledWindow(const QueuedMessage& entry) {
    return entry.input && !TakesInput(entry.msg.hwnd);
}

} // namespace

void PostInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!TakesInput(window)) {
        return;
    }
    Queue().messages.push_back({MakeMessage(window, message, wParam, lParam), true});
}

void PostKeyMessage(HWND window, UINT virtualKey, bool down, bool repeat) {
    constexpr uint32_t REPEAT_COUNT_ONE = 0x00000001u;
    constexpr uint32_t PREVIOUSLY_DOWN = 0x40000000u;
    constexpr uint32_t RELEASED = 0x80000000u;
    uint32_t state = down ? REPEAT_COUNT_ONE | (repeat ? PREVIOUSLY_DOWN : 0u)
                          : REPEAT_COUNT_ONE | PREVIOUSLY_DOWN | RELEASED;
    PostInputMessage(window, down ? WM_KEYDOWN : WM_KEYUP, virtualKey, static_cast<LPARAM>(state));
}

void PostMouseMoveMessage(HWND window, LPARAM position) {
    if (!TakesInput(window)) {
        return;
    }
    auto& messages = Queue().messages;
    if (!messages.empty() && messages.back().msg.hwnd == window &&
        messages.back().msg.message == WM_MOUSEMOVE) {
        messages.back().msg.lParam = position;
        return;
    }
    messages.push_back({MakeMessage(window, WM_MOUSEMOVE, 0, position), true});
}

void DiscardMessagesFor(HWND window) {
    auto& messages = Queue().messages;
    std::erase_if(messages, [window](const QueuedMessage& entry) { return entry.msg.hwnd == window; });
}

void DispatchQueuedMessages() {
    auto& messages = Queue().messages;
    while (!messages.empty()) {
        QueuedMessage entry = messages.front();
        messages.pop_front();
        if (!InputForDisabledWindow(entry)) {
            DispatchMessageA(&entry.msg);
        }
    }
}

bool MessagesWaiting() {
    return !Queue().messages.empty();
}

bool QuitRequested() {
    return Queue().quitCode.has_value();
}

} // namespace platform

BOOL PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeOption) {
    // Programs here take every message in turn; a window or range filter is not supported.
    if (!message || window || filterMin != 0 || filterMax != 0) {
        return FALSE;
    }
    platform::Backend().PumpEvents();
    auto& queue = platform::Queue();
    std::erase_if(queue.messages, platform::InputForDisabledWindow);
    if (!queue.messages.empty()) {
        *message = queue.messages.front().msg;
        if (removeOption & PM_REMOVE) {
            queue.messages.pop_front();
        }
        return TRUE;
    }
    if (queue.quitCode) {
        *message = platform::MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(*queue.quitCode), 0);
        if (removeOption & PM_REMOVE) {
            queue.quitCode.reset();
        }
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG*) {
    // Keyboard input reaches the program through menus and dialogs only; there are no WM_CHAR messages
    // to make.
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* message) {
    if (!message || !message->hwnd) {
        return 0;
    }
    return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window && !platform::FindWindowRecord(window)) {
        return FALSE;
    }
    if (!window && message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(wParam));
        return TRUE;
    }
    platform::Queue().messages.push_back({platform::MakeMessage(window, message, wParam, lParam), false});
    return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    platform::WindowRecord* record = platform::FindWindowRecord(window);
    if (!record) {
        return 0;
    }
    if (record->kind == platform::WindowKind::Dialog) {
        platform::DialogProcedure procedure = record->dialogProc;
        INT_PTR handled = procedure ? procedure(window, message, wParam, lParam) : FALSE;
        // A dialog procedure that returns FALSE leaves the message to default dialog processing, which
        // has nothing to add for the messages dialogs receive here.
        return handled;
    }
    if (record->proc) {
        return record->proc(window, message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    platform::Queue().quitCode = exitCode;
}
