// Running the real zonkel program from tests: a working folder holding copies of the run folder's
// files, a child process with its own environment, and reading the pictures it writes and loads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace game_testing {

// Copies the run folder's data files (not the program, not highscore files) into `folder`.
void CopyRunFolder(const std::filesystem::path& folder);

// Environment for a sanitizer build of the program: the engine's own frame-rate font and the desktop
// libraries' caches live until the process ends, which the leak checker would report at exit.
std::vector<std::pair<std::string, std::string>>
ProgramEnvironment(const std::filesystem::path& workingFolder,
                   std::vector<std::pair<std::string, std::string>> environment);

struct ProgramResult {
    int exitCode = -1; // the exit status, or 128 + signal number
    std::string errorOutput;
};

// Runs `program` with `arguments` in `workingFolder`, with `environment` added to this process's.
ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& workingFolder,
                         const std::vector<std::pair<std::string, std::string>>& environment);

// Starts the program without waiting; its standard error goes to `errorFile`. Returns the process id.
int StartProgram(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
                 const std::vector<std::pair<std::string, std::string>>& environment,
                 const std::filesystem::path& errorFile);
// Waits for a started program; its exit status, or 128 + signal number.
int WaitForProgram(int processId);

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // A8R8G8B8 (alpha 255 for PNG), top row first

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

bool ReadPng(const std::filesystem::path& path, Picture* picture);
// DDS files of A8R8G8B8 pixels, as the game's data files are written.
bool ReadDds(const std::filesystem::path& path, Picture* picture);

// Largest difference of the red, green and blue channels.
int ColourDistance(uint32_t a, uint32_t b);

} // namespace game_testing
