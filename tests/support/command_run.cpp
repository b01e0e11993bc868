// Shell commands run from tests.
#include "support/command_run.h"

#include <cstdio>

namespace testing_support {

CommandRun RunCommand(const std::string& command) {
    CommandRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[256];
    while (std::fgets(buffer, sizeof(buffer), pipe)) {
        run.output += buffer;
    }
    run.status = pclose(pipe);
    return run;
}

} // namespace testing_support
