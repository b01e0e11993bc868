// The settings store: first run and later runs, the two values, and stored values that do not fit.
#include "registry_manager.h"

#include "board.h"
#include "support/test_files.h"

#include "win32/winreg.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        Registry = &store;
        store.SetKeyPath(SETTINGS_KEY_PATH);
        PlayMode = 0;
        Difficulty = 0;
    }
    void TearDown() override { Registry = nullptr; }

    void StoreRaw(const std::vector<uint8_t>& bytes) {
        std::vector<uint8_t> copy = bytes;
        ASSERT_TRUE(store.SetValue(SETTING_BACKGROUND, copy.size(), copy.data()));
    }

    std::string LoadedPath() {
        char path[BACKGROUND_PATH_SIZE];
        std::memset(path, 'z', sizeof(path));
        std::snprintf(path, sizeof(path), "%s", DEFAULT_BACKGROUND);
        zonkel::LoadBackgroundSetting(path);
        EXPECT_NE(std::memchr(path, '\0', sizeof(path)), nullptr);
        return path;
    }

    testing_support::TemporaryFolder config;
    RegistryManager store;
};

TEST_F(SettingsTest, KeyIsCreatedOnTheFirstRunAndOpenedLater) {
    EXPECT_EQ(store.CreateKey(), RegistryManager::CREATE_CREATED);
    RegistryManager again;
    again.SetKeyPath(SETTINGS_KEY_PATH);
    EXPECT_EQ(again.CreateKey(), RegistryManager::CREATE_OPENED);
}

TEST_F(SettingsTest, ModesRoundTripAsEightLittleEndianBytes) {
    store.CreateKey();
    PlayMode = 1;
    Difficulty = 2;
    zonkel::StoreModeSettings();

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY_PATH, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    BYTE bytes[16] = {};
    DWORD size = sizeof(bytes);
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key, SETTING_MODES, nullptr, &type, bytes, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(size, 8u);
    EXPECT_EQ(std::vector<BYTE>(bytes, bytes + 8), (std::vector<BYTE>{1, 0, 0, 0, 2, 0, 0, 0}));
    RegCloseKey(key);

    PlayMode = 0;
    Difficulty = 0;
    zonkel::LoadModeSettings();
    EXPECT_EQ(PlayMode, 1);
    EXPECT_EQ(Difficulty, 2);
}

TEST_F(SettingsTest, MissingValuesLeaveTheDefaults) {
    store.CreateKey();
    PlayMode = 0;
    Difficulty = 0;
    zonkel::LoadModeSettings();
    EXPECT_EQ(PlayMode, 0);
    EXPECT_EQ(Difficulty, 0);
    EXPECT_EQ(LoadedPath(), DEFAULT_BACKGROUND);
}

TEST_F(SettingsTest, StoredBackgroundThatDoesNotFitLeavesATerminatedDefaultPath) {
    store.CreateKey();
    StoreRaw(std::vector<uint8_t>(300, 'a'));
    EXPECT_EQ(LoadedPath(), DEFAULT_BACKGROUND) << "longer than 261 bytes";

    StoreRaw(std::vector<uint8_t>(261, 'b'));
    EXPECT_EQ(LoadedPath(), DEFAULT_BACKGROUND) << "261 bytes without a NUL";

    std::vector<uint8_t> path(261, 0x55);
    std::memcpy(path.data(), "Pictures\\mine.jpg", 18);
    StoreRaw(path);
    EXPECT_EQ(LoadedPath(), "Pictures\\mine.jpg") << "bytes after the NUL carry no meaning";

    StoreRaw({'s', '.', 'b', 'm', 'p'});
    EXPECT_EQ(LoadedPath(), "s.bmp") << "a shorter value without its NUL";
}

TEST_F(SettingsTest, FailedKeyMakesEveryValueCallFailQuietly) {
    testing_support::WriteFile(config.Path() / "zonkel", {1}); // A file where the store's folder belongs.
    EXPECT_EQ(store.CreateKey(), RegistryManager::CREATE_FAILED);
    int32_t value[2] = {3, 4};
    EXPECT_FALSE(store.SetValue(SETTING_MODES, 8, value));
    EXPECT_FALSE(store.GetValue(SETTING_MODES, 8, value));
    EXPECT_EQ(value[0], 3);
    EXPECT_EQ(LoadedPath(), DEFAULT_BACKGROUND);
}

} // namespace
