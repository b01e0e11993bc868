// The program, headless, driven by scripts: inside the test process, where every frame is checked
// against the game's state, the menu's check marks and the stored settings, and the dialogs, the help
// page and the sounds are seen; and as its own process for the background picture across starts. The
// script is planned by playing the same boards here: the deals are seeded with known seconds.
#include "program_run.h"

#include "board.h"
#include "highscore_list.h"
#include "program_state.h"

#include "win32/mmsystem.h"
#include "win32/shellapi.h"
#include "win32/winuser.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;
using game_testing::ClickOn;
using game_testing::ColourDistance;
using game_testing::RandomPlay;
using game_testing::Picture;

namespace {

// Every deal takes the next of a row of seconds, so that each board of a run is another one.
std::time_t dealBase = 0;
int dealsSoFar = 0;

std::time_t CountingDealClock() {
    return dealBase + 7 * dealsSoFar++;
}

// What a frame shows of the game: board, score, stage, overlay, the menu's check marks and the stored
// play mode and difficulty.
struct Phase {
    std::vector<int32_t> board;
    uint32_t score = 0;
    int32_t stage = 0;
    int32_t overlay = 0;
    std::vector<UINT> checked;
    std::vector<uint8_t> modes;
    bool operator==(const Phase&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Phase& phase) {
    out << "stage " << phase.stage << ", score " << phase.score << ", overlay " << phase.overlay
        << ", checked";
    for (UINT id : phase.checked) {
        out << " " << id;
    }
    out << ", stored";
    for (uint8_t byte : phase.modes) {
        out << " " << int(byte);
    }
    out << ", board";
    for (size_t i = 0; i < phase.board.size(); ++i) {
        out << (i % BOARD_ROWS ? "" : " ") << (phase.board[i] < 0 ? '.' : char('0' + phase.board[i]));
    }
    return out;
}

// The run as the menu, the click flow and the undo are meant to go, written as a script and as the
// phases its frames must show. Boards come from the game's deal and removal rules, tested on their own.
class Planner {
public:
    explicit Planner(std::time_t base) {
        dealBase = base;
        dealsSoFar = 0;
        zonkel::SetDealClockForTesting(CountingDealClock);
        PlayMode = 0; // a first run: solve mode, medium
        Difficulty = 1;
        Stage = 1;
        Score = 0;
        Deal();
        Note();
    }
    ~Planner() {
        zonkel::SetDealClockForTesting(nullptr);
        Score = 0;
        Stage = 1;
        Quota = 20;
    }

    void Menu(UINT id) {
        script << "menu " << id << "\n" << (id == 32774 ? "dialog ok\n" : "") << "wait 2\n";
        if (id == 32773 || id == 32774) {
            return;
        }
        if (id >= 32778 && id <= 32780) {
            Difficulty = int32_t(id - 32778);
        } else if (id == 32782 || id == 32783) {
            PlayMode = int32_t(id - 32782);
        }
        Score = 0;
        Deal();
        std::memcpy(undoBoard, Board, sizeof(Board));
        undoScore = 0;
        Stage = 1;
        Note();
    }

    void Click(std::pair<int, int> cell) {
        script << (overlay == 1 ? "dialog ok Tester\n" : "") << "click " << ClickOn(cell) << "\nwait 2\n";
        std::memcpy(undoBoard, Board, sizeof(Board));
        undoScore = Score;
        if (overlay == 0) {
            RemoveStones(cell.first, cell.second);
            if (IsGameOver()) {
                overlay = Quota > 0 ? 1 : 2;
            }
        } else if (overlay == 1) {
            winnerScore = Score;
            overlay = 3;
        } else {
            if (overlay == 3) {
                Score = 0;
                Stage = 0;
            }
            Stage += 1;
            Deal();
            overlay = 0;
        }
        Note();
    }

    void RightClick() {
        script << "rclick 400 300\nwait 2\n";
        std::memcpy(Board, undoBoard, sizeof(Board));
        Score = undoScore;
        Note();
    }

    int Overlay() const { return overlay; }
    std::string Script() const { return script.str() + "wait 4\nclose\n"; }

