// The real program, headless, driven by a script from empty settings to a finished game and a new
// one: its exit code, the registry values it leaves, its six highscore files and the frames it drew.
// The script is planned by playing the same boards here: the program deals with a fixed time.
#include "program_run.h"

#include "board.h"
#include "highscore_list.h"

#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using game_testing::ColourDistance;
using game_testing::Picture;

namespace {

std::time_t planSeconds = 0;

// The cell whose click scores most on the current board; (-1, -1) when no group is left.
std::pair<int, int> BestMove() {
    int32_t board[BOARD_COLUMNS][BOARD_ROWS];
    std::memcpy(board, Board, sizeof(Board));
    const uint32_t score = Score;
    std::pair<int, int> best = {-1, -1};
    uint32_t bestGain = 0;
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            Score = 0;
            RemoveStones(x, y);
            if (Score > bestGain) {
                bestGain = Score;
                best = {x, y};
            }
            std::memcpy(Board, board, sizeof(Board));
        }
    }
    Score = score;
    return best;
}

std::string ClickOn(std::pair<int, int> cell) {
    return "click " + std::to_string(39 + 48 * cell.first) + " " + std::to_string(39 + 48 * cell.second);
}

struct Plan {
    std::string script;
    std::vector<int32_t> firstBoard; // column by column, as the board
    uint32_t finalScore = 0;
    int stagesCleared = 0;
    bool gameOver = false;
};

// Plays the program's first run with the fixed deal time: level mode and easy through the menu, the
// best move each time, an undo after the first click, stages until the game is over, the name, the
// table and one click into the new game.
Plan PlanGame(std::time_t seconds) {
    planSeconds = seconds;
    zonkel::SetDealClockForTesting([] { return planSeconds; });
    Plan plan;
    std::ostringstream script;
    PlayMode = 0;
    Difficulty = 1;
    Stage = 1;
    Score = 0;
    CreateBoard();
    plan.firstBoard.assign(&Board[0][0], &Board[0][0] + BOARD_CELLS);
    script << "wait 4\nmenu 32783\nmenu 32778\n"; // Play Level Mode, then easy: two new games
    PlayMode = 1;
    NewGame();
    Difficulty = 0;
    NewGame();
    Quota = 20;
    int pending = 2;
    for (bool first = true; Stage < 12; first = false) {
        const auto cell = BestMove();
        script << ClickOn(cell) << "\n" << (first ? "rclick 5 5\n" + ClickOn(cell) + "\n" : "");
        pending += first ? 3 : 1;
        RemoveStones(cell.first, cell.second);
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
    // The name entry, the table, a new game at stage 1 and a click into it.
    script << "dialog ok Tester\nclick 400 300\nwait 8\nclick 400 300\nwait 8\n";
    Score = 0;
    Stage = 1;
    CreateBoard();
    script << ClickOn(BestMove()) << "\nwait 8\nclose\n";
    plan.script = script.str();
    zonkel::SetDealClockForTesting(nullptr);
    return plan;
}

// Pixels brighter than the dark strip and veil can make: the white of the texts.
int BrightPixels(const Picture& frame, int left, int top, int right, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            count += ColourDistance(frame.At(x, y), 0xffffff) < 55;
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
            if ((texel >> 24) == 0xff && ColourDistance(texel, 0) >= 40) {
                ++compared;
                matched += ColourDistance(frame.At(144 + x, 172 + y), texel) <= 6;
            }
        }
    }
    return compared > 50 && matched * 10 >= compared * 9;
}

// Pixels of the right margin, where only the background shows, in the first or the last frame.
std::vector<uint32_t> RightMargin(const game_testing::GameRun& run, bool last) {
    EXPECT_EQ(run.exitCode, 0) << run.errorOutput;
    std::vector<uint32_t> pixels;
    if (!run.frames.empty()) {
        const Picture frame = game_testing::ReadPng(last ? run.frames.back() : run.frames[0]);
        for (int y = 20; y < 540; y += 4) {
            pixels.push_back(frame.At(792, y));
        }
    }
    return pixels;
}

int Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    EXPECT_EQ(a.size(), 130u);
    EXPECT_EQ(b.size(), a.size());
    int count = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        count += ColourDistance(a[i], b[i]) > 12;
    }
    return count;
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

    const game_testing::GameFolder folder;
    const auto run = folder.RunHeadless(plan.script, {{"ZONKEL_DEAL_TIME", std::to_string(seconds)}});
    ASSERT_EQ(run.exitCode, 0) << run.errorOutput << "\nscript:\n" << plan.script;

    // Settings: the first-run background and the modes chosen through the menu.
    const std::vector<uint8_t> background = folder.Setting("dsx12");
    ASSERT_EQ(background.size(), 261u);
    EXPECT_STREQ(reinterpret_cast<const char*>(background.data()), "Grafik\\bk.jpg");
    EXPECT_EQ(folder.Setting("dsx13"), (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));

    // Six highscore files of ten defaults each; the name inserted into level mode easy.
    for (const char* file : {"as1.roh", "as2.roh", "as3.roh", "al1.roh", "al2.roh", "al3.roh"}) {
        ASSERT_TRUE(fs::exists(folder / file)) << file;
        EXPECT_EQ(fs::file_size(folder / file), 2248u) << file;
        HighscoreList list;
        EXPECT_EQ(list.Load((folder / file).c_str(), 10), HighscoreList::LOAD_READ) << file;
        const bool inserted = std::string(file) == "al1.roh";
        for (int i = 0; i < 10; ++i) {
            char name[HIGHSCORE_NAME_SIZE] = {};
            uint32_t score = 0;
            ASSERT_TRUE(list.GetEntry(i, &score, name)) << file;
            const bool winner = inserted && i == 0;
            EXPECT_EQ(score, winner ? plan.finalScore : 179u - i + inserted) << file << " row " << i;
            EXPECT_STREQ(name, winner ? "Tester" : HIGHSCORE_DEFAULT_NAME) << file << " row " << i;
        }
    }

    ASSERT_GT(run.frames.size(), 20u);
    const Picture first = game_testing::ReadPng(run.frames[1]);
    ASSERT_EQ(first.width, 800);
    ASSERT_EQ(first.height, 600);
    // The first board: cells of one colour look alike at their centres, cells of different colours not.
    std::map<int32_t, uint32_t> look;
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            const uint32_t centre = CellCentre(first, x, y);
            auto it = look.emplace(plan.firstBoard[x * BOARD_ROWS + y], centre).first;
            EXPECT_LE(ColourDistance(it->second, centre), 3) << "cell " << x << "," << y;
        }
    }
    ASSERT_EQ(look.size(), 4u) << "medium difficulty deals four colours";
    for (auto a = look.begin(); a != look.end(); ++a) {
        for (auto b = std::next(a); b != look.end(); ++b) {
            EXPECT_GT(ColourDistance(a->second, b->second), 30) << a->first << " and " << b->first;
        }
    }
    // Solve mode's strip: score and best score, no stage.
    EXPECT_GT(BrightPixels(first, 20, 565, 120, 585), 20);
    EXPECT_GT(BrightPixels(first, 600, 565, 780, 585), 20);
    EXPECT_EQ(BrightPixels(first, 180, 565, 330, 585), 0);

    const Picture gameOver = game_testing::ReadDds(folder / "Grafik" / "Gov.dds");
    const Picture stageClear = game_testing::ReadDds(folder / "Grafik" / "Con1.dds");
    int firstStageClear = -1;
    int firstGameOver = -1;
    int firstTable = -1;
    int levelStrips = 0;
    for (int i = 0; i < int(run.frames.size()); ++i) {
        const Picture frame = game_testing::ReadPng(run.frames[i]);
        ASSERT_EQ(frame.width, 800) << run.frames[i];
        levelStrips += BrightPixels(frame, 180, 565, 330, 585) > 20;
        if (firstStageClear < 0 && ShowsOverlay(frame, stageClear)) {
            firstStageClear = i;
        }
        if (firstGameOver < 0 && ShowsOverlay(frame, gameOver)) {
            firstGameOver = i;
        }
        // The table: "1." at (240, 200), the winner's name at (300, 200) and the score, over the veil.
        if (firstGameOver >= 0 && firstTable < 0 && BrightPixels(frame, 240, 200, 260, 218) > 5 &&
            BrightPixels(frame, 300, 200, 360, 218) > 10 && BrightPixels(frame, 550, 200, 640, 218) > 10) {
            firstTable = i;
        }
    }
    EXPECT_GT(levelStrips, 10) << "level mode shows its stage and diamonds";
    EXPECT_GE(firstStageClear, 0) << "no frame shows the stage-clear picture";
    EXPECT_GT(firstGameOver, firstStageClear) << "no game-over picture after the stage clear";
    EXPECT_GT(firstTable, firstGameOver) << "no highscore table after the game-over picture";
}

TEST(EndToEnd, UndoBeforeTheFirstLeftClickRestoresTheDealtBoardNotABoardOfZeros) {
    const game_testing::GameFolder folder;
    const auto run =
        folder.RunHeadless("wait 3\nrclick 400 300\nwait 4\nclose\n", {{"ZONKEL_DEAL_TIME", "31337"}});
    ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
    ASSERT_GE(run.frames.size(), 5u);
    const Picture before = game_testing::ReadPng(run.frames[1]);
    const Picture after = game_testing::ReadPng(run.frames.back());
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            ASSERT_LE(ColourDistance(CellCentre(before, x, y), CellCentre(after, x, y)), 3) << x << "," << y;
        }
    }
}

TEST(EndToEnd, ChosenBackgroundIsKeptForTheNextStartBadChoicesChangeNothingAndAGoneOneFallsBack) {
    const game_testing::GameFolder folder;
    const fs::path mine = folder / "mine.jpg";
    fs::copy_file(folder / "Grafik" / "Ovetta.jpg", mine);
    testing_support::WriteFile(folder / "notes.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
    const auto chosen = folder.RunHeadless("wait 3\nfile " + mine.string() +
                                           "\nmenu 32781\nwait 3\nfile\nmenu 32781\n" + "wait 3\nfile " +
                                           (folder / "notes.jpg").string() + "\nmenu 32781\nwait 3\nclose\n");
    std::vector<uint8_t> stored = folder.Setting("dsx12");
    stored.push_back(0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stored.data())), mine.string());
    const std::vector<uint32_t> chosenMargin = RightMargin(chosen, true);
    EXPECT_GT(Differences(RightMargin(chosen, false), chosenMargin), 40)
        << "the chosen picture does not show";

    EXPECT_EQ(Differences(RightMargin(folder.RunHeadless("wait 2\nclose\n"), false), chosenMargin), 0)
        << "the next start shows the chosen picture";
    fs::remove(mine);
    EXPECT_EQ(Differences(RightMargin(folder.RunHeadless("wait 2\nclose\n"), false), chosenMargin), 0)
        << "\"Grafik\\Ovetta.jpg\" stands in for a stored picture that is gone";
}

} // namespace
