// Finding the shipped data from /proc/self/exe, the per-user folder, and moving the files that earlier
// versions kept in the run folder.
#include "win32/program_folders.h"

#include "win32/file_access.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {

namespace {

constexpr const char* RUN_FOLDER_MARK = "Grafik";

bool IsFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

} // namespace

std::string FindDataFolder(const std::string& program, const std::string& dataName) {
    if (program.empty()) {
        return {};
    }
    const fs::path beside = fs::path(program).parent_path();
    if (IsFolder(beside / RUN_FOLDER_MARK)) {
        return beside.string();
    }
    const fs::path installed = (beside.parent_path() / "share" / dataName).lexically_normal();
    if (IsFolder(installed)) {
        return installed.string();
    }
    return {};
}

std::string BaseFolder(const char* variable, const char* belowHome) {
    if (const char* value = std::getenv(variable); value && value[0] == '/') {
        return value;
    }
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') {
        return {};
    }
    return (fs::path(home) / belowHome).string();
}

std::string UserDataFolder(const std::string& userName) {
    const std::string base = BaseFolder("XDG_DATA_HOME", ".local/share");
    return base.empty() ? base : (fs::path(base) / userName).string();
}

bool CreatePrivateFolders(const std::string& path) {
    std::string partial;
    for (const fs::path& part : fs::path(path)) {
        partial = (fs::path(partial) / part).string();
        if (::mkdir(partial.c_str(), 0700) != 0) {
            // Something that is not a folder in the way is reported as what it is.
            const int error = errno == EEXIST ? ENOTDIR : errno;
            if (!IsFolder(partial)) {
                errno = error;
                return false;
            }
        }
    }
    return true;
}

bool EnterProgramFolders(const ProgramFolders& folders, std::string* error) {
    std::error_code noPath;
    const fs::path program = fs::read_symlink("/proc/self/exe", noPath);
    const std::string data = FindDataFolder(noPath ? std::string() : program.string(), folders.dataName);
    SetDataFolder(data);

    const std::string user = UserDataFolder(folders.userName);
    if (user.empty()) {
        *error = "no folder for the player's files: neither XDG_DATA_HOME nor HOME nor the password "
                 "database names a home";
        return false;
    }
    if (!CreatePrivateFolders(user)) {
        *error = "cannot create " + user + ": " + std::strerror(errno);
        return false;
    }
    if (::chdir(user.c_str()) != 0) {
        *error = "cannot enter " + user + ": " + std::strerror(errno);
        return false;
    }
    if (!data.empty()) {
        for (const std::string& name : folders.movedFiles) {
            const std::string from = data + "/" + name;
            if (!MoveFileWithoutReplacing(from, name, folders.movedFileLimit) && errno != ENOENT &&
                errno != EEXIST) {
                // Left in the run folder, it would be lost with it.
                std::fprintf(stderr, "%s: cannot move %s into %s: %s\n", program_invocation_short_name,
                             from.c_str(), user.c_str(),
                             errno == EINVAL ? "not a regular file" : std::strerror(errno));
            }
        }
    }
    return true;
}

} // namespace platform
