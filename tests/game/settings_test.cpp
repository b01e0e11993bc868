// The settings store: values that are missing and stored values that do not fit. The modes value as the
// menu stores it and start-up reads it is checked on the running program.
#include "registry_manager.h"

#include "board.h"
#include "support/test_files.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        Registry = &store;
        store.SetKeyPath(SETTINGS_KEY_PATH);
    }
    void TearDown() override { Registry = nullptr; }

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

TEST_F(SettingsTest, KeyThatCannotBeCreatedAndMissingValuesLeaveTheModesAndThePathAsTheyWere) {
    // A plain file where the settings folder belongs: the key cannot be made, every value fails.
    testing_support::WriteFile(config / "zonkel", {'x'});
    EXPECT_EQ(store.CreateKey(), RegistryManager::CREATE_FAILED);
    int32_t modes[2] = {1, 2};
    EXPECT_FALSE(store.SetValue(SETTING_MODES, sizeof(modes), modes));
    EXPECT_FALSE(store.GetValue(SETTING_MODES, sizeof(modes), modes));
    for (bool keyMade : {false, true}) {
        if (keyMade) {
            std::filesystem::remove(config / "zonkel");
            EXPECT_EQ(store.CreateKey(), RegistryManager::CREATE_CREATED);
            EXPECT_EQ(store.CreateKey(), RegistryManager::CREATE_OPENED);
        }
        PlayMode = 1;
        Difficulty = 2;
        zonkel::LoadModeSettings();
        EXPECT_EQ(std::pair(PlayMode, Difficulty), std::pair(1, 2)) << keyMade;
        EXPECT_EQ(LoadedPath(), DEFAULT_BACKGROUND) << keyMade;
    }
}

TEST_F(SettingsTest, StoredBackgroundThatDoesNotFitLeavesATerminatedDefaultPath) {
    store.CreateKey();
    std::vector<uint8_t> padded(261, 0x55);
    std::memcpy(padded.data(), "Pictures\\mine.jpg", 18);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string path;
    } cases[] = {
        {"longer than 261 bytes", std::vector<uint8_t>(300, 'a'), DEFAULT_BACKGROUND},
        {"261 bytes without a NUL", std::vector<uint8_t>(261, 'b'), DEFAULT_BACKGROUND},
        {"bytes after the NUL carry no meaning", padded, "Pictures\\mine.jpg"},
        {"a shorter value without its NUL", {'s', '.', 'b', 'm', 'p'}, "s.bmp"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> copy = c.bytes;
        ASSERT_TRUE(store.SetValue(SETTING_BACKGROUND, copy.size(), copy.data())) << c.what;
        EXPECT_EQ(LoadedPath(), c.path) << c.what;
    }
}

} // namespace