    std::vector<Phase> phases;
    // Phases that begin with a new deal, with the number of colours the difficulty deals.
    std::vector<std::pair<size_t, size_t>> deals;
    uint32_t winnerScore = 0;

private:
    void Deal() {
        CreateBoard();
        deals.emplace_back(phases.size(), Difficulty == 2 ? 5 : Difficulty == 1 ? 4 : 3);
    }
    void Note() {
        Phase phase{std::vector<int32_t>(&Board[0][0], &Board[0][0] + BOARD_CELLS),
                    Score,
                    Stage,
                    overlay,
                    std::vector<UINT>{UINT(32778 + Difficulty), UINT(32782 + PlayMode)},
                    std::vector<uint8_t>{uint8_t(PlayMode), 0, 0, 0, uint8_t(Difficulty), 0, 0, 0}};
        if (phases.empty() || !(phases.back() == phase)) {
            phases.push_back(phase);
        }
    }

    std::ostringstream script;
    int overlay = 0;
    int32_t undoBoard[BOARD_COLUMNS][BOARD_ROWS] = {};
    uint32_t undoScore = 0;
};

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

// The run: every menu command, a solve-mode board emptied to its stage-clear picture, undo at the picture,
// the game over, the name, the table and the next game.
bool PlanRun(Planner& plan) {
    plan.Menu(32774);                                     // Credits
    plan.Menu(32773);                                     // How to Play
    for (UINT id : {32780, 32783, 32779, 32782, 32778}) { // hard, level, medium, solve, easy
        plan.Menu(id);
    }
    plan.Click(RandomPlay(false).front());
    plan.Menu(105); // a new game; undo keeps its board, not the one before the click
    plan.RightClick();
    const std::vector<std::pair<int, int>> clearing = RandomPlay(true);
    plan.Click(clearing.front());
    plan.RightClick();
    for (const auto& cell : clearing) {
        plan.Click(cell);
    }
    if (plan.Overlay() != 2) {
        return false;
    }
    plan.Click({7, 5}); // stage 2, dealt
    plan.RightClick();  // back to the emptied board, still at stage 2
    plan.Click({7, 5}); // an empty board is cleared again
    plan.Click({7, 5}); // stage 3
    for (const auto& cell : RandomPlay(false)) {
        plan.Click(cell);
    }
    plan.RightClick();  // undo under the game-over picture, which stays
    plan.Click({7, 5}); // the name, then the table
    plan.Click({7, 5}); // a new game at stage 1 with score 0
    plan.Click(RandomPlay(false).front());
    return plan.winnerScore > 180;
}

TEST(EndToEnd, EveryMenuCommandAStageClearedInSolveModeUndoAtEachPictureAndTheNextGame) {
    std::unique_ptr<Planner> plan;
    std::time_t base = 1000;
    for (; base < 1100; ++base) {
        plan = std::make_unique<Planner>(base);
        if (PlanRun(*plan)) {
            break;
        }
        plan.reset();
    }
    ASSERT_TRUE(plan) << "no deal time gives a clearable board and a game over";
    Score = 0; // the start values the planning changed
    Stage = 1;
    Quota = 20;
    platform::ClearSoundTrace();

    const game_testing::GameFolder folder;
    const Picture gameOver = game_testing::ReadDds(folder / "Grafik" / "Gov.dds");
    const Picture stageClear = game_testing::ReadDds(folder / "Grafik" / "Con1.dds");
    uint32_t stoneCentres[5];
    for (int i = 0; i < 5; ++i) {
        stoneCentres[i] =
            game_testing::ReadDds(folder / "Grafik" / ("stone" + std::to_string(i + 1) + ".dds")).At(24, 24);
    }
    std::vector<Phase> seen;
    std::vector<std::string> faults;
    auto onFrame = [&](const platform::PresentedFrame& presented) {
        const Picture frame{presented.width, presented.height, presented.pixels};
        Phase phase{std::vector<int32_t>(&Board[0][0], &Board[0][0] + BOARD_CELLS),
                    Score,
                    Stage,
                    OverlayState,
                    {},
                    {}};
        for (UINT id : {32778u, 32779u, 32780u, 32782u, 32783u}) {
            if (GetMenuState(GetMenu(MainWindow), id, MF_BYCOMMAND) & MF_CHECKED) {
                phase.checked.push_back(id);
            }
        }
        phase.modes = folder.Setting("dsx13");
        if (seen.empty() || !(seen.back() == phase)) {
            seen.push_back(phase);
        }
        const std::string where = "frame " + std::to_string(presented.serial) + ": ";
        // Colour c is the picture "Grafik\stone<c+1>.dds".
        for (int x = 0; OverlayState == 0 && x < BOARD_COLUMNS; ++x) {
            for (int y = 0; y < BOARD_ROWS; ++y) {
                if (Board[x][y] >= 0 &&
                    ColourDistance(CellCentre(frame, x, y), stoneCentres[Board[x][y]]) > 8) {
                    faults.push_back(where + "cell " + std::to_string(x) + "," + std::to_string(y) +
                                     " does not show its colour's stone");
                }
            }
        }
        if (ShowsOverlay(frame, gameOver) != (OverlayState == 1) ||
            ShowsOverlay(frame, stageClear) != (OverlayState == 2)) {
            faults.push_back(where + "the picture does not match overlay " + std::to_string(OverlayState));
        }
        // The table: "1." at (240, 200), the best name at (300, 200) and its score at (550, 200).
        const bool table = BrightPixels(frame, 240, 200, 260, 218) > 5 &&
                           BrightPixels(frame, 300, 200, 360, 218) > 10 &&
                           BrightPixels(frame, 550, 200, 640, 218) > 10;
        if (OverlayState != 0 && table != (OverlayState == 3)) {
            faults.push_back(where + "the highscore table does not match overlay " +
                             std::to_string(OverlayState));
        }
        if ((BrightPixels(frame, 180, 565, 330, 585) > 20) != (PlayMode != 0)) {
            faults.push_back(where + "the strip's stage and diamonds do not match play mode " +
                             std::to_string(PlayMode));
        }
    };
    std::vector<std::string> dialogs;
    dealBase = base;
    dealsSoFar = 0;
    zonkel::SetDealClockForTesting(CountingDealClock);
    ASSERT_EQ(folder.RunInProcess(plan->Script(), onFrame, &dialogs), 0) << plan->Script();

    for (const std::string& fault : faults) {
        ADD_FAILURE() << fault;
    }
    for (size_t i = 0; i < std::max(seen.size(), plan->phases.size()); ++i) {
        ASSERT_LT(i, seen.size()) << "missing phase " << plan->phases[i];
        ASSERT_LT(i, plan->phases.size()) << "unplanned phase " << seen[i];
        ASSERT_EQ(seen[i], plan->phases[i]) << "phase " << i << "\nscript:\n" << plan->Script();
    }
    for (const auto& [phase, colours] : plan->deals) {
        EXPECT_EQ(std::set<int32_t>(seen[phase].board.begin(), seen[phase].board.end()).size(), colours)
            << "colours dealt in phase " << phase;
    }
    EXPECT_EQ(dialogs, (std::vector<std::string>{"Credits", "please enter your name..."}));
    EXPECT_EQ(platform::ShellTrace(),
              (std::vector<std::string>{(folder / "Grafik" / "introduction.html").string()}));
    const std::vector<std::string> sounds = platform::SoundTrace();
    EXPECT_EQ(std::set<std::string>(sounds.begin(), sounds.end()),
              (std::set<std::string>{"8QX00036.wav", "8SX00040.wav", "8SX00030.wav", "8SX00057.wav"}));

    const std::vector<uint8_t> background = folder.Setting("dsx12");
    ASSERT_EQ(background.size(), 261u);
    EXPECT_STREQ(reinterpret_cast<const char*>(background.data()), "Grafik\\bk.jpg");
    // Six tables with their titles and files of ten default entries; the name went into solve mode, easy.
    const char* const titles[] = {"non level easy highscore", "non level medium highscore",
                                  "non level hard highscore", "level easy highscore",
                                  "level medium highscore",   "level hard highscore"};
    const char* const files[] = {"as1.roh", "as2.roh", "as3.roh", "al1.roh", "al2.roh", "al3.roh"};
    for (int t = 0; t < 6; ++t) {
        char title[HIGHSCORE_NAME_SIZE] = {};
        HighscoreTables[t].GetTitle(title);
        EXPECT_STREQ(title, titles[t]);
        ASSERT_TRUE(fs::exists(folder / files[t])) << files[t];
        EXPECT_EQ(fs::file_size(folder / files[t]), 2248u) << files[t];
        HighscoreList list;
        EXPECT_EQ(list.Load((folder / files[t]).c_str(), 10), HighscoreList::LOAD_READ) << files[t];
        for (int i = 0; i < 10; ++i) {
            char name[HIGHSCORE_NAME_SIZE] = {};
            uint32_t score = 0;
            ASSERT_TRUE(list.GetEntry(i, &score, name)) << files[t];
            const bool winner = t == 0 && i == 0;
            EXPECT_EQ(score, winner ? plan->winnerScore : 179u - i + (t == 0)) << files[t] << " row " << i;
            EXPECT_STREQ(name, winner ? "Tester" : HIGHSCORE_DEFAULT_NAME) << files[t] << " row " << i;
        }
    }
}

TEST(EndToEnd, StoredPlayModeTwoPlaysLevelModeWithoutACheckMarkAndEarlyUndoKeepsTheDealtBoard) {
    const game_testing::GameFolder folder;
    folder.StoreSetting("dsx13", {2, 0, 0, 0, 1, 0, 0, 0}); // play mode 2, medium
    zonkel::SetDealClockForTesting([] { return std::time_t(31337); });
    std::vector<Picture> frames;
    std::vector<std::vector<int32_t>> boards;
    auto onFrame = [&](const platform::PresentedFrame& presented) {
        frames.push_back({presented.width, presented.height, presented.pixels});
        boards.emplace_back(&Board[0][0], &Board[0][0] + BOARD_CELLS);
        for (UINT id : {32778u, 32779u, 32780u, 32782u, 32783u}) {
            EXPECT_EQ(GetMenuState(GetMenu(MainWindow), id, MF_BYCOMMAND) & MF_CHECKED,
                      id == 32779u ? MF_CHECKED : 0u)
                << "menu item " << id;
        }
        EXPECT_GT(BrightPixels(frames.back(), 180, 565, 330, 585), 20)
            << "the strip shows stage and diamonds";
    };
    std::vector<std::string> dialogs;
    ASSERT_EQ(folder.RunInProcess("wait 3\nrclick 400 300\nwait 4\nclose\n", onFrame, &dialogs), 0);
    ASSERT_GE(frames.size(), 5u);
    EXPECT_EQ(std::set<int32_t>(boards[0].begin(), boards[0].end()).size(), 4u)
        << "medium deals four colours";
    EXPECT_EQ(boards.back(), boards[0]) << "the right click before any left click keeps the dealt board";
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            ASSERT_LE(ColourDistance(CellCentre(frames[0], x, y), CellCentre(frames.back(), x, y)), 3)
                << x << "," << y;
        }
    }
}

