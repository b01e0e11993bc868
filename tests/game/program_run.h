// Running the real zonkel program from tests: a working folder holding copies of the run folder's data
// and an empty settings folder, child processes, the settings they leave and the pictures they write.
#pragma once

#include "support/test_files.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace game_testing {

using Environment = std::vector<std::pair<std::string, std::string>>;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // A8R8G8B8 (alpha 255 for PNG), top row first

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Picture ReadPng(const std::filesystem::path& path);
// DDS files of A8R8G8B8 pixels, as the game's data files are written; empty when unreadable.
Picture ReadDds(const std::filesystem::path& path);
// Largest difference of the red, green and blue channels.
int ColourDistance(uint32_t a, uint32_t b);

struct GameRun {
    int exitCode = -1; // the exit status, or 128 + signal number
    std::string errorOutput;
    std::vector<std::filesystem::path> frames; // PNG files of the presented frames, in order
};

// The run folder's data files (not the program, not highscore files) and a settings folder.
class GameFolder {
public:
    GameFolder();
    std::filesystem::path operator/(const std::string& name) const { return work / name; }

    // Runs the program headless with `script` and waits for it.
    GameRun RunHeadless(const std::string& script, const Environment& extra = {}) const;
    // Starts the program with `environment` added; returns the process id. Standard error goes to
    // `errorFile`.
    int Start(const Environment& environment, const std::filesystem::path& errorFile) const;
    // A settings value the program stored.
    std::vector<uint8_t> Setting(const char* name) const;

private:
    testing_support::TemporaryFolder work;
    testing_support::TemporaryFolder config;
};

// Waits for a started program; its exit status, or 128 + signal number. After `seconds` it ends the
// program and returns -1.
int WaitForProgram(int processId, int seconds);

} // namespace game_testing
