// Where a program finds the data it ships and where it keeps what it writes. The data folder is found
// from the program's own file, so that an installed tree can be moved: the folder beside the program
// when it holds Grafik/ (the build's run folder), otherwise <prefix>/share/<name> for a program in
// <prefix>/bin. The working directory becomes the per-user folder $XDG_DATA_HOME/<name> (by default
// ~/.local/share/<name>), so that what the player keeps survives a new build or install.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

struct ProgramFolders {
    std::string dataName; // <prefix>/share/<dataName> when installed
    std::string userName; // $XDG_DATA_HOME/<userName>
    // Files that earlier versions wrote into the run folder: moved into the user folder once, never
    // over a file there. A copy across file systems reads at most `movedFileLimit` bytes.
    std::vector<std::string> movedFiles;
    size_t movedFileLimit = 1 << 20;
};

// The data folder for the program file `program`; empty when neither place holds it.
std::string FindDataFolder(const std::string& program, const std::string& dataName);

// $XDG_DATA_HOME/<userName> when XDG_DATA_HOME is an absolute path, else $HOME/.local/share/<userName>;
// empty when neither is set.
std::string UserDataFolder(const std::string& userName);

// Finds the data folder of the running program and makes it the data folder of file lookups, creates
// the user folder (mode 0700) where it is missing, moves the earlier versions' files over and makes it
// the working directory. False with a reason when the user folder cannot be made or entered.
bool EnterProgramFolders(const ProgramFolders& folders, std::string* error);

} // namespace platform
