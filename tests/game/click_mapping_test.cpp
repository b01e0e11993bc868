// Mapping client positions of clicks to board cells, margins included, in windows of any size.
#include "game_window.h"

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

} // namespace
