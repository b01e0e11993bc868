// Fuzzes the headless script reader: any text is either read into commands or refused naming the line.
#include "win32/headless.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<platform::ScriptCommand> commands;
    std::string error;
    if (!platform::ParseScript(text, &commands, &error) && error.find("line") == std::string::npos) {
        std::abort();
    }
    for (const auto& command : commands) {
        if (command.x < 0 || command.y < 0 || command.frames < 0) {
            std::abort();
        }
    }
    return 0;
}
