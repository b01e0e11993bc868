// The headless script: reading the command file and carrying its commands out against the program's
// main window while the program runs.
#include "win32/headless_internal.h"
#include "win32/window_system.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return std::string();
    }
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Splits off the first word; `rest` receives what follows the single separating blank.
std::string FirstWord(const std::string& text, std::string* rest) {
    size_t end = text.find_first_of(" \t");
    if (end == std::string::npos) {
        rest->clear();
        return text;
    }
    *rest = text.substr(end + 1);
    return text.substr(0, end);
}

bool ParseInt(const std::string& word, long long min, long long max, long long* value) {
    const char* begin = word.data();
    const char* end = word.data() + word.size();
    auto result = std::from_chars(begin, end, *value);
    return !word.empty() && result.ec == std::errc() && result.ptr == end && *value >= min && *value <= max;
}

// Reads exactly `count` whole numbers in [min, max] from the words of `text`.
bool ParseNumbers(const std::string& text, int count, long long min, long long max, long long* values) {
    std::istringstream words(text);
    std::string word;
    int read = 0;
    while (words >> word) {
        if (read == count || !ParseInt(word, min, max, &values[read])) {
            return false;
        }
        ++read;
    }
    return read == count;
}

bool ParseButton(const std::string& word, UINT* id) {
    if (word == "ok") {
        *id = IDOK;
        return true;
    }
    if (word == "cancel") {
        *id = IDCANCEL;
        return true;
    }
    long long value = 0;
    if (ParseInt(word, 0, 65535, &value)) {
        *id = static_cast<UINT>(value);
        return true;
    }
    return false;
}

struct KeyName {
    const char* name;
    UINT virtualKey;
};

constexpr KeyName KEY_NAMES[] = {
    {"left", VK_LEFT},     {"right", VK_RIGHT},  {"up", VK_UP},
    {"down", VK_DOWN},     {"pageup", VK_PRIOR}, {"pagedown", VK_NEXT},
    {"escape", VK_ESCAPE}, {"enter", VK_RETURN}, {"space", VK_SPACE},
};

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

constexpr long long COORDINATE_MAX = 65535;
constexpr long long FRAMES_MAX = 100000000;

std::string ParseLine(const std::string& line, ScriptCommand* command) {
    std::string rest;
    std::string word = FirstWord(line, &rest);
    long long numbers[2] = {};
    using Kind = ScriptCommand::Kind;
    if (word == "click" || word == "rclick" || word == "move") {
        command->kind = word == "click" ? Kind::Click : word == "rclick" ? Kind::RightClick : Kind::Move;
        if (!ParseNumbers(rest, 2, 0, COORDINATE_MAX, numbers)) {
            return word + " needs a client position: " + word + " X Y";
        }
        command->x = static_cast<int>(numbers[0]);
        command->y = static_cast<int>(numbers[1]);
    } else if (word == "resize") {
        command->kind = Kind::Resize;
        if (!ParseNumbers(rest, 2, 0, COORDINATE_MAX, numbers)) {
            return "resize needs a client size: resize WIDTH HEIGHT";
        }
        command->x = static_cast<int>(numbers[0]);
        command->y = static_cast<int>(numbers[1]);
    } else if (word == "menu") {
        command->kind = Kind::Menu;
        if (!ParseNumbers(rest, 1, 1, 65535, numbers)) {
            return "menu needs a command id from 1 to 65535: menu ID";
        }
        command->id = static_cast<UINT>(numbers[0]);
    } else if (word == "key") {
        command->kind = Kind::Key;
        command->id = VirtualKeyFromName(Trim(rest));
        if (command->id == 0) {
            return "key needs a key: a letter or digit, left, right, up, down, pageup, pagedown, escape, "
                   "enter or space";
        }
    } else if (word == "wait") {
        command->kind = Kind::Wait;
        if (!ParseNumbers(rest, 1, 0, FRAMES_MAX, numbers)) {
            return "wait needs a number of frames: wait N";
        }
        command->frames = static_cast<int>(numbers[0]);
    } else if (word == "dialog") {
        command->kind = Kind::Dialog;
        std::string text;
        std::string button = FirstWord(rest, &text);
        if (!ParseButton(button, &command->id)) {
            return "dialog needs a button (ok, cancel or a control id), then the text: dialog ok Name";
        }
        command->text = text;
    } else if (word == "file") {
        command->kind = Kind::File;
        if (!Trim(rest).empty()) {
            command->path = rest;
        }
    } else if (word == "close") {
        command->kind = Kind::Close;
        if (!Trim(rest).empty()) {
            return "close takes nothing after it";
        }
    } else {
        return "unknown command '" + word + "'";
    }
    return std::string();
}

