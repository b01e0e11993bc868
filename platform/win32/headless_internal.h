// Shared between the headless backend and the script runner: the answers waiting for dialogs and the
// script step that the backend runs whenever the program looks for messages.
#pragma once

#include "win32/headless.h"

#include <optional>
#include <string>

namespace platform {

struct DialogAnswer {
    std::string text;
    int buttonId = 0;
};

std::optional<DialogAnswer> TakeDialogAnswer();
// Outer optional: whether an answer was waiting; inner: the path, none for a cancel.
std::optional<std::optional<std::string>> TakeOpenFileAnswer();

// Carries out script commands. Outside a dialog it stops at a wait that has not run out; inside a
// dialog (no frames are drawn there) waits are over at once and it stops after queuing an answer.
void StepHeadlessScript(bool insideDialog);

bool WriteFramePng(const std::string& path, const uint32_t* pixels, int width, int height);

} // namespace platform
