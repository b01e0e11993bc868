// Running a shell command from a test: its exit status and what it wrote to standard output.
#pragma once

#include <string>

namespace testing_support {

struct CommandRun {
    int status = -1; // as waitpid gives it; -1 when the command could not be started
    std::string output;
};

// Runs `command` through the shell and waits for it; append " 2>&1" to the command to take its errors too.
CommandRun RunCommand(const std::string& command);

} // namespace testing_support
