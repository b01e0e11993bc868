// One frame of the game. The flash advances by a fixed step per frame rather than by elapsed time: the
// step comes from the previous time minus the current one as an unsigned difference, which is close to
// 2^32 for any short frame and 0 for a frame within the same millisecond.
#include "frame_renderer.h"

#include "board.h"
#include "highscore_list.h"
#include "program_state.h"

#include "win32/mmsystem.h"

#include <cstdio>

int32_t FlashState = 0;
float FlashAlpha = 0.0f;
uint32_t BestScore = 0;

namespace {

constexpr float FLASH_STEP_DIVISOR = 200000000.0f;
constexpr int STRIP_TOP = 545;
constexpr float STRIP_TEXT_Y = 565.0f;
constexpr float TABLE_FIRST_ROW_Y = 200.0f;
constexpr float TABLE_ROW_HEIGHT = 25.0f;

FrameCanvas* canvas = nullptr;
bool clockStarted = false;
DWORD lastFrameTime = 0;

void DrawVeil(unsigned long argb) {
    RECT screen = {0, 0, VIRTUAL_WIDTH, VIRTUAL_HEIGHT};
    canvas->DrawRect(argb, &screen);
}

void DrawFlashVeil() {
    const unsigned long alpha = static_cast<unsigned long>(static_cast<int>(FlashAlpha) & 255);
    DrawVeil(alpha << 24 | 0x00FFFFFFu);
}

void DrawPicture(int textureId) {
    canvas->DrawTextur(144, 172, 512, 256, textureId, 255, 0.0, true);
}

void DrawShadowedText(float x, float y, const char* text) {
    canvas->DrawTextA(x - 1, y - 1, TEXT_SHADOW, text, 0);
    canvas->DrawTextA(x, y, TEXT_WHITE, text, 0);
}

void DrawHighscoreTable() {
    DrawVeil(VEIL_COLOUR);
    HighscoreList& table = CurrentHighscoreTable();
    char text[HIGHSCORE_NAME_SIZE + 32];
    table.GetTitle(text);
    DrawShadowedText(300, 160, text);
    for (int i = 0; i < table.GetCount(); ++i) {
        char name[HIGHSCORE_NAME_SIZE] = {};
        uint32_t score = 0;
        table.GetEntry(i, &score, name);
        const float y = TABLE_FIRST_ROW_Y + TABLE_ROW_HEIGHT * static_cast<float>(i);
        DrawShadowedText(300, y, name);
        std::snprintf(text, sizeof(text), "score %ld", static_cast<long>(score));
        DrawShadowedText(550, y, text);
        std::snprintf(text, sizeof(text), "%ld.", static_cast<long>(i + 1));
        DrawShadowedText(240, y, text);
    }
}

void DrawStatusStrip() {
    RECT strip = {0, STRIP_TOP, VIRTUAL_WIDTH, VIRTUAL_HEIGHT};
    canvas->DrawRect(VEIL_COLOUR, &strip);
    RECT line = {0, STRIP_TOP, VIRTUAL_WIDTH, STRIP_TOP + 1};
    canvas->DrawRect(STRIP_LINE_COLOUR, &line);

    char text[64];
    std::snprintf(text, sizeof(text), "score: %ld", static_cast<long>(Score));
    canvas->DrawTextA(20, STRIP_TEXT_Y, TEXT_WHITE, text, 0);
    if (PlayMode != 0) {
        std::snprintf(text, sizeof(text), "stage: %ld", static_cast<long>(Stage));
        canvas->DrawTextA(180, STRIP_TEXT_Y, TEXT_WHITE, text, 0);
        if (Quota < 0) {
            Quota = 0;
        }
        std::snprintf(text, sizeof(text), "diamonds: %ld", static_cast<long>(Quota));
        canvas->DrawTextA(350, STRIP_TEXT_Y, TEXT_WHITE, text, 0);
    }
    uint32_t best = 0;
    char name[HIGHSCORE_NAME_SIZE];
    if (CurrentHighscoreTable().GetEntry(0, &best, name)) {
        BestScore = best;
    }
    std::snprintf(text, sizeof(text), "best score: %ld", static_cast<long>(BestScore));
    canvas->DrawTextA(600, STRIP_TEXT_Y, TEXT_WHITE, text, 0);
}

} // namespace

namespace zonkel {

void SetFrameCanvas(FrameCanvas* newCanvas) {
    canvas = newCanvas;
}

void ResetFrameStateForTesting() {
    clockStarted = false;
    FlashState = 0;
    FlashAlpha = 0.0f;
    BestScore = 0;
}

} // namespace zonkel

void RenderFrame() {
    if (!canvas) {
        return;
    }
    if (!clockStarted) {
        lastFrameTime = timeGetTime();
        clockStarted = true;
    }
    UpdateQuota();

    const DWORD now = timeGetTime();
    const float elapsed = static_cast<float>(static_cast<DWORD>(lastFrameTime - now));
    lastFrameTime = timeGetTime();
    const float step = elapsed / FLASH_STEP_DIVISOR;

    canvas->DrawTextur(0, 0, VIRTUAL_WIDTH, VIRTUAL_HEIGHT, BackgroundTexture, 255, 0.0, true);

    if (!TargetReached && Quota <= 0) {
        FlashState = 1;
        PlaySoundA(SOUND_TARGET_REACHED, nullptr, SND_FILENAME | SND_ASYNC);
        TargetReached = true;
    }
    if (FlashState == 1) {
        FlashAlpha += step;
        if (FlashAlpha >= 255.0f) {
            FlashAlpha = 255.0f;
            FlashState = 2;
        }
        DrawFlashVeil();
    }
    if (FlashState == 2) {
        FlashAlpha -= step;
        if (FlashAlpha <= 0.0f) {
            FlashAlpha = 0.0f;
            FlashState = 0;
        }
        DrawFlashVeil();
    }

    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            const int32_t colour = Board[x][y];
            if (colour == EMPTY_CELL) {
                continue;
            }
            // Colours come from the board rules (0..4); anything else has no picture to show.
            const int texture = colour >= 0 && colour < STONE_KINDS ? StoneTextures[colour] : -1;
            const float left = static_cast<float>(x * CELL_SIZE + BOARD_LEFT);
            const float top = static_cast<float>(y * CELL_SIZE + BOARD_TOP);
            canvas->DrawTextur(left, top, CELL_SIZE, CELL_SIZE, texture, 255, 0.0, true);
            canvas->DrawTextur(left, top, CELL_SIZE, CELL_SIZE, texture, 255, 0.0, true);
        }
    }

    if (OverlayState == OVERLAY_GAME_OVER) {
        DrawVeil(VEIL_COLOUR);
        DrawPicture(GameOverTexture);
    } else if (OverlayState == OVERLAY_STAGE_CLEAR) {
        DrawVeil(VEIL_COLOUR);
        DrawPicture(StageClearTexture);
    } else if (OverlayState == OVERLAY_HIGHSCORES) {
        DrawHighscoreTable();
    }

    DrawStatusStrip();
}
