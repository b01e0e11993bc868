// The real program, headless, driven by a script from empty settings to a finished game and a new
// one: its exit code, the registry values it leaves, its six highscore files and the frames it drew.
// The script is planned by playing the same boards here: the program deals with a fixed time.
#include "program_run.h"

#include "board.h"
#include "highscore_list.h"
#include "support/test_files.h"

#include "win32/winreg.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using game_testing::ColourDistance;
using game_testing::Picture;

namespace {

std::time_t planSeconds = 0;
std::time_t PlanClock() {
    return planSeconds;
}

using BoardCells = std::vector<int32_t>; // column by column, as the board

BoardCells CopyBoard() {
    BoardCells cells;
    for (const auto& column : Board) {
        cells.insert(cells.end(), column, column + BOARD_ROWS);
    }
    return cells;
}

// The size of the group at (x, y) on the current board, counting each stone once.
int GroupSize(int x, int y) {
    const int32_t colour = Board[x][y];
    if (colour == EMPTY_CELL) {
        return 0;
    }
    bool seen[BOARD_COLUMNS][BOARD_ROWS] = {};
    std::vector<std::pair<int, int>> open = {{x, y}};
    seen[x][y] = true;
    int size = 0;
    while (!open.empty()) {
        auto [cx, cy] = open.back();
        open.pop_back();
        ++size;
        const int steps[4][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}};
        for (const auto& step : steps) {
            const int nx = cx + step[0];
            const int ny = cy + step[1];
            if (nx >= 0 && nx < BOARD_COLUMNS && ny >= 0 && ny < BOARD_ROWS && !seen[nx][ny] &&
                Board[nx][ny] == colour) {
                seen[nx][ny] = true;
                open.emplace_back(nx, ny);
            }
        }
    }
    return size;
}

std::pair<int, int> LargestGroup() {
    std::pair<int, int> best = {-1, -1};
    int bestSize = 1;
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            const int size = GroupSize(x, y);
            if (size > bestSize) {
                bestSize = size;
                best = {x, y};
            }
        }
    }
    return best;
}

// The client position of a cell's centre in the 800 x 600 window.
std::string ClickOn(int column, int row) {
    return "click " + std::to_string(15 + 48 * column + 24) + " " + std::to_string(15 + 48 * row + 24);
}

struct Plan {
    std::string script;
    BoardCells firstBoard;
    uint32_t finalScore = 0;
    int stagesCleared = 0;
    bool gameOver = false;
};

// Plays the program's first run with the fixed deal time: level mode and easy through the menu, the
// largest group each time, an undo after the first click, stages until the game is over, the name, the
// table and one click into the new game.
Plan PlanGame(std::time_t seconds) {
    planSeconds = seconds;
    zonkel::SetDealClockForTesting(PlanClock);
    Plan plan;
    std::ostringstream script;
    PlayMode = 0;
    Difficulty = 1;
    Stage = 1;
    Score = 0;
    CreateBoard();
    plan.firstBoard = CopyBoard();
    script << "wait 4\n";

    script << "menu 32783\n"; // Play Level Mode
    PlayMode = 1;
    NewGame();
    script << "menu 32778\n"; // easy
    Difficulty = 0;
    NewGame();
    Quota = 20;

    bool firstClick = true;
    int pending = 2;
    while (!plan.gameOver && Stage < 12) {
        const auto [x, y] = LargestGroup();
        if (x < 0) {
            break; // Cannot happen: a board without a group has ended the stage below.
        }
        script << ClickOn(x, y) << "\n";
        ++pending;
        if (firstClick) {
            script << "rclick 5 5\n" << ClickOn(x, y) << "\n";
            pending += 2;
            firstClick = false;
        }
        RemoveStones(x, y);
        if (!IsGameOver()) {
            continue;
        }
        script << "wait " << 2 * pending + 6 << "\n";
        pending = 0;
        if (Quota > 0) {
            plan.gameOver = true;
            break;
        }
        ++plan.stagesCleared;
        script << "click 400 300\nwait 8\n";
        Stage += 1;
        CreateBoard();
        Quota = std::min(Stage * 20, 176);
    }
    plan.finalScore = Score;
    script << "dialog ok Tester\nclick 400 300\nwait 8\n"; // name entry, then the table
    script << "click 400 300\nwait 8\n";                   // a new game at stage 1
    Score = 0;
    Stage = 1;
    CreateBoard();
    const auto [x, y] = LargestGroup();
    script << ClickOn(x, y) << "\nwait 8\nclose\n";
    plan.script = script.str();
    zonkel::SetDealClockForTesting(nullptr);
    return plan;
}

