// The game state and its rules: the 16 x 11 board of coloured stones, removing a clicked group with its
// score, stones falling and columns closing, the stage quota, the test for a remaining move and dealing
// a new board. Plain process-wide state, used by the window procedure and the frame drawing.
#pragma once

#include <cstdint>
#include <ctime>

constexpr int BOARD_COLUMNS = 16;
constexpr int BOARD_ROWS = 11;
constexpr int BOARD_CELLS = BOARD_COLUMNS * BOARD_ROWS;
constexpr int EMPTY_CELL = -1;
// A stage asks for this many stones more than the one before, capped at the whole board.
constexpr int STONES_PER_STAGE = 20;

constexpr const char* SOUND_STONES_FALL = "8QX00036.wav";
constexpr const char* SOUND_COLUMNS_CLOSE = "8SX00040.wav";
constexpr const char* SOUND_NO_MOVE_LEFT = "8SX00030.wav";

// Board[x][y]: column x from the left, row y from the top; stored column by column, so cell (x, y) is
// element x*11 + y. -1 is empty, otherwise the colour 0..ColourCount-1.
extern int32_t Board[BOARD_COLUMNS][BOARD_ROWS];
extern int32_t UndoBoard[BOARD_COLUMNS][BOARD_ROWS];
extern uint32_t Score;
extern uint32_t UndoScore;
extern int32_t UndoQuota;
extern int32_t Stage;
// Level mode: stones still to remove for the stage target; solve mode: stones left on the board.
extern int32_t Quota;
// 0 = "Solve Everything", anything else = "Play Level Mode".
extern int32_t PlayMode;
// 0 easy, 1 medium, 2 hard.
extern int32_t Difficulty;
extern bool TargetReached;
extern int32_t ColourCount;

// Removes the group of equal, edge-adjacent stones at (x, y), scores it and collapses the board.
// A cell outside the board, an empty cell or a stone without an equal neighbour changes nothing.
void RemoveStones(int x, int y);
void CollapseBoard();
void UpdateQuota();
// True when no two edge-adjacent stones share a colour (and plays the end-of-board sound).
bool IsGameOver();
void CreateBoard();
void NewGame();

namespace zonkel {

// The seconds that seed each deal; tests replace the calendar clock to deal known boards.
using DealClock = std::time_t (*)();
void SetDealClockForTesting(DealClock clock);

// Cells holding a stone.
int CountStones();

} // namespace zonkel
