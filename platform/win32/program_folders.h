// Where a program finds the data it ships and where it keeps what it writes. The data folder is found
// from the program's own file, so that an installed tree can be moved: the folder beside the program
// when it holds Grafik/ (the build's run folder), otherwise <prefix>/share/<name> for a program in
// <prefix>/bin. The working directory becomes the per-user folder $XDG_DATA_HOME/<name> (by default
// ~/.local/share/<name>), so that what the player keeps survives a new build or install. Every per-user
// base folder (data here, settings in the registry store) follows one rule, and every folder made for
// the player's files is open to the player only (0700).
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

// A per-user base folder: $<variable> when it is an absolute path, else `belowHome` in the home folder,
// which is $HOME when that is an absolute path and otherwise the user's entry in the password database;
// empty when there is none. Relative paths are ignored, as desktops do.
std::string BaseFolder(const char* variable, const char* belowHome);

// BaseFolder("XDG_DATA_HOME", ".local/share") / <userName>.
std::string UserDataFolder(const std::string& userName);

// Creates `path` and whichever of its parents are missing, each with mode 0700; folders that exist keep
// theirs. False (with errno) when some part cannot be made or is not a folder.
bool CreatePrivateFolders(const std::string& path);

// Finds the data folder of the running program and makes it the data folder of file lookups, creates
// the user folder (and its parents) where it is missing, moves the earlier versions' files over and makes
// it the working directory. A file that is there but cannot be moved is named in one line on standard
// error; one the user folder already has stays where it is, unnamed. False with a reason when the user
// folder cannot be made or entered.
bool EnterProgramFolders(const ProgramFolders& folders, std::string* error);

} // namespace platform