std::vector<uint8_t> ReadValue(const fs::path& config, const char* name) {
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    HKEY key = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\TolvexGroup\\Quarvel", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    std::vector<uint8_t> bytes(512);
    DWORD size = static_cast<DWORD>(bytes.size());
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, nullptr, bytes.data(), &size), ERROR_SUCCESS) << name;
    RegCloseKey(key);
    bytes.resize(size);
    return bytes;
}

struct Table {
    std::vector<std::string> names;
    std::vector<uint32_t> scores;
};

Table ReadTable(const fs::path& file) {
    HighscoreList list;
    EXPECT_EQ(list.Load(file.c_str(), 10), HighscoreList::LOAD_READ) << file;
    Table table;
    for (int i = 0; i < list.GetCount(); ++i) {
        char name[HIGHSCORE_NAME_SIZE];
        uint32_t score = 0;
        list.GetEntry(i, &score, name);
        table.names.push_back(name);
        table.scores.push_back(score);
    }
    return table;
}

// Pixels brighter than the dark strip and veil can make: the white of the texts.
int BrightPixels(const Picture& frame, int left, int top, int right, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const uint32_t p = frame.At(x, y);
            count += ((p >> 16) & 0xff) > 200 && ((p >> 8) & 0xff) > 200 && (p & 0xff) > 200;
        }
    }
    return count;
}

// True when the frame shows `overlay` at its place (144, 172): its opaque, not too dark texels match.
bool ShowsOverlay(const Picture& frame, const Picture& overlay) {
    int compared = 0;
    int matched = 0;
    for (int y = 8; y < overlay.height; y += 13) {
        for (int x = 8; x < overlay.width; x += 17) {
            const uint32_t texel = overlay.At(x, y);
            if ((texel >> 24) != 0xff || ColourDistance(texel, 0) < 40) {
                continue;
            }
            ++compared;
            matched += ColourDistance(frame.At(144 + x, 172 + y), texel) <= 6;
        }
    }
    return compared > 50 && matched * 10 >= compared * 9;
}

uint32_t CellCentre(const Picture& frame, int column, int row) {
    return frame.At(39 + 48 * column, 39 + 48 * row);
}

