// The program's entry: chooses the window backend from the environment, installs real sound on the
// desktop, builds the command line and runs WinMain.
#include "win32/program_entry.h"

#include "win32/gtk_backend.h"
#include "win32/headless.h"
#include "win32/program_folders.h"
#include "win32/sdl_sound.h"
#include "win32/winuser.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace platform {

namespace {

const char* const HEADLESS_VARIABLE = "VELKORA_HEADLESS";
const char* const SCRIPT_VARIABLE = "VELKORA_SCRIPT";
const char* const FRAMES_VARIABLE = "VELKORA_FRAMES";
const char* const FRAME_TIME_VARIABLE = "VELKORA_FRAME_TIME";

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value && std::strcmp(value, "0") != 0;
}

std::string ProgramName(int argc, char** argv) {
    if (argc < 1 || !argv || !argv[0]) {
        return "program";
    }
    return std::filesystem::path(argv[0]).filename().string();
}

// The arguments after the program name, quoted where they hold blanks, as Windows hands them over.
std::string CommandLine(int argc, char** argv) {
    std::string line;
    if (!argv) {
        return line;
    }
    for (int i = 1; i < argc; ++i) {
        if (!line.empty()) {
            line += ' ';
        }
        std::string argument = argv[i];
        bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
        line += quote ? "\"" + argument + "\"" : argument;
    }
    return line;
}

bool StartHeadless(const std::string& program) {
    std::string frames;
    if (const char* folder = std::getenv(FRAMES_VARIABLE); folder && *folder) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error || !std::filesystem::is_directory(folder)) {
            std::fprintf(stderr, "%s: %s names a folder that cannot be created: %s\n", program.c_str(),
                         FRAMES_VARIABLE, folder);
            return false;
        }
        // Absolute, as the program may change its working directory before the first frame.
        frames = std::filesystem::absolute(folder, error).string();
    }
    std::vector<ScriptCommand> commands;
    if (const char* script = std::getenv(SCRIPT_VARIABLE); script && *script) {
        std::string error;
        if (!ReadScriptFile(script, &commands, &error)) {
            std::fprintf(stderr, "%s: %s %s: %s\n", program.c_str(), SCRIPT_VARIABLE, script, error.c_str());
            return false;
        }
    }
    std::optional<DWORD> frameTime;
    if (const char* text = std::getenv(FRAME_TIME_VARIABLE); text && *text) {
        const char* end = text + std::strlen(text);
        DWORD milliseconds = 0;
        const auto [stop, error] = std::from_chars(text, end, milliseconds);
        if (error != std::errc() || stop != end) {
            std::fprintf(stderr, "%s: %s must be a whole number of milliseconds: %s\n", program.c_str(),
                         FRAME_TIME_VARIABLE, text);
            return false;
        }
        frameTime = milliseconds;
    }
    UseHeadlessBackend(frames);
    if (frameTime) {
        StepClockWithFrames(*frameTime);
    }
    RunHeadlessScript(std::move(commands));
    return true;
}

bool StartDesktop(const std::string& program, int* argc, char*** argv) {
    std::string error;
    if (!UseGtkBackend(argc, argv, &error)) {
        std::fprintf(stderr, "%s: %s; to run without a display set %s=1\n", program.c_str(), error.c_str(),
                     HEADLESS_VARIABLE);
        return false;
    }
    std::string soundError;
    if (auto sound = CreateSdlSoundBackend(&soundError)) {
        SetSoundBackend(std::move(sound));
    } else {
        std::fprintf(stderr, "%s: no audio device (%s); sounds are silent\n", program.c_str(),
                     soundError.c_str());
    }
    return true;
}

} // namespace

int RunWinMain(int argc, char** argv, int (*winMain)(HINSTANCE, HINSTANCE, LPSTR, int),
               const ProgramFolders* folders) {
    std::string program = ProgramName(argc, argv);
    if (!winMain) {
        return 1;
    }
    const bool desktop = !IsSet(HEADLESS_VARIABLE) && (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"));
    if (IsSet(HEADLESS_VARIABLE)) {
        if (!StartHeadless(program)) {
            return 1;
        }
    } else if (desktop) {
        if (!StartDesktop(program, &argc, &argv)) {
            return 1;
        }
    } else {
        std::fprintf(
            stderr,
            "%s: no display (DISPLAY and WAYLAND_DISPLAY are not set); to run without a display set %s=1\n",
            program.c_str(), HEADLESS_VARIABLE);
        return 1;
    }
    // After the backend has read the script and the frames folder relative to where the program started.
    if (std::string error; folders && !EnterProgramFolders(*folders, &error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        // A program started from the desktop's menu has no terminal for standard error.
        if (desktop) {
            MessageBoxA(nullptr, error.c_str(), program.c_str(), MB_OK | MB_ICONERROR);
        }
        return 1;
    }
    static int instanceAnchor = 0;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(&instanceAnchor);
    std::string commandLine = CommandLine(argc, argv);
    return winMain(instance, nullptr, commandLine.data(), SW_SHOWNORMAL);
}

} // namespace platform
