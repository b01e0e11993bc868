// Fuzzes the registry store's value files: whatever a value file holds, a query reports an error or
// copies at most the buffer's size, and never crashes.
#include "fuzz_input_file.h"
#include "win32/winreg.h"

#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path config = [] {
        std::filesystem::path folder =
            std::filesystem::path(fuzzing::WriteInputFile(nullptr, 0)).parent_path() / "config";
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        return folder;
    }();
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Fuzz", 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
        std::abort();
    }
    // Store a value normally, then overwrite its file with the fuzzer's bytes.
    BYTE seed[8] = {1, 0, 0, 0, 2, 0, 0, 0};
    RegSetValueExA(key, "dsx13", 0, REG_BINARY, seed, sizeof seed);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(config)) {
        if (entry.is_regular_file() && entry.path().filename().string().find("dsx13") != std::string::npos) {
            FILE* file = std::fopen(entry.path().c_str(), "wb");
            if (file) {
                std::fwrite(data, 1, size, file);
                std::fclose(file);
            }
        }
    }
    BYTE buffer[261];
    DWORD type = 0;
    DWORD length = sizeof buffer;
    LSTATUS status = RegQueryValueExA(key, "dsx13", nullptr, &type, buffer, &length);
    if (status == ERROR_SUCCESS && length > sizeof buffer) {
        std::abort();
    }
    RegCloseKey(key);
    return 0;
}