TEST(EndToEnd, ScriptedGameFromEmptySettingsToANewGame) {
    Plan plan;
    std::time_t seconds = 1000;
    for (; seconds < 1100; ++seconds) {
        plan = PlanGame(seconds);
        if (plan.gameOver && plan.stagesCleared >= 1 && plan.finalScore > 180) {
            break;
        }
    }
    ASSERT_LT(seconds, 1100) << "no deal time gives a game with a cleared stage and a game over";

    testing_support::TemporaryFolder work;
    testing_support::TemporaryFolder config;
    testing_support::TemporaryFolder frames;
    game_testing::CopyRunFolder(work.Path());
    const fs::path script = work / "game.script";
    std::ofstream(script) << plan.script;

    const game_testing::ProgramResult result =
        game_testing::RunProgram(fs::path(ZONKEL_RUN_DIR) / "zonkel", {}, work.Path(),
                                 {{"VELKORA_HEADLESS", "1"},
                                  {"VELKORA_SCRIPT", script.string()},
                                  {"VELKORA_FRAMES", frames.Path().string()},
                                  {"XDG_CONFIG_HOME", config.Path().string()},
                                  {"ZONKEL_DEAL_TIME", std::to_string(seconds)}});
    ASSERT_EQ(result.exitCode, 0) << result.errorOutput << "\nscript:\n" << plan.script;

    // Settings: the first-run background and the modes chosen through the menu.
    std::vector<uint8_t> background = ReadValue(config.Path(), "dsx12");
    ASSERT_EQ(background.size(), 261u);
    EXPECT_STREQ(reinterpret_cast<const char*>(background.data()), "Grafik\\bk.jpg");
    EXPECT_EQ(ReadValue(config.Path(), "dsx13"), (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));

    // Highscore files: six of them, the name inserted into level mode easy.
    const char* files[] = {"as1.roh", "as2.roh", "as3.roh", "al1.roh", "al2.roh", "al3.roh"};
    for (const char* file : files) {
        ASSERT_TRUE(fs::exists(work / file)) << file;
        EXPECT_EQ(fs::file_size(work / file), 2248u) << file;
        Table table = ReadTable(work / file);
        if (std::string(file) == "al1.roh") {
            ASSERT_EQ(table.names.size(), 10u);
            EXPECT_EQ(table.names[0], "Tester");
            EXPECT_EQ(table.scores[0], plan.finalScore);
            EXPECT_EQ(table.scores[1], 179u);
            EXPECT_EQ(table.scores[9], 171u);
        } else {
            EXPECT_EQ(table.scores, (std::vector<uint32_t>{179, 178, 177, 176, 175, 174, 173, 172, 171, 170}))
                << file;
            EXPECT_EQ(table.names[0], HIGHSCORE_DEFAULT_NAME) << file;
        }
    }

    // Frames.
    std::vector<fs::path> frameFiles;
    for (const auto& entry : fs::directory_iterator(frames.Path())) {
        frameFiles.push_back(entry.path());
    }
    std::sort(frameFiles.begin(), frameFiles.end());
    ASSERT_GT(frameFiles.size(), 20u);

    Picture first;
    ASSERT_TRUE(game_testing::ReadPng(frameFiles[1], &first));
    ASSERT_EQ(first.width, 800);
    ASSERT_EQ(first.height, 600);
    // The first board: cells of one colour look alike at their centres, cells of different colours not.
    std::map<int32_t, uint32_t> look;
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            const int32_t colour = plan.firstBoard[x * BOARD_ROWS + y];
            const uint32_t centre = CellCentre(first, x, y);
            auto [it, inserted] = look.emplace(colour, centre);
            EXPECT_LE(ColourDistance(it->second, centre), 3) << "cell " << x << "," << y;
        }
    }
    ASSERT_EQ(look.size(), 4u) << "medium difficulty deals four colours";
    for (auto a = look.begin(); a != look.end(); ++a) {
        for (auto b = std::next(a); b != look.end(); ++b) {
            EXPECT_GT(ColourDistance(a->second, b->second), 30)
                << "colours " << a->first << " and " << b->first;
        }
    }
    // Solve mode's strip: score and best score, no stage.
    EXPECT_GT(BrightPixels(first, 20, 565, 120, 585), 20);
    EXPECT_GT(BrightPixels(first, 600, 565, 780, 585), 20);
    EXPECT_EQ(BrightPixels(first, 180, 565, 330, 585), 0);

    Picture gameOver;
    Picture stageClear;
    ASSERT_TRUE(game_testing::ReadDds(work / "Grafik" / "Gov.dds", &gameOver));
    ASSERT_TRUE(game_testing::ReadDds(work / "Grafik" / "Con1.dds", &stageClear));
    int firstStageClear = -1;
    int firstGameOver = -1;
    int firstTable = -1;
    int levelStrips = 0;
    for (size_t i = 0; i < frameFiles.size(); ++i) {
        Picture frame;
        ASSERT_TRUE(game_testing::ReadPng(frameFiles[i], &frame)) << frameFiles[i];
        levelStrips += BrightPixels(frame, 180, 565, 330, 585) > 20;
        if (firstStageClear < 0 && ShowsOverlay(frame, stageClear)) {
            firstStageClear = static_cast<int>(i);
        }
        if (firstGameOver < 0 && ShowsOverlay(frame, gameOver)) {
            firstGameOver = static_cast<int>(i);
        }
        // The table: "1." at (240, 200) and the winner's name at (300, 200), over the veil.
        if (firstGameOver >= 0 && firstTable < 0 && BrightPixels(frame, 240, 200, 260, 218) > 5 &&
            BrightPixels(frame, 300, 200, 360, 218) > 10 && BrightPixels(frame, 550, 200, 640, 218) > 10) {
            firstTable = static_cast<int>(i);
        }
    }
    EXPECT_GT(levelStrips, 10) << "level mode shows its stage and diamonds";
    EXPECT_GE(firstStageClear, 0) << "no frame shows the stage-clear picture";
    EXPECT_GT(firstGameOver, firstStageClear) << "no game-over picture after the stage clear";
    EXPECT_GT(firstTable, firstGameOver) << "no highscore table after the game-over picture";
}

TEST(EndToEnd, UndoBeforeTheFirstLeftClickRestoresTheDealtBoardNotABoardOfZeros) {
    testing_support::TemporaryFolder work;
    testing_support::TemporaryFolder config;
    testing_support::TemporaryFolder frames;
    game_testing::CopyRunFolder(work.Path());
    const fs::path script = work / "undo.script";
    std::ofstream(script) << "wait 3\nrclick 400 300\nwait 4\nclose\n";
    const game_testing::ProgramResult result =
        game_testing::RunProgram(fs::path(ZONKEL_RUN_DIR) / "zonkel", {}, work.Path(),
                                 {{"VELKORA_HEADLESS", "1"},
                                  {"VELKORA_SCRIPT", script.string()},
                                  {"VELKORA_FRAMES", frames.Path().string()},
                                  {"XDG_CONFIG_HOME", config.Path().string()},
                                  {"ZONKEL_DEAL_TIME", "31337"}});
    ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(frames.Path())) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 5u);
    Picture before;
    Picture after;
    ASSERT_TRUE(game_testing::ReadPng(files[1], &before));
    ASSERT_TRUE(game_testing::ReadPng(files.back(), &after));
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            ASSERT_LE(ColourDistance(CellCentre(before, x, y), CellCentre(after, x, y)), 3)
                << "cell " << x << "," << y;
        }
    }
}

} // namespace
