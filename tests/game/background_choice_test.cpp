// The background chooser in the real program, headless: a chosen picture replaces the background and
// is stored for the next start; a cancel and a file that is no picture change nothing.
#include "program_run.h"

#include "support/test_files.h"

#include "win32/winreg.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using game_testing::Picture;

namespace {

std::string StoredBackground(const fs::path& config) {
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\TolvexGroup\\Quarvel", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    char path[261] = {};
    DWORD size = sizeof(path);
    EXPECT_EQ(RegQueryValueExA(key, "dsx12", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 261u);
    RegCloseKey(key);
    return std::string(path, strnlen(path, sizeof(path)));
}

// Runs the program headless with `script`; the frames it presented, in order.
std::vector<Picture> RunScript(const fs::path& work, const fs::path& config, const std::string& script) {
    testing_support::TemporaryFolder frames;
    const fs::path scriptFile = work / "game.script";
    std::ofstream(scriptFile) << script;
    const game_testing::ProgramResult result =
        game_testing::RunProgram(fs::path(ZONKEL_RUN_DIR) / "zonkel", {}, work,
                                 {{"VELKORA_HEADLESS", "1"},
                                  {"VELKORA_SCRIPT", scriptFile.string()},
                                  {"VELKORA_FRAMES", frames.Path().string()},
                                  {"XDG_CONFIG_HOME", config.string()}});
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(frames.Path())) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<Picture> pictures;
    for (const fs::path& file : files) {
        Picture picture;
        EXPECT_TRUE(game_testing::ReadPng(file, &picture)) << file;
        pictures.push_back(picture);
    }
    return pictures;
}

// Pixels of the right margin, where only the background shows.
std::vector<uint32_t> RightMargin(const Picture& frame) {
    std::vector<uint32_t> pixels;
    for (int y = 20; y < 540; y += 4) {
        pixels.push_back(frame.At(792, y));
    }
    return pixels;
}

int Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int count = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        count += game_testing::ColourDistance(a[i], b[i]) > 12;
    }
    return count;
}

TEST(BackgroundChoice, ChosenPictureShowsAndIsKeptForTheNextStartWhileBadChoicesChangeNothing) {
    testing_support::TemporaryFolder work;
    testing_support::TemporaryFolder config;
    game_testing::CopyRunFolder(work.Path());
    const fs::path picture = work / "Grafik" / "Ovetta.jpg";
    testing_support::WriteFile(work / "notes.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});

    std::vector<Picture> first =
        RunScript(work.Path(), config.Path(),
                  "wait 3\nfile " + picture.string() +
                      "\nmenu 32781\nwait 3\n"
                      "file\nmenu 32781\nwait 3\n"
                      "file " +
                      (work / "notes.jpg").string() + "\nmenu 32781\nwait 3\nclose\n");
    ASSERT_GE(first.size(), 8u);
    EXPECT_EQ(StoredBackground(config.Path()), picture.string());
    const std::vector<uint32_t> defaultMargin = RightMargin(first.front());
    const std::vector<uint32_t> chosenMargin = RightMargin(first.back());
    EXPECT_GT(Differences(defaultMargin, chosenMargin), 40) << "the chosen picture does not show";

    std::vector<Picture> second = RunScript(work.Path(), config.Path(), "wait 2\nclose\n");
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(Differences(RightMargin(second.front()), chosenMargin), 0)
        << "the next start shows the chosen picture";
    EXPECT_EQ(StoredBackground(config.Path()), picture.string());
}

TEST(BackgroundChoice, StoredPathThatNoLongerLoadsFallsBackToTheSecondPicture) {
    testing_support::TemporaryFolder work;
    testing_support::TemporaryFolder config;
    game_testing::CopyRunFolder(work.Path());
    const fs::path copy = work / "mine.jpg";
    fs::copy_file(work / "Grafik" / "Ovetta.jpg", copy);
    std::vector<Picture> chosen = RunScript(
        work.Path(), config.Path(), "wait 2\nfile " + copy.string() + "\nmenu 32781\nwait 3\nclose\n");
    ASSERT_FALSE(chosen.empty());
    fs::remove(copy);

    std::vector<Picture> fallback = RunScript(work.Path(), config.Path(), "wait 2\nclose\n");
    ASSERT_FALSE(fallback.empty());
    EXPECT_EQ(Differences(RightMargin(fallback.front()), RightMargin(chosen.back())), 0)
        << "\"Grafik\\Ovetta.jpg\" stands in for a stored picture that is gone";
}

} // namespace
