// The program's process-wide state beside the board: its window and instance, the engine objects it
// draws with, the texture ids of its pictures, and which overlay the click sequence is showing.
#pragma once

#include "win32/windows_base.h"

class CD3DFont;
class D2DManager;
class GFXMain;

constexpr int STONE_KINDS = 5;
constexpr int VIRTUAL_WIDTH = 800;
constexpr int VIRTUAL_HEIGHT = 600;
constexpr float PROGRAM_VERSION = 1.0f;

// What the window shows over the board; only a left click moves the sequence on.
enum OverlayStates {
    OVERLAY_NONE = 0,
    OVERLAY_GAME_OVER = 1,
    OVERLAY_STAGE_CLEAR = 2,
    OVERLAY_HIGHSCORES = 3
};

extern HINSTANCE AppInstance;
extern HWND MainWindow;
extern char WindowClassName[100];
extern GFXMain* EngineRoot;
extern D2DManager* Layer2D;
extern CD3DFont* GameFont;
extern int BackgroundTexture;
extern int StoneTextures[STONE_KINDS];
extern int GameOverTexture;
extern int StageClearTexture;
extern int32_t OverlayState;
