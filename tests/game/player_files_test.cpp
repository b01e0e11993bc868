// Where the player's files live: the highscore tables stay in the player's folder when the build that
// made them is deleted, tables an earlier version kept in its run folder move over once, and an
// installed game runs from any folder with the data it installed.
#include "program_run.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using game_testing::ColourDistance;
using game_testing::Picture;

namespace {

constexpr const char* TABLES[] = {"as1.roh", "as2.roh", "as3.roh", "al1.roh", "al2.roh", "al3.roh"};

// A table file: the count, the file size, then records of a 220-byte name and a 32-bit score.
std::vector<uint8_t> TableFile(const std::vector<std::pair<std::string, uint32_t>>& entries) {
    std::vector<uint8_t> bytes(8 + 224 * entries.size(), 0);
    const uint32_t header[2] = {uint32_t(entries.size()), uint32_t(bytes.size())};
    std::memcpy(bytes.data(), header, sizeof(header));
    for (size_t i = 0; i < entries.size(); ++i) {
        std::memcpy(bytes.data() + 8 + 224 * i, entries[i].first.c_str(), entries[i].first.size());
        std::memcpy(bytes.data() + 8 + 224 * i + 220, &entries[i].second, 4);
    }
    return bytes;
}

// A run folder as a build leaves it: the program beside the generated data.
void BuildRunFolder(const fs::path& run) {
    fs::create_directories(run);
    for (const char* name : {"Grafik", "Map", "zonkel"}) {
        fs::copy(fs::path(ZONKEL_RUN_DIR) / name, run / name, fs::copy_options::recursive);
    }
    for (const auto& entry : fs::directory_iterator(ZONKEL_RUN_DIR)) {
        if (entry.path().extension() == ".wav") {
            fs::copy_file(entry.path(), run / entry.path().filename());
        }
    }
}

// True when all 176 cells of the frame show one of the five stone pictures at their centre: the
// program found its pictures.
::testing::AssertionResult ShowsStones(const game_testing::GameRun& run) {
    if (run.exitCode != 0 || run.frames.empty()) {
        return ::testing::AssertionFailure() << "exit code " << run.exitCode << ":\n" << run.errorOutput;
    }
    const Picture frame = game_testing::ReadPng(run.frames.back());
    std::vector<uint32_t> stones;
    for (int i = 1; i <= 5; ++i) {
        const Picture stone = game_testing::ReadDds(fs::path(ZONKEL_RUN_DIR) / "Grafik" /
                                                    ("stone" + std::to_string(i) + ".dds"));
        stones.push_back(stone.pixels.empty() ? 0 : stone.At(24, 24));
    }
    int shown = 0;
    for (int column = 0; column < 16 && frame.width == 800; ++column) {
        for (int row = 0; row < 11; ++row) {
            const uint32_t pixel = frame.At(39 + 48 * column, 39 + 48 * row);
            shown += std::any_of(stones.begin(), stones.end(),
                                 [&](uint32_t stone) { return ColourDistance(pixel, stone) <= 8; });
        }
    }
    if (shown != 176) {
        return ::testing::AssertionFailure() << shown << " of 176 cells show a stone";
    }
    return ::testing::AssertionSuccess();
}

TEST(PlayerFiles, ScoresSurviveDeletingTheBuildAndOldTablesMoveOverOnceNeverOverwritingThePlayers) {
    const game_testing::GameFolder player(false);
    testing_support::TemporaryFolder build;
    const fs::path run = build / "run";
    BuildRunFolder(run);
    // An earlier version kept its tables in the run folder; the player already has one of them.
    const std::vector<uint8_t> old = TableFile({{"Anna", 4321}, {"Bert", 99}});
    const std::vector<uint8_t> oldOther = TableFile({{"Carl", 5}});
    const std::vector<uint8_t> players = TableFile({{"Dora", 777}});
    testing_support::WriteFile(run / "al1.roh", old);
    testing_support::WriteFile(run / "as2.roh", oldOther);
    testing_support::WriteFile(player / "as2.roh", players);

    const auto first = player.RunHeadless("wait 2\n", {}, run / "zonkel");
    ASSERT_TRUE(ShowsStones(first)) << "the pictures are read beside the program";
    EXPECT_EQ(testing_support::ReadFile(player / "al1.roh"), old);
    EXPECT_FALSE(fs::exists(run / "al1.roh")) << "moved, not copied";
    EXPECT_EQ(testing_support::ReadFile(player / "as2.roh"), players);
    EXPECT_EQ(testing_support::ReadFile(run / "as2.roh"), oldOther) << "left where it was";
    std::vector<std::vector<uint8_t>> kept;
    for (const char* table : TABLES) {
        kept.push_back(testing_support::ReadFile(player / table));
        EXPECT_EQ(fs::exists(run / table), std::string(table) == "as2.roh") << table;
    }
    EXPECT_EQ(kept[0].size(), 2248u) << "a new table of ten entries";

    // The build folder is deleted and built again: the next start finds every table as it was.
    fs::remove_all(build.Path());
    BuildRunFolder(run);
    const auto second = player.RunHeadless("wait 2\n", {}, run / "zonkel");
    ASSERT_TRUE(ShowsStones(second));
    for (size_t i = 0; i < std::size(TABLES); ++i) {
        EXPECT_EQ(testing_support::ReadFile(player / TABLES[i]), kept[i]) << TABLES[i];
    }
}

TEST(PlayerFiles, TwoGamesOnOneFolderThatLoadedTheSameTableKeepBothScores) {
    // Each game plays a board of its own to its game over and enters a name.
    uint32_t annaScore = 0;
    uint32_t bertScore = 0;
    const std::time_t annaDeal = 2024;
    std::time_t bertDeal = 3000;
    const std::string annaScript = game_testing::GameOverScript(annaDeal, "Anna", &annaScore);
    std::string bertScript = game_testing::GameOverScript(bertDeal, "Bert", &bertScore);
    while (bertScore == annaScore || bertScore <= 9) {
        bertScript = game_testing::GameOverScript(++bertDeal, "Bert", &bertScore);
    }
    ASSERT_GT(annaScore, 9u);
    // The table of a first run's solve mode, medium: both scores enter it below the first entry.
    std::vector<std::pair<std::string, uint32_t>> table = {{"Vera", 90000}};
    for (uint32_t s = 9; s >= 1; --s) {
        table.push_back({"p" + std::to_string(s), s});
    }
    const game_testing::GameFolder player;
    testing_support::WriteFile(player / "as2.roh", TableFile(table));
    std::ofstream(player / "anna.script") << annaScript;
    std::ofstream(player / "bert.script") << "wait 20\n" << bertScript;
    auto environment = [&](const char* name, std::time_t deal) {
        return game_testing::Environment{{"VELKORA_HEADLESS", "1"},
                                         {"VELKORA_SCRIPT", (player / name).string() + ".script"},
                                         {"VELKORA_FRAMES", (player / name).string()},
                                         {"VELKORA_FRAME_TIME", "20"},
                                         {"ZONKEL_DEAL_TIME", std::to_string(deal)}};
    };

    // Bert's game has read the tables once it has drawn its first frame; it is held there until Anna's
    // game has entered her score and ended.
    const int bert = player.Start(environment("bert", bertDeal), player / "bert.txt");
    for (int i = 0; i < 1200 && !fs::exists(player / "bert" / "frame_000001.png"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(kill(bert, SIGSTOP), 0);
    ASSERT_TRUE(fs::exists(player / "bert" / "frame_000001.png"));
    const int annaExit =
        game_testing::WaitForProgram(player.Start(environment("anna", annaDeal), player / "anna.txt"), 120);
    kill(bert, SIGCONT);
    const int bertExit = game_testing::WaitForProgram(bert, 120);
    EXPECT_EQ(annaExit, 0);
    EXPECT_EQ(bertExit, 0);

    // Each score goes in its place in falling order; the last two entries drop out.
    table.insert(table.begin() + 1, {"Anna", annaScore});
    table.insert(table.begin() + (bertScore > annaScore ? 1 : 2), {"Bert", bertScore});
    table.resize(10);
    EXPECT_EQ(testing_support::ReadFile(player / "as2.roh"), TableFile(table))
        << "Anna " << annaScore << ", Bert " << bertScore;
    EXPECT_EQ(testing_support::ReadFile(player / "anna.txt"), std::vector<uint8_t>());
    EXPECT_EQ(testing_support::ReadFile(player / "bert.txt"), std::vector<uint8_t>());
}

TEST(PlayerFiles, HighscoreThatCannotBeSavedIsToldOnceAndTheGameGoesOn) {
    // Two games in one run on the same board, each entering its score; the disk is full for both saves.
    uint32_t score = 0;
    std::string script = game_testing::GameOverScript(2024, "Anna", &score);
    const std::string second = game_testing::GameOverScript(2024, "Bert", &score);
    script.replace(script.find("dialog ok Anna\n"), 15, "dialog ok Anna\ndialog ok\n"); // the message box
    script += "click 400 300\nwait 2\n" + second;
    const game_testing::GameFolder player;
    std::vector<std::pair<std::string, uint32_t>> table = {{"Vera", 90000}};
    for (uint32_t s = 9; s >= 1; --s) {
        table.push_back({"p" + std::to_string(s), s});
    }
    testing_support::WriteFile(player / "as2.roh", TableFile(table));
    std::ofstream(player / "full.script") << script;
    int program = -1;
    {
        const testing_support::DiskFullAfter full(1500);
        program = player.Start({{"VELKORA_HEADLESS", "1"},
                                {"VELKORA_SCRIPT", (player / "full.script").string()},
                                {"VELKORA_FRAME_TIME", "20"},
                                {"ZONKEL_DEAL_TIME", "2024"}},
                               player / "stderr.txt");
    }
    EXPECT_EQ(game_testing::WaitForProgram(program, 120), 0);
    EXPECT_EQ(testing_support::ReadFile(player / "as2.roh"), TableFile(table));
    const std::string told = "The highscore could not be saved in " + (player / "as2.roh").string() +
                             " (File too large). It stays in the table while the game runs and is saved "
                             "with a later highscore if the file can be written then.";
    const std::vector<uint8_t> errors = testing_support::ReadFile(player / "stderr.txt");
    EXPECT_EQ(std::string(errors.begin(), errors.end()),
              "zonkel: " + told + "\nheadless: message box (error) \"Highscore not saved\": " + told + "\n");
}

// An old table that cannot be moved (here a FIFO where it was) would be lost with the build folder: it
// is named in one line on standard error. Moved tables and those the player has are not.
TEST(PlayerFiles, OldTableThatCannotBeMovedIsNamedOnStandardError) {
    const game_testing::GameFolder player(false);
    testing_support::TemporaryFolder build;
    const fs::path run = build / "run";
    BuildRunFolder(run);
    testing_support::WriteFile(run / "al1.roh", TableFile({{"Anna", 4321}}));
    testing_support::WriteFile(run / "as2.roh", TableFile({{"Carl", 5}}));
    testing_support::WriteFile(player / "as2.roh", TableFile({{"Dora", 777}}));
    ASSERT_EQ(mkfifo((run / "al3.roh").c_str(), 0644), 0);

    const auto started = player.RunHeadless("wait 1\n", {}, run / "zonkel");
    EXPECT_EQ(started.exitCode, 0);
    std::vector<std::string> named;
    std::istringstream lines(started.errorOutput);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(".roh") != std::string::npos) {
            named.push_back(line);
        }
    }
    ASSERT_EQ(named.size(), 1u) << started.errorOutput;
    EXPECT_EQ(named[0].rfind("zonkel: ", 0), 0u) << named[0];
    EXPECT_NE(named[0].find((run / "al3.roh").string()), std::string::npos) << named[0];
    EXPECT_NE(named[0].find("not a regular file"), std::string::npos) << named[0];
    EXPECT_TRUE(fs::exists(player / "al1.roh"));
}

TEST(PlayerFiles, PlayersFolderThatCannotBeMadeStopsAHeadlessStartWithOneLineAndNoMessageBox) {
    const game_testing::GameFolder player(false);
    testing_support::WriteFile(player / "data", {'x'}); // a file where the folder would go
    const auto run = player.RunHeadless("wait 1\n", {{"XDG_DATA_HOME", (player / "data").string()}});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errorOutput,
              "zonkel: cannot create " + (player / "data" / "zonkel").string() + ": Not a directory\n");
    EXPECT_TRUE(run.frames.empty());
}

