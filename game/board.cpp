// The board rules: group removal by flood fill, gravity and column closing, quotas, the end-of-board
// test and dealing. The flood fill counts every pop of its stack, which gives a group its number of
// adjacent pairs plus one as score; that scoring is the game's, not an accident to correct.
#include "board.h"

#include "win32/mmsystem.h"

#include <cstdlib>
#include <utility>
#include <vector>

int32_t Board[BOARD_COLUMNS][BOARD_ROWS];
int32_t UndoBoard[BOARD_COLUMNS][BOARD_ROWS];
uint32_t Score = 0;
uint32_t UndoScore = 0;
int32_t UndoQuota = 0;
int32_t Stage = 1;
int32_t Quota = 20;
int32_t PlayMode = 0;
int32_t Difficulty = 0;
bool TargetReached = false;
int32_t ColourCount = 3;

namespace {

std::time_t CalendarSeconds() {
    return std::time(nullptr);
}

zonkel::DealClock dealClock = CalendarSeconds;

void PlayGameSound(const char* file) {
    PlaySoundA(file, nullptr, SND_FILENAME | SND_ASYNC);
}

bool OnBoard(int x, int y) {
    return x >= 0 && x < BOARD_COLUMNS && y >= 0 && y < BOARD_ROWS;
}

} // namespace

namespace zonkel {

void SetDealClockForTesting(DealClock clock) {
    dealClock = clock ? clock : CalendarSeconds;
}

int CountStones() {
    int stones = 0;
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            if (Board[x][y] != EMPTY_CELL) {
                ++stones;
            }
        }
    }
    return stones;
}

} // namespace zonkel

void RemoveStones(int x, int y) {
    // Clicks in the window's right and bottom margins map to column 16 and rows 11 and 12.
    if (!OnBoard(x, y)) {
        return;
    }
    const int32_t colour = Board[x][y];
    if (colour == EMPTY_CELL) {
        return;
    }
    std::vector<std::pair<int, int>> stack;
    stack.emplace_back(x, y);
    bool firstPop = true;
    while (!stack.empty()) {
        auto [px, py] = stack.back();
        stack.pop_back();
        Board[px][py] = EMPTY_CELL;
        ++Score;
        const size_t before = stack.size();
        if (py > 0 && Board[px][py - 1] == colour) {
            stack.emplace_back(px, py - 1);
        }
        if (py < BOARD_ROWS - 1 && Board[px][py + 1] == colour) {
            stack.emplace_back(px, py + 1);
        }
        if (px > 0 && Board[px - 1][py] == colour) {
            stack.emplace_back(px - 1, py);
        }
        if (px < BOARD_COLUMNS - 1 && Board[px + 1][py] == colour) {
            stack.emplace_back(px + 1, py);
        }
        if (firstPop && stack.size() == before) {
            // A lonely stone is no group: everything stays as it was.
            Board[x][y] = colour;
            --Score;
            return;
        }
        firstPop = false;
    }
    CollapseBoard();
}

void CollapseBoard() {
    PlayGameSound(SOUND_STONES_FALL);

    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = BOARD_ROWS - 2; y >= 0; --y) {
            if (Board[x][y] == EMPTY_CELL || Board[x][y + 1] != EMPTY_CELL) {
                continue;
            }
            int target = y;
            while (target < BOARD_ROWS - 1 && Board[x][target + 1] == EMPTY_CELL) {
                ++target;
            }
            Board[x][target] = Board[x][y];
            Board[x][y] = EMPTY_CELL;
        }
    }

    bool anyMoved = false;
    bool movedThisPass = true;
    while (movedThisPass) {
        movedThisPass = false;
        for (int x = 1; x < BOARD_COLUMNS; ++x) {
            if (Board[x][BOARD_ROWS - 1] != EMPTY_CELL && Board[x - 1][BOARD_ROWS - 1] == EMPTY_CELL) {
                for (int y = 0; y < BOARD_ROWS; ++y) {
                    Board[x - 1][y] = Board[x][y];
                    Board[x][y] = EMPTY_CELL;
                }
                movedThisPass = true;
                anyMoved = true;
            }
        }
    }
    if (anyMoved) {
        PlayGameSound(SOUND_COLUMNS_CLOSE);
    }
}

void UpdateQuota() {
    const int removed = BOARD_CELLS - zonkel::CountStones();
    if (PlayMode != 0) {
        const int target = Stage * STONES_PER_STAGE;
        Quota = target >= BOARD_CELLS ? BOARD_CELLS - removed : target - removed;
    } else {
        Quota = BOARD_CELLS - removed;
    }
}

bool IsGameOver() {
    UpdateQuota();
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            const int32_t colour = Board[x][y];
            if (colour == EMPTY_CELL) {
                continue;
            }
            if ((y > 0 && Board[x][y - 1] == colour) || (y < BOARD_ROWS - 1 && Board[x][y + 1] == colour) ||
                (x > 0 && Board[x - 1][y] == colour) ||
                (x < BOARD_COLUMNS - 1 && Board[x + 1][y] == colour)) {
                return false;
            }
        }
    }
    PlayGameSound(SOUND_NO_MOVE_LEFT);
    return true;
}

void CreateBoard() {
    TargetReached = false;
    ColourCount = Difficulty == 2 ? 5 : Difficulty == 1 ? 4 : 3;
    srand(static_cast<unsigned>(dealClock()));
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            const int colour = rand() * ColourCount / 32767;
            Board[x][y] = colour < ColourCount ? colour : ColourCount - 1;
        }
    }
}

void NewGame() {
    Score = 0;
    CreateBoard();
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            UndoBoard[x][y] = Board[x][y];
        }
    }
    UndoScore = Score;
    Stage = 1;
}
