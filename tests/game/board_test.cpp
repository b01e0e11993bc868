// Board rules: group scores, lonely stones and empty cells, gravity and column closing with their
// sounds, quotas in both modes, the end-of-board test and dealing with a known seed.
#include "board.h"

#include "win32/mmsystem.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Rows top to bottom, 16 characters each: '.' empty, '0'..'4' a colour. Missing rows and columns are
// filled with a checkerboard of colours 3 and 4 that holds no group of its own.
void SetBoard(const std::vector<std::string>& rows) {
    for (int y = 0; y < BOARD_ROWS; ++y) {
        for (int x = 0; x < BOARD_COLUMNS; ++x) {
            char c = (y < static_cast<int>(rows.size()) && x < static_cast<int>(rows[y].size())) ? rows[y][x]
                                                                                                 : '?';
            Board[x][y] = c == '.' ? EMPTY_CELL : (c >= '0' && c <= '4') ? c - '0' : 3 + (x + y) % 2;
        }
    }
}

void FillBoard(int colour) {
    for (auto& column : Board) {
        for (int32_t& cell : column) {
            cell = colour;
        }
    }
}

std::vector<int32_t> Column(int x) {
    return std::vector<int32_t>(Board[x], Board[x] + BOARD_ROWS);
}

uint32_t ScoreOfClick(int x, int y) {
    Score = 0;
    RemoveStones(x, y);
    return Score;
}

// The generator the board is dealt with, written out independently.
struct ReferenceRandom {
    uint32_t state;
    int Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7fff);
    }
};

std::time_t FixedSeconds() {
    return 1234567;
}

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ClearSoundTrace();
        Score = 0;
        Stage = 1;
        PlayMode = 0;
        Difficulty = 0;
    }
    void TearDown() override { zonkel::SetDealClockForTesting(nullptr); }
};

TEST_F(BoardTest, GroupsScoreTheirAdjacentPairsPlusOne) {
    struct Shape {
        const char* name;
        std::vector<std::string> rows;
        int clickX, clickY;
        uint32_t score;
    };
    const std::vector<Shape> shapes = {
        {"vertical pair", {"0", "0"}, 0, 0, 2},
        {"horizontal pair", {"00"}, 1, 0, 2},
        {"L of four", {"0", "0", "00"}, 0, 0, 4},
        {"T of four", {"000", "?0"}, 1, 1, 4},
        {"3 x 2 block", {"000", "000"}, 2, 1, 8},
        {"3 x 3 block", {"000", "000", "000"}, 1, 1, 13},
        {"4 x 4 block", {"0000", "0000", "0000", "0000"}, 3, 0, 25},
        {"ring of eight", {"000", "0?0", "000"}, 0, 2, 9},
    };
    for (const Shape& shape : shapes) {
        SetBoard(shape.rows);
        EXPECT_EQ(ScoreOfClick(shape.clickX, shape.clickY), shape.score) << shape.name;
    }
}

TEST_F(BoardTest, TwoByTwoBlockScoresFiveFromEachOfItsStones) {
    for (int corner = 0; corner < 4; ++corner) {
        SetBoard({"?00", "?00"});
        EXPECT_EQ(ScoreOfClick(1 + corner % 2, corner / 2), 5u) << "stone " << corner;
    }
}

TEST_F(BoardTest, BoardOfOneColourScores326AndEmptiesTheBoard) {
    FillBoard(2);
    EXPECT_EQ(ScoreOfClick(7, 5), 326u);
    EXPECT_EQ(zonkel::CountStones(), 0);
}

TEST_F(BoardTest, EmptyCellAndLonelyStoneChangeNothingAndPlayNothing) {
    SetBoard({"0.0", "1"});
    int32_t before[BOARD_COLUMNS][BOARD_ROWS];
    std::memcpy(before, Board, sizeof(Board));
    Score = 7;
    for (auto [x, y] : {std::pair{1, 0}, std::pair{0, 0}, std::pair{2, 0}, std::pair{0, 1}}) {
        RemoveStones(x, y);
        EXPECT_EQ(std::memcmp(before, Board, sizeof(Board)), 0) << x << "," << y;
        EXPECT_EQ(Score, 7u) << x << "," << y;
    }
    EXPECT_TRUE(platform::SoundTrace().empty());
}

TEST_F(BoardTest, MarginCellsOutsideTheBoardRemoveNothing) {
    // Column 16 and rows 11 and 12 come from clicks in the window's margins; the edge stones next to
    // them form groups, so any stray read or write would show.
    FillBoard(1);
    Score = 0;
    const std::vector<std::pair<int, int>> cells = {{16, 0},  {16, 10}, {0, 11}, {15, 12},
                                                    {16, 12}, {-1, 0},  {0, -1}};
    for (auto [x, y] : cells) {
        RemoveStones(x, y);
        EXPECT_EQ(zonkel::CountStones(), BOARD_CELLS) << x << "," << y;
    }
    EXPECT_EQ(Score, 0u);
    EXPECT_TRUE(platform::SoundTrace().empty());
}

