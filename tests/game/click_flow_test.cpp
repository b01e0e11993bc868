// Mapping client positions of clicks to board cells, margins included, in windows of any size, and
// how a click that leaves no move ends the stage or the game.
#include "game_window.h"

#include "board.h"
#include "program_state.h"

#include <gtest/gtest.h>

namespace {

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
        EXPECT_EQ(std::pair(column, row), std::pair(c.column, c.row))
            << c.x << "," << c.y << " in " << c.width;
    }
}

TEST(ClickMapping, EmptyClientAreaMapsNothingInsteadOfDividingByZero) {
    int column = -1;
    int row = -1;
    EXPECT_FALSE(zonkel::MapClickToCell(10, 10, 0, 600, &column, &row));
    EXPECT_FALSE(zonkel::MapClickToCell(10, 10, 800, 0, &column, &row));
    EXPECT_EQ(column, -1);
}

TEST(ClickFlow, NoMoveLeftClearsTheStageAtQuotaZeroOrBelowInBothModesAndEndsTheGameAbove) {
    const struct {
        int playMode, stage, emptyBefore, overlay;
    } cases[] = {
        {0, 1, 174, OVERLAY_STAGE_CLEAR}, // the last pair: the board is empty
        {0, 1, 173, OVERLAY_GAME_OVER},   // one stone stays
        {1, 1, 18, OVERLAY_STAGE_CLEAR},  // 20 stones gone: the target exactly
        {1, 1, 17, OVERLAY_GAME_OVER},    // one stone short of it
        {1, 1, 30, OVERLAY_STAGE_CLEAR},  // beyond it
        {1, 2, 38, OVERLAY_STAGE_CLEAR},  // stage 2 asks for 40
    };
    for (const auto& c : cases) {
        // A checkerboard of colours 1 and 2 has no group; the pair of colour 0 at the bottom of column 0
        // is the last move. Cells are emptied from the right, each column from the top.
        for (int x = 0; x < BOARD_COLUMNS; ++x) {
            for (int y = 0; y < BOARD_ROWS; ++y) {
                Board[x][y] = x == 0 && y >= 9 ? 0 : 1 + (x + y) % 2;
            }
        }
        for (int i = 0; i < c.emptyBefore; ++i) {
            Board[15 - i / BOARD_ROWS][i % BOARD_ROWS] = EMPTY_CELL;
        }
        PlayMode = c.playMode;
        Stage = c.stage;
        OverlayState = OVERLAY_NONE;
        zonkel::HandleLeftClick(0, 10);
        EXPECT_EQ(zonkel::CountStones(), 174 - c.emptyBefore);
        EXPECT_EQ(OverlayState, c.overlay) << "play mode " << c.playMode << ", stage " << c.stage << ", "
                                           << c.emptyBefore + 2 << " stones gone";
    }
}

} // namespace
