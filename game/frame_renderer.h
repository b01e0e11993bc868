// Drawing one frame of the game into the virtual 800 x 600 screen: background, the white flash of a
// reached stage target, the stones, the game-over and stage-clear pictures, the highscore table and the
// status strip.
#pragma once

#include "frame_canvas.h"

#include <cstdint>

constexpr const char* SOUND_TARGET_REACHED = "8SX00057.wav";
constexpr int BOARD_LEFT = 15;
constexpr int BOARD_TOP = 15;
constexpr int CELL_SIZE = 48;
constexpr uint32_t VEIL_COLOUR = 0x96000000u;
constexpr uint32_t STRIP_LINE_COLOUR = 0x96FFFFFFu;
constexpr uint32_t TEXT_WHITE = 0xFFFFFFFFu;
constexpr uint32_t TEXT_SHADOW = 0xFF000000u;

// 0 off, 1 fading in, 2 fading out.
extern int32_t FlashState;
// Opacity of the flash veil, 0..255.
extern float FlashAlpha;
// Score of the current table's best entry, kept from the last frame that could fetch it.
extern uint32_t BestScore;

// Draws a frame on the installed canvas; does nothing before one is installed.
void RenderFrame();

namespace zonkel {

// The canvas RenderFrame draws on; the program installs the engine's, tests a recorder.
void SetFrameCanvas(FrameCanvas* canvas);

// Forgets the flash and the frame clock, as at program start.
void ResetFrameStateForTesting();

} // namespace zonkel
