// Board rules: group scores, lonely stones, empty and margin cells, gravity and column closing with
// their sounds, quotas in both modes, the end-of-board test and dealing with a known seed.
#include "board.h"

#include "win32/mmsystem.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Rows top to bottom: '.' empty, '0'..'4' a colour. Missing rows and columns are filled with a
// checkerboard of colours 3 and 4 that holds no group of its own; '#' fills the whole board with 2.
void SetBoard(const std::vector<std::string>& rows) {
    const bool full = !rows.empty() && rows[0] == "#";
    for (int y = 0; y < BOARD_ROWS; ++y) {
        for (int x = 0; x < BOARD_COLUMNS; ++x) {
            const char c = !full && y < int(rows.size()) && x < int(rows[y].size()) ? rows[y][x] : '?';
            Board[x][y] = full                     ? 2
                          : c == '.'               ? EMPTY_CELL
                          : (c >= '0' && c <= '4') ? c - '0'
                                                   : 3 + (x + y) % 2;
        }
    }
}

std::vector<int32_t> Column(int x) {
    return std::vector<int32_t>(Board[x], Board[x] + BOARD_ROWS);
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
    const struct {
        const char* name;
        std::vector<std::string> rows;
        int x, y;
        uint32_t score;
    } shapes[] = {
        {"vertical pair", {"0", "0"}, 0, 0, 2},
        {"horizontal pair", {"00"}, 1, 0, 2},
        {"L of four", {"0", "0", "00"}, 0, 0, 4},
        {"T of four", {"000", "?0"}, 1, 1, 4},
        {"2 x 2 block, top left", {"?00", "?00"}, 1, 0, 5},
        {"2 x 2 block, top right", {"?00", "?00"}, 2, 0, 5},
        {"2 x 2 block, bottom left", {"?00", "?00"}, 1, 1, 5},
        {"2 x 2 block, bottom right", {"?00", "?00"}, 2, 1, 5},
        {"3 x 3 block", {"000", "000", "000"}, 1, 1, 13},
        {"4 x 4 block", {"0000", "0000", "0000", "0000"}, 3, 0, 25},
        {"ring of eight", {"000", "0?0", "000"}, 0, 2, 9},
        {"board of one colour", {"#"}, 7, 5, 326},
    };
    for (const auto& shape : shapes) {
        SetBoard(shape.rows);
        Score = 0;
        RemoveStones(shape.x, shape.y);
        EXPECT_EQ(Score, shape.score) << shape.name;
    }
    EXPECT_EQ(zonkel::CountStones(), 0) << "the board of one colour is emptied";
}

TEST_F(BoardTest, EmptyCellAndLonelyStoneChangeNothingAndPlayNothing) {
    SetBoard({"0.0", "1"});
    int32_t before[BOARD_COLUMNS][BOARD_ROWS];
    std::memcpy(before, Board, sizeof(Board));
    for (auto [x, y] : {std::pair{1, 0}, std::pair{0, 0}, std::pair{2, 0}, std::pair{0, 1}}) {
        RemoveStones(x, y);
        EXPECT_EQ(std::memcmp(before, Board, sizeof(Board)), 0) << x << "," << y;
    }
    EXPECT_EQ(Score, 0u);
    EXPECT_TRUE(platform::SoundTrace().empty());
}

TEST_F(BoardTest, MarginCellsOutsideTheBoardRemoveNothing) {
    // Column 16 and rows 11 and 12 come from clicks in the window's margins; the edge stones next to
    // them form groups, so any stray read or write would show.
    SetBoard({"#"});
    for (auto [x, y] : {std::pair{16, 0}, std::pair{16, 10}, std::pair{0, 11}, std::pair{15, 12},
                        std::pair{16, 12}, std::pair{-1, 0}, std::pair{0, -1}}) {
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
            Board[x][y] = 1 + (x + y) % 2;
        }
    }
    RemoveStones(0, 5);
    EXPECT_EQ(Column(0), (std::vector<int32_t>{-1, -1, 3, 4, 3, 4, 3, 3, 4, 3, 4}));
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{"8QX00036.wav"}));
}

TEST_F(BoardTest, EmptiedAndEmptyColumnsCloseInOrderAndPlayTheClosingSoundAfterTheFall) {
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            Board[x][y] = (x == 5 || x == 6) ? 0 : (x == 10 || x == 13) ? EMPTY_CELL : x * 100 + y;
        }
    }
    RemoveStones(5, 3);
    const int sources[] = {0, 1, 2, 3, 4, 7, 8, 9, 11, 12, 14, 15};
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        std::vector<int32_t> expected(BOARD_ROWS, EMPTY_CELL);
        for (int y = 0; x < 12 && y < BOARD_ROWS; ++y) {
            expected[y] = sources[x] * 100 + y;
        }
        EXPECT_EQ(Column(x), expected) << "column " << x;
    }
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{"8QX00036.wav", "8SX00040.wav"}));
}

TEST_F(BoardTest, QuotaFollowsTheStageTargetInLevelModeAndCountsTheStonesInSolveMode) {
    SetBoard({"................", "........."}); // 25 stones gone
    // A stored play mode other than 0 counts as level mode too.
    for (int mode : {1, 2, -1}) {
        PlayMode = mode;
        for (auto [stage, quota] :
             {std::pair{1, -5}, std::pair{8, 160 - 25}, std::pair{9, 176 - 25}, std::pair{12, 176 - 25}}) {
            Stage = stage;
            UpdateQuota();
            EXPECT_EQ(Quota, quota) << "play mode " << mode << ", stage " << stage;
        }
    }
    PlayMode = 0;
    UpdateQuota();
    EXPECT_EQ(Quota, 176 - 25);
}

TEST_F(BoardTest, GameOverOnlyWhenNoEqualNeighboursRemain) {
    SetBoard({});
    EXPECT_TRUE(IsGameOver());
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{"8SX00030.wav"}));

    platform::ClearSoundTrace();
    Board[15][9] = Board[15][10]; // One pair in the bottom-right corner.
    EXPECT_FALSE(IsGameOver());
    EXPECT_TRUE(platform::SoundTrace().empty());

    std::memset(Board, 0xff, sizeof(Board));
    EXPECT_TRUE(IsGameOver());
    EXPECT_EQ(Quota, 0);
}

TEST_F(BoardTest, DealUsesTheSeededGeneratorAndGivesTheTopDrawTheLastColourNotColourCount) {
    // Seed 127 draws the top value 32767 for column 4, row 0: the 45th draw.
    constexpr std::time_t SECONDS = 127;
    zonkel::SetDealClockForTesting([] { return SECONDS; });
    for (int difficulty : {0, 1, 2, 7}) {
        Difficulty = difficulty;
        TargetReached = true;
        CreateBoard();
        const int colours = difficulty == 2 ? 5 : difficulty == 1 ? 4 : 3;
        EXPECT_EQ(ColourCount, colours);
        EXPECT_FALSE(TargetReached);
        // The generator, written out independently.
        uint32_t state = SECONDS;
        for (int x = 0; x < BOARD_COLUMNS; ++x) {
            for (int y = 0; y < BOARD_ROWS; ++y) {
                state = state * 214013u + 2531011u;
                const int drawn = int((state >> 16) & 0x7fff);
                ASSERT_EQ(drawn == 32767, x == 4 && y == 0);
                const int expected = drawn == 32767 ? colours - 1 : drawn * colours / 32767;
                ASSERT_EQ(Board[x][y], expected) << "difficulty " << difficulty << " cell " << x << "," << y;
            }
        }
    }
}

} // namespace
