// Running the real zonkel program from tests: a player's folder holding copies of the run folder's data,
// an empty settings folder, a copy of the program with no data or tables beside it, child processes,
// the settings they leave and the pictures they write.
#pragma once

#include "support/test_files.h"

#include "win32/window_surface.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace game_testing {

using Environment = std::vector<std::pair<std::string, std::string>>;

using testing_support::Picture;
using testing_support::ReadPng;

// DDS files of A8R8G8B8 pixels, as the game's data files are written; empty when unreadable.
Picture ReadDds(const std::filesystem::path& path);
// Largest difference of the red, green and blue channels.
int ColourDistance(uint32_t a, uint32_t b);

struct GameRun {
    int exitCode = -1; // the exit status, or 128 + signal number
    std::string errorOutput;
    std::vector<std::filesystem::path> frames; // PNG files of the presented frames, in order
};

// The player's folder ($XDG_DATA_HOME/zonkel), with copies of the run folder's data files (not the
// programs, not highscore files) unless `withData` is false, and a settings folder. The program starts
// in a folder of its own.
class GameFolder {
public:
    explicit GameFolder(bool withData = true);
    std::filesystem::path operator/(const std::string& name) const { return work / name; }

    // Runs the program headless with `script` and waits for it, at most `seconds` (then exit code -1);
    // its clock moves on by 20 ms a frame.
    // `program` replaces the copy of zonkel that finds no data beside it.
    GameRun RunHeadless(const std::string& script, const Environment& extra = {},
                        const std::filesystem::path& program = {}, int seconds = 240) const;
    // Starts the program with `environment` added; returns the process id. Standard error goes to
    // `errorFile`.
    int Start(const Environment& environment, const std::filesystem::path& errorFile,
              const std::filesystem::path& program = {}) const;
    // Runs the program's WinMain inside this process, headless, with `script`, in the player's folder,
    // with a clock that moves on by 20 ms a frame, and returns its result. `onFrame` sees every presented
    // frame while the game's state is still the one drawn; the captions of the dialogs and message boxes
    // opened go to `dialogs`, for open-file dialogs with their owner and filters ("Open File over the
    // game, Text: *.txt"). Once per process: the engine's singletons outlive the run.
    int RunInProcess(const std::string& script,
                     const std::function<void(const platform::PresentedFrame&)>& onFrame,
                     std::vector<std::string>* dialogs) const;
    // A settings value the program stored; one stored as if by an earlier run.
    std::vector<uint8_t> Setting(const char* name) const;
    void StoreSetting(const char* name, std::vector<uint8_t> bytes) const;
    // Puts a plain file where the settings folder belongs, so that the settings key cannot be created;
    // returns its path.
    std::filesystem::path BlockSettings() const;

private:
    testing_support::TemporaryFolder dataHome;
    testing_support::TemporaryFolder config;
    testing_support::TemporaryFolder programFolder;
    std::filesystem::path work;
};

// The clicks of a random play of the current board until no group is left: of the first play that
// ends with an empty board, or of the first that does not. The board and score stay as they are.
std::vector<std::pair<int, int>> RandomPlay(bool emptyAtEnd);
// "X Y": the client position of the cell's centre in a window of 800 x 600.
std::string ClickOn(std::pair<int, int> cell);
// A script that plays the first board of a first run (solve mode, medium) dealt at `dealTime` to its
// game over and gives `name` to the name entry; the game's score in *score. Leaves the game's state as
// a new program has it.
std::string GameOverScript(std::time_t dealTime, const std::string& name, uint32_t* score);

// Waits for a started program; its exit status, or 128 + signal number. After `seconds` it ends the
// program and returns -1.
int WaitForProgram(int processId, int seconds);

} // namespace game_testing
