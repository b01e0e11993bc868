// The click flow without a window: mapping client positions to cells, the overlay sequence of a stage
// clear and a game over, the right-click undo, and clicks in the window's margins.
#include "game_window.h"

#include "board.h"
#include "highscore_list.h"
#include "program_state.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

std::time_t FixedSeconds() {
    return 4242;
}

void FillBoard(int colour) {
    for (auto& column : Board) {
        for (int32_t& cell : column) {
            cell = colour;
        }
    }
}

// A board with no move left: a checkerboard of colours 0 and 1.
void DealDeadBoard() {
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            Board[x][y] = (x + y) % 2;
        }
    }
}

class ClickFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        zonkel::SetDealClockForTesting(FixedSeconds);
        PlayMode = 1;
        Difficulty = 0;
        Stage = 1;
        Score = 0;
        Quota = 20;
        OverlayState = OVERLAY_NONE;
    }
    void TearDown() override { zonkel::SetDealClockForTesting(nullptr); }
};

TEST(ClickMapping, MarginsAndCellEdgesFollowTheVirtualScreen) {
    struct Case {
        int x, y, width, height, column, row;
    };
    const Case cases[] = {
        {5, 5, 800, 600, 0, 0},       {62, 62, 800, 600, 0, 0},     {63, 63, 800, 600, 1, 1},
        {200, 150, 400, 300, 8, 5},   {799, 599, 800, 600, 16, 12}, {782, 542, 800, 600, 15, 10},
        {783, 543, 800, 600, 16, 11}, {1599, 0, 1600, 1200, 16, 0},
    };
    for (const Case& c : cases) {
        int column = -1;
        int row = -1;
        ASSERT_TRUE(zonkel::MapClickToCell(c.x, c.y, c.width, c.height, &column, &row));
        EXPECT_EQ(column, c.column) << c.x << "," << c.y << " in " << c.width << "x" << c.height;
        EXPECT_EQ(row, c.row) << c.x << "," << c.y << " in " << c.width << "x" << c.height;
    }
}

TEST(ClickMapping, EmptyClientAreaMapsNothingInsteadOfDividingByZero) {
    int column = -1;
    int row = -1;
    EXPECT_FALSE(zonkel::MapClickToCell(10, 10, 0, 600, &column, &row));
    EXPECT_FALSE(zonkel::MapClickToCell(10, 10, 800, 0, &column, &row));
    EXPECT_EQ(column, -1);
}

TEST_F(ClickFlowTest, RemovingAGroupKeepsPlayingAndRightClickUndoesIt) {
    DealDeadBoard();
    Board[0][10] = 1; // Pairs with (0, 9) and (1, 10).
    int32_t before[BOARD_COLUMNS][BOARD_ROWS];
    std::memcpy(before, Board, sizeof(Board));
    UpdateQuota();
    const int32_t quotaBefore = Quota;

    zonkel::HandleLeftClick(0, 10);
    EXPECT_EQ(OverlayState, OVERLAY_NONE);
    EXPECT_EQ(Score, 3u);
    EXPECT_NE(std::memcmp(before, Board, sizeof(Board)), 0);

    for (int undo = 0; undo < 2; ++undo) {
        zonkel::RestoreUndoCopy();
        EXPECT_EQ(std::memcmp(before, Board, sizeof(Board)), 0) << "undo " << undo;
        EXPECT_EQ(Score, 0u);
        EXPECT_EQ(Quota, quotaBefore);
    }
}

TEST_F(ClickFlowTest, ClearedStageShowsItsPictureThenDealsTheNextStageKeepingTheScore) {
    FillBoard(EMPTY_CELL);
    Board[0][10] = 2;
    Board[0][9] = 2;
    Score = 100;
    Stage = 8;
    zonkel::HandleLeftClick(0, 10);
    EXPECT_EQ(OverlayState, OVERLAY_STAGE_CLEAR);
    EXPECT_EQ(Score, 102u);

    zonkel::HandleLeftClick(5, 5);
    EXPECT_EQ(OverlayState, OVERLAY_NONE);
    EXPECT_EQ(Stage, 9);
    EXPECT_EQ(Quota, 176) << "stage 9 asks for 180, capped at the board";
    EXPECT_EQ(Score, 102u);
    EXPECT_EQ(zonkel::CountStones(), BOARD_CELLS);

    // The undo copy was taken before the click that dealt the new stage.
    zonkel::RestoreUndoCopy();
    EXPECT_EQ(zonkel::CountStones(), 0);
    EXPECT_EQ(Stage, 9);
}

TEST_F(ClickFlowTest, GameOverWithoutATableEntryGoesToTheTableThenToANewGame) {
    PlayMode = 0;
    FillBoard(EMPTY_CELL);
    Board[0][9] = 0;
    Board[0][10] = 0;
    Board[1][10] = 1;
    Score = 5;
    zonkel::HandleLeftClick(0, 10);
    ASSERT_EQ(OverlayState, OVERLAY_GAME_OVER) << "stones are left in solve mode";

    // The table of this mode was never loaded, so the score cannot enter it and no dialog opens.
    ASSERT_FALSE(CurrentHighscoreTable().IsHighscore(Score));
    zonkel::HandleLeftClick(3, 3);
    EXPECT_EQ(OverlayState, OVERLAY_HIGHSCORES);

    zonkel::HandleLeftClick(3, 3);
    EXPECT_EQ(OverlayState, OVERLAY_NONE);
    EXPECT_EQ(Stage, 1);
    EXPECT_EQ(Score, 0u);
    EXPECT_EQ(zonkel::CountStones(), BOARD_CELLS);
}

TEST_F(ClickFlowTest, MarginClicksTouchNothingOutsideTheBoardButStillTakeTheUndoCopy) {
    DealDeadBoard();
    Board[0][10] = 1; // One move left, so the clicks do not end the game.
    int32_t before[BOARD_COLUMNS][BOARD_ROWS];
    std::memcpy(before, Board, sizeof(Board));
    std::memset(UndoBoard, 0, sizeof(UndoBoard));
    for (auto [column, row] : {std::pair{16, 0}, std::pair{16, 12}, std::pair{0, 11}, std::pair{15, 12}}) {
        zonkel::HandleLeftClick(column, row);
        EXPECT_EQ(std::memcmp(before, Board, sizeof(Board)), 0) << column << "," << row;
        EXPECT_EQ(OverlayState, OVERLAY_NONE);
    }
    EXPECT_EQ(std::memcmp(before, UndoBoard, sizeof(Board)), 0);
}

} // namespace