TEST(PlayerFiles, InstalledGameRunsFromAnotherFolderWithItsDataIconAndDesktopEntry) {
    testing_support::TemporaryFolder prefix;
    const std::string install = std::string(ZONKEL_CMAKE_COMMAND) + " --install " + ZONKEL_BINARY_DIR +
                                " --prefix " + prefix.Path().string() + " > " + (prefix / "log").string();
    ASSERT_EQ(std::system(install.c_str()), 0) << install;
    for (const char* file : {"bin/zonkel", "bin/velkora-feature-tour", "lib/zonkel/libvelkora.so",
                             "lib/zonkel/libplatform.so", "share/zonkel/Grafik/introduction.html",
                             "share/zonkel/Map/map1.cap", "share/zonkel/8QX00036.wav"}) {
        EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;
    }
    for (const int size : {48, 128}) {
        const std::string icon = std::to_string(size) + "x" + std::to_string(size);
        const Picture picture =
            game_testing::ReadPng(prefix / "share/icons/hicolor" / icon / "apps/zonkel.png");
        EXPECT_EQ(std::pair(picture.width, picture.height), std::pair(size, size)) << icon;
    }
    std::stringstream entry;
    entry << std::ifstream(prefix / "share/applications/zonkel.desktop").rdbuf();
    for (const char* line :
         {"[Desktop Entry]\n", "\nType=Application\n", "\nExec=zonkel\n", "\nIcon=zonkel\n"}) {
        EXPECT_NE(entry.str().find(line), std::string::npos) << line;
    }

    // The installed tree is moved before it runs: every path it needs is relative to the program.
    const fs::path moved = prefix / "moved";
    fs::create_directory(moved);
    for (const char* folder : {"bin", "lib", "share"}) {
        fs::rename(prefix / folder, moved / folder);
    }
    const game_testing::GameFolder player(false);
    const auto run = player.RunHeadless("wait 3\n", {}, moved / "bin/zonkel");
    ASSERT_TRUE(ShowsStones(run));
    EXPECT_EQ(run.frames.size(), 3u);
    for (const char* table : TABLES) {
        EXPECT_EQ(fs::file_size(player / table), 2248u) << table;
    }
}

} // namespace