TEST(EndToEnd, SettingsKeyThatCannotBeCreatedStartsInSolveModeMediumOnTheDefaultPictureAndKeepsNothing) {
    const game_testing::GameFolder folder;
    const fs::path blocker = folder.BlockSettings();
    const std::vector<uint8_t> blockerBytes = testing_support::ReadFile(blocker);
    // The default picture and the chosen one are one colour each here, unlike the fallback picture.
    constexpr uint32_t DEFAULT_COLOUR = 0xFF2E8A5C, CHOSEN_COLOUR = 0xFFC0503A;
    for (const auto& [name, colour] :
         {std::pair("Grafik/bk.jpg", DEFAULT_COLOUR), {"mine.jpg", CHOSEN_COLOUR}}) {
        const std::vector<uint32_t> uniform(64 * 48, colour);
        testing_support::WritePng(folder / name, uniform.data(), 64, 48);
    }
    // Per frame: the checked menu items, the colours on the board and the background's colour.
    std::vector<std::tuple<std::vector<UINT>, size_t, uint32_t>> seen;
    auto onFrame = [&](const platform::PresentedFrame& presented) {
        std::vector<UINT> checked;
        for (UINT id : {32778u, 32779u, 32780u, 32782u, 32783u}) {
            if (GetMenuState(GetMenu(MainWindow), id, MF_BYCOMMAND) & MF_CHECKED) {
                checked.push_back(id);
            }
        }
        const Picture frame{presented.width, presented.height, presented.pixels};
        const uint32_t margin = frame.At(792, 300);
        seen.emplace_back(checked, std::set<int32_t>(&Board[0][0], &Board[0][0] + BOARD_CELLS).size(),
                          ColourDistance(margin, DEFAULT_COLOUR) <= 2  ? DEFAULT_COLOUR
                          : ColourDistance(margin, CHOSEN_COLOUR) <= 2 ? CHOSEN_COLOUR
                                                                       : margin);
    };
    std::vector<std::string> dialogs;
    ASSERT_EQ(folder.RunInProcess("wait 2\nmenu 32780\nwait 2\nmenu 32783\nwait 2\nfile " +
                                      (folder / "mine.jpg").string() + "\nmenu 32781\nwait 2\nclose\n",
                                  onFrame, &dialogs),
              0);
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen.front(), std::tuple(std::vector<UINT>{32779, 32782}, size_t(4), DEFAULT_COLOUR));
    EXPECT_EQ(seen.back(), std::tuple(std::vector<UINT>{32780, 32783}, size_t(5), CHOSEN_COLOUR));
    EXPECT_EQ(dialogs, std::vector<std::string>{"Open File over the game, Files(*.bmp,*.jpg): *.BMP *.JPG"});
    // Neither the menu's choices nor the picture went anywhere: the blocking file is as it was.
    EXPECT_TRUE(fs::is_regular_file(blocker));
    EXPECT_EQ(testing_support::ReadFile(blocker), blockerBytes);
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

