// Storage of the program's process-wide state.
#include "program_state.h"

HINSTANCE AppInstance = nullptr;
HWND MainWindow = nullptr;
char WindowClassName[100] = {};
GFXMain* EngineRoot = nullptr;
D2DManager* Layer2D = nullptr;
CD3DFont* GameFont = nullptr;
int BackgroundTexture = 0;
int StoneTextures[STONE_KINDS] = {};
int GameOverTexture = 0;
int StageClearTexture = 0;
int32_t OverlayState = OVERLAY_NONE;
