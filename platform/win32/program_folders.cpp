// Finding the shipped data from /proc/self/exe, the per-user folder, and moving the files that earlier
// versions kept in the run folder.
#include "win32/program_folders.h"

#include "win32/file_access.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

std::string UserDataFolder(const std::string& userName) {
    // Relative paths in the XDG variables are ignored, as desktops do.
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && dataHome[0] == '/') {
        return (fs::path(dataHome) / userName).string();
    }
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        return (fs::path(home) / ".local" / "share" / userName).string();
    }
    return {};
}

bool EnterProgramFolders(const ProgramFolders& folders, std::string* error) {
    std::error_code noPath;
    const fs::path program = fs::read_symlink("/proc/self/exe", noPath);
    const std::string data = FindDataFolder(noPath ? std::string() : program.string(), folders.dataName);
    SetDataFolder(data);

    const std::string user = UserDataFolder(folders.userName);
    if (user.empty()) {
        *error = "neither XDG_DATA_HOME nor HOME names a folder for the player's files";
        return false;
    }
    std::error_code made;
    fs::create_directories(fs::path(user).parent_path(), made);
    if (::mkdir(user.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = "cannot create " + user + ": " + std::strerror(errno);
        return false;
    }
    if (::chdir(user.c_str()) != 0) {
        *error = "cannot enter " + user + ": " + std::strerror(errno);
        return false;
    }
    if (!data.empty()) {
        for (const std::string& name : folders.movedFiles) {
            MoveFileWithoutReplacing(data + "/" + name, name, folders.movedFileLimit);
        }
    }
    return true;
}

} // namespace platform