TEST_F(BoardTest, StonesAboveAGapFallInTheirOldOrder) {
    // Column 0 from the top: 3 4 3 4 3 0 0 3 4 3 4 -> the pair goes, the five above fall by two.
    SetBoard({"3", "4", "3", "4", "3", "0", "0", "3", "4", "3", "4"});
    for (int x = 1; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            Board[x][y] = (x + y) % 2 == 0 ? 1 : 2;
        }
    }
    RemoveStones(0, 5);
    EXPECT_EQ(Column(0), (std::vector<int32_t>{-1, -1, 3, 4, 3, 4, 3, 3, 4, 3, 4}));
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{SOUND_STONES_FALL}));
}

TEST_F(BoardTest, TwoEmptiedColumnsCloseAndPlayTheClosingSoundAfterTheFall) {
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            Board[x][y] = (x == 5 || x == 6) ? 0 : x * 100 + y;
        }
    }
    RemoveStones(5, 3);
    for (int x = 0; x < 14; ++x) {
        const int source = x < 5 ? x : x + 2;
        for (int y = 0; y < BOARD_ROWS; ++y) {
            ASSERT_EQ(Board[x][y], source * 100 + y) << "column " << x << " row " << y;
        }
    }
    for (int x = 14; x < BOARD_COLUMNS; ++x) {
        EXPECT_EQ(Column(x), std::vector<int32_t>(BOARD_ROWS, EMPTY_CELL)) << "column " << x;
    }
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{SOUND_STONES_FALL, SOUND_COLUMNS_CLOSE}));
}

TEST_F(BoardTest, ColumnsRightOfSeveralGapsEndPackedFromTheLeft) {
    SetBoard({});
    for (int x : {1, 2, 3, 8, 9, 13}) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            Board[x][y] = EMPTY_CELL;
        }
    }
    CollapseBoard();
    for (int x = 0; x < 10; ++x) {
        EXPECT_NE(Board[x][BOARD_ROWS - 1], EMPTY_CELL) << "column " << x;
    }
    for (int x = 10; x < BOARD_COLUMNS; ++x) {
        EXPECT_EQ(Column(x), std::vector<int32_t>(BOARD_ROWS, EMPTY_CELL)) << "column " << x;
    }
}

TEST_F(BoardTest, LevelModeQuotaFollowsTheStageTargetUntilStageNine) {
    PlayMode = 1;
    SetBoard({});
    for (int i = 0; i < 25; ++i) {
        Board[i / BOARD_ROWS][i % BOARD_ROWS] = EMPTY_CELL;
    }
    Stage = 1;
    UpdateQuota();
    EXPECT_EQ(Quota, -5);
    Stage = 8;
    UpdateQuota();
    EXPECT_EQ(Quota, 160 - 25);
    Stage = 9;
    UpdateQuota();
    EXPECT_EQ(Quota, 176 - 25);
    Stage = 12;
    UpdateQuota();
    EXPECT_EQ(Quota, 176 - 25);
}

TEST_F(BoardTest, SolveModeQuotaIsTheStonesLeft) {
    PlayMode = 0;
    Stage = 3;
    SetBoard({"...."});
    UpdateQuota();
    EXPECT_EQ(Quota, 172);
}

TEST_F(BoardTest, GameOverOnlyWhenNoEqualNeighboursRemain) {
    SetBoard({});
    EXPECT_TRUE(IsGameOver());
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{SOUND_NO_MOVE_LEFT}));

    platform::ClearSoundTrace();
    SetBoard({});
    Board[15][9] = Board[15][10]; // One pair in the bottom-right corner.
    EXPECT_FALSE(IsGameOver());
    EXPECT_TRUE(platform::SoundTrace().empty());

    FillBoard(EMPTY_CELL);
    EXPECT_TRUE(IsGameOver());
    EXPECT_EQ(Quota, 0);
}

TEST_F(BoardTest, DealUsesTheSeededGeneratorAndNeverColourCount) {
    zonkel::SetDealClockForTesting(FixedSeconds);
    for (int difficulty : {0, 1, 2, 7}) {
        Difficulty = difficulty;
        TargetReached = true;
        CreateBoard();
        const int colours = difficulty == 2 ? 5 : difficulty == 1 ? 4 : 3;
        EXPECT_EQ(ColourCount, colours);
        EXPECT_FALSE(TargetReached);
        ReferenceRandom reference{static_cast<uint32_t>(FixedSeconds())};
        for (int x = 0; x < BOARD_COLUMNS; ++x) {
            for (int y = 0; y < BOARD_ROWS; ++y) {
                int expected = reference.Next() * colours / 32767;
                expected = expected < colours ? expected : colours - 1;
                ASSERT_EQ(Board[x][y], expected) << "difficulty " << difficulty << " cell " << x << "," << y;
                ASSERT_LT(Board[x][y], colours);
            }
        }
    }
}

TEST_F(BoardTest, NewGameResetsScoreAndStageTakesTheUndoCopyAndKeepsQuota) {
    zonkel::SetDealClockForTesting(FixedSeconds);
    Score = 99;
    Stage = 4;
    Quota = -3;
    UndoScore = 5;
    NewGame();
    EXPECT_EQ(Score, 0u);
    EXPECT_EQ(UndoScore, 0u);
    EXPECT_EQ(Stage, 1);
    EXPECT_EQ(Quota, -3);
    EXPECT_EQ(std::memcmp(UndoBoard, Board, sizeof(Board)), 0);
}

} // namespace