struct ScriptRunner {
    std::vector<ScriptCommand> commands;
    size_t next = 0;
    uint64_t waitUntilFrame = 0;
    bool active = false;
    bool closedAtEnd = false;
};

ScriptRunner& Runner() {
    static ScriptRunner runner;
    return runner;
}

void Carry(const ScriptCommand& command, bool insideDialog) {
    using Kind = ScriptCommand::Kind;
    HWND window = MainWindow();
    switch (command.kind) {
    case Kind::Click:
        HeadlessClick(window, command.x, command.y);
        break;
    case Kind::RightClick:
        HeadlessRightClick(window, command.x, command.y);
        break;
    case Kind::Move:
        HeadlessMouseMove(window, command.x, command.y);
        break;
    case Kind::Menu:
        if (!HeadlessMenuCommand(window, command.id)) {
            std::fprintf(stderr, "headless script line %d: the menu has no command %u\n", command.line,
                         command.id);
        }
        break;
    case Kind::Key:
        HeadlessKey(window, command.id);
        break;
    case Kind::Dialog:
        QueueDialogAnswer(command.text, static_cast<int>(command.id));
        break;
    case Kind::File:
        QueueOpenFileAnswer(command.path);
        break;
    case Kind::Wait:
        if (!insideDialog) {
            Runner().waitUntilFrame = HeadlessFrameCount() + static_cast<uint64_t>(command.frames);
        }
        break;
    case Kind::Resize:
        HeadlessResizeClient(window, command.x, command.y);
        break;
    case Kind::Close:
        HeadlessClose(window);
        break;
    }
}

} // namespace

UINT VirtualKeyFromName(const std::string& name) {
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
        return static_cast<UINT>(std::toupper(static_cast<unsigned char>(name[0])));
    }
    std::string lower = Lower(name);
    for (const KeyName& key : KEY_NAMES) {
        if (lower == key.name) {
            return key.virtualKey;
        }
    }
    return 0;
}

bool ParseScript(const std::string& text, std::vector<ScriptCommand>* commands, std::string* error) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    std::vector<ScriptCommand> result;
    while (std::getline(lines, line)) {
        ++number;
        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') {
            continue;
        }
        ScriptCommand command;
        command.line = number;
        std::string reason = ParseLine(trimmed, &command);
        if (!reason.empty()) {
            if (error) {
                *error = "line " + std::to_string(number) + ": " + reason;
            }
            return false;
        }
        result.push_back(std::move(command));
    }
    if (commands) {
        *commands = std::move(result);
    }
    return true;
}

bool ReadScriptFile(const std::string& path, std::vector<ScriptCommand>* commands, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) {
            *error = "cannot read " + path;
        }
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    return ParseScript(content.str(), commands, error);
}

void RunHeadlessScript(std::vector<ScriptCommand> commands) {
    ScriptRunner& runner = Runner();
    runner = ScriptRunner();
    runner.commands = std::move(commands);
    runner.active = true;
}

void StepHeadlessScript(bool insideDialog) {
    ScriptRunner& runner = Runner();
    if (!runner.active || !MainWindow()) {
        return;
    }
    while (runner.next < runner.commands.size()) {
        if (!insideDialog && HeadlessFrameCount() < runner.waitUntilFrame) {
            return;
        }
        // A copy: carrying a command out may reach the program, which may look at the script again.
        ScriptCommand command = runner.commands[runner.next++];
        Carry(command, insideDialog);
        bool answered =
            command.kind == ScriptCommand::Kind::Dialog || command.kind == ScriptCommand::Kind::File;
        if (insideDialog && answered) {
            return;
        }
    }
    // The closing waits until the program has taken every message queued before it: a dialog opened by
    // one of them would drop the close with the rest of the queue, since the main window is disabled
    // then. With the queue empty, the close is the very message the program takes next.
    HWND window = MainWindow();
    if (!insideDialog && !runner.closedAtEnd && HeadlessFrameCount() >= runner.waitUntilFrame &&
        !MessagesWaiting() && IsWindowEnabled(window)) {
        runner.closedAtEnd = true;
        HeadlessClose(window);
    }
}

} // namespace platform