// A camera's photo is wider than the device's largest texture (4096): it is shrunk to fit, not refused,
// so its right end shows in the margin beside the board, which a cut-off picture would lose.
TEST(EndToEnd, PictureWiderThanTheLargestTextureBecomesTheBackground) {
    const game_testing::GameFolder folder;
    constexpr uint32_t WIDTH = 4200, HEIGHT = 40;
    const uint32_t left[2] = {0x3050A0, 0x40A050}, right[2] = {0xE08020, 0xA030C0}; // top, bottom halves
    std::vector<uint8_t> bmp = {'B', 'M'};
    auto put32 = [&bmp](uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            bmp.push_back(static_cast<uint8_t>(value >> shift));
        }
    };
    // File header, then an info header for 24-bit rows, bottom row first.
    for (uint32_t value : {54 + WIDTH * HEIGHT * 3, 0u, 54u, 40u, WIDTH, HEIGHT, 1u | 24u << 16, 0u,
                           WIDTH * HEIGHT * 3, 2835u, 2835u, 0u, 0u}) {
        put32(value);
    }
    for (uint32_t row = 0; row < HEIGHT; ++row) {
        const int half = row < HEIGHT / 2 ? 1 : 0;
        for (uint32_t x = 0; x < WIDTH; ++x) {
            const uint32_t colour = x < 4100 ? left[half] : right[half];
            bmp.insert(bmp.end(), {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
                                   static_cast<uint8_t>(colour >> 16)});
        }
    }
    const fs::path photo = folder / "photo.bmp";
    testing_support::WriteFile(photo, bmp);

    const auto run = folder.RunHeadless("wait 3\nfile " + photo.string() + "\nmenu 32781\nwait 3\nclose\n");
    ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
    std::vector<uint8_t> stored = folder.Setting("dsx12");
    stored.push_back(0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stored.data())), photo.string());
    ASSERT_FALSE(run.frames.empty());
    const Picture frame = game_testing::ReadPng(run.frames.back());
    for (int y = 20; y < 540; y += 20) { // above the status strip
        if (y >= 280 && y <= 320) {
            continue; // where the halves meet
        }
        const uint32_t expected = right[y < 300 ? 0 : 1];
        EXPECT_LE(ColourDistance(frame.At(792, y), expected), 3)
            << "at 792," << y << std::hex << ": 0x" << frame.At(792, y) << " instead of 0x" << expected;
    }
}

} // namespace
