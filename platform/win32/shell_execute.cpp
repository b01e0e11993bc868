// ShellExecuteA "open": hands the file's absolute path to xdg-open without waiting for it; every call
// is recorded. Headless runs only record.
#include "win32/file_access.h"
#include "win32/shellapi.h"
#include "win32/window_system.h"

#include <cstring>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr intptr_t SHELL_OK = 42; // any value above 32 means success
constexpr intptr_t SE_ERR_NOASSOC = 31;

std::vector<std::string>& Trace() {
    static std::vector<std::string> trace;
    return trace;
}

// Starts the program detached: the intermediate child exits at once, so no zombie is left behind and
// the caller never waits for the opened program.
bool LaunchDetached(const std::string& program, const std::string& argument) {
    pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        if (fork() == 0) {
            setsid();
            execlp(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

std::vector<std::string> ShellTrace() {
    return Trace();
}

void ClearShellTrace() {
    Trace().clear();
}

} // namespace platform

HINSTANCE ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR, LPCSTR directory, INT) {
    if (operation && std::strcmp(operation, "open") != 0) {
        return reinterpret_cast<HINSTANCE>(platform::SE_ERR_NOASSOC);
    }
    if (!file || !*file) {
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(ERROR_FILE_NOT_FOUND));
    }
    std::filesystem::path path = platform::ToHostPath(file);
    if (path.is_relative() && directory && *directory) {
        path = std::filesystem::path(platform::ToHostPath(directory)) / path;
    }
    std::error_code error;
    path = std::filesystem::absolute(path, error).lexically_normal();
    platform::Trace().push_back(path.string());
    if (!std::filesystem::exists(path, error)) {
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(ERROR_FILE_NOT_FOUND));
    }
    if (platform::Backend().OpensDesktopFiles() && !platform::LaunchDetached("xdg-open", path.string())) {
        return reinterpret_cast<HINSTANCE>(platform::SE_ERR_NOASSOC);
    }
    return reinterpret_cast<HINSTANCE>(platform::SHELL_OK);
}
