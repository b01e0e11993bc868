// The settings store over the registry calls, and the reading and writing of the game's two settings.
#include "registry_manager.h"

#include "board.h"

#include "win32/winreg.h"

#include <cstdio>
#include <cstring>

RegistryManager* Registry = nullptr;

RegistryManager::RegistryManager() = default;

RegistryManager::~RegistryManager() = default;

void RegistryManager::SetKeyPath(const char* path) {
    std::snprintf(keyPath, sizeof(keyPath), "%s", path ? path : "");
}

int RegistryManager::CreateKey() {
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &hKey, &disposition) != ERROR_SUCCESS) {
        hKey = nullptr;
        return CREATE_FAILED;
    }
    return disposition == REG_CREATED_NEW_KEY ? CREATE_CREATED : CREATE_OPENED;
}

bool RegistryManager::SetValue(const char* name, unsigned long size, void* data) {
    if (!hKey) {
        return false;
    }
    return RegSetValueExA(hKey, name, 0, REG_BINARY, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool RegistryManager::GetValue(const char* name, unsigned long size, void* data) {
    if (!hKey) {
        return false;
    }
    DWORD type = 0;
    DWORD length = static_cast<DWORD>(size);
    return RegQueryValueExA(hKey, name, nullptr, &type, static_cast<BYTE*>(data), &length) == ERROR_SUCCESS;
}

namespace zonkel {

void StoreModeSettings() {
    if (!Registry) {
        return;
    }
    int32_t modes[2] = {PlayMode, Difficulty};
    Registry->SetValue(SETTING_MODES, sizeof(modes), modes);
}

void LoadModeSettings() {
    if (!Registry) {
        return;
    }
    int32_t modes[2] = {PlayMode, Difficulty};
    if (Registry->GetValue(SETTING_MODES, sizeof(modes), modes)) {
        PlayMode = modes[0];
        Difficulty = modes[1];
    }
}

void LoadBackgroundSetting(char* path) {
    if (!Registry) {
        return;
    }
    char stored[BACKGROUND_PATH_SIZE] = {};
    if (Registry->GetValue(SETTING_BACKGROUND, sizeof(stored), stored) &&
        std::memchr(stored, '\0', sizeof(stored))) {
        std::memcpy(path, stored, sizeof(stored));
    }
    path[BACKGROUND_PATH_SIZE - 1] = '\0';
}

} // namespace zonkel
