// ShellExecuteA "open": hands the file's absolute path to xdg-open without waiting for it; every call
// is recorded. Headless runs only record. When the opener cannot be started the call fails with the
// Windows error convention and one line on standard error says why.
#include "win32/file_access.h"
#include "win32/shellapi.h"
#include "win32/window_system.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr intptr_t SHELL_OK = 42; // any value above 32 means success
constexpr intptr_t SE_ERR_OOM = 8;
constexpr intptr_t SE_ERR_NOASSOC = 31;

std::vector<std::string>& Trace() {
    static std::vector<std::string> trace;
    return trace;
}

// Starts the program detached: the intermediate child exits at once, so no zombie is left behind and
// the caller never waits for the opened program. A close-on-exec pipe brings back why the program could
// not be started (the errno of a failed fork or exec); it closes empty once the program runs. Returns 0
// when the program started.
int LaunchDetached(const std::string& program, const std::string& argument) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return errno;
    }
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(report[0]);
        close(report[1]);
        return error;
    }
    if (child == 0) {
        close(report[0]);
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            setsid();
            execlp(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
        }
        if (grandchild <= 0) {
            const int error = errno;
            [[maybe_unused]] const ssize_t sent = write(report[1], &error, sizeof error);
        }
        _exit(grandchild == 0 ? 127 : 0);
    }
    close(report[1]);
    int error = 0;
    ssize_t got = 0;
    do {
        got = read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
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
    // "open" is the only verb; no verb means the default one, which is "open".
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
        const bool folderThere = std::filesystem::is_directory(path.parent_path(), error);
        return reinterpret_cast<HINSTANCE>(
            static_cast<intptr_t>(folderThere ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND));
    }
    if (platform::Backend().OpensDesktopFiles()) {
        const char* opener = "xdg-open";
        if (const int error = platform::LaunchDetached(opener, path.string())) {
            std::fprintf(stderr, "ShellExecuteA: cannot start %s for %s: %s\n", opener, path.c_str(),
                         std::strerror(error));
            // A program that could not be started leaves the file without a program to open it.
            const bool noResources = error == EAGAIN || error == ENOMEM || error == EMFILE || error == ENFILE;
            return reinterpret_cast<HINSTANCE>(noResources ? platform::SE_ERR_OOM : platform::SE_ERR_NOASSOC);
        }
    }
    return reinterpret_cast<HINSTANCE>(platform::SHELL_OK);
}
