// The settings store: one registry key below HKEY_LOCAL_MACHINE holding the game's settings as binary
// values ("dsx12" the background picture path, "dsx13" play mode and difficulty).
#pragma once

#include "win32/windows_base.h"

constexpr const char* SETTINGS_KEY_PATH = "Software\\TolvexGroup\\Quarvel";
constexpr const char* SETTING_BACKGROUND = "dsx12";
constexpr const char* SETTING_MODES = "dsx13";
constexpr int BACKGROUND_PATH_SIZE = 261;
constexpr const char* DEFAULT_BACKGROUND = "Grafik\\bk.jpg";
constexpr const char* FALLBACK_BACKGROUND = "Grafik\\Ovetta.jpg";

class RegistryManager {
public:
    enum CreateResult { CREATE_FAILED = -1, CREATE_OPENED = 0, CREATE_CREATED = 1 };

    RegistryManager();
    // Leaves the key open: it is meant to live as long as the program.
    virtual ~RegistryManager();

    void SetKeyPath(const char* path);
    // Creates or opens the key; CREATE_CREATED, CREATE_OPENED or CREATE_FAILED.
    int CreateKey();
    bool SetValue(const char* name, unsigned long size, void* data);
    // Reads at most `size` bytes; a shorter value fills only its own length.
    bool GetValue(const char* name, unsigned long size, void* data);

private:
    char keyPath[80] = {};
    HKEY hKey = nullptr;
};

// The one settings store, created at start-up and never deleted.
extern RegistryManager* Registry;

namespace zonkel {

// Writes PlayMode and Difficulty as the 8-byte "dsx13" value.
void StoreModeSettings();
// Reads "dsx13" into PlayMode and Difficulty; a missing or unreadable value leaves them as they are.
void LoadModeSettings();
// Reads "dsx12" into `path` (BACKGROUND_PATH_SIZE bytes). Only a stored path that ends within the value
// replaces what `path` holds, so it always ends up NUL-terminated.
void LoadBackgroundSetting(char* path);

} // namespace zonkel
