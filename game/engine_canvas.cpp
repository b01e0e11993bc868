// The canvas of the running program: the engine's 2D layer and the game's font.
#include "frame_canvas.h"

#include "program_state.h"

#include "d2d/d2d_manager.h"
#include "d2d/d3d_font.h"

void EngineCanvas::DrawTextur(float x, float y, float width, float height, int textureId, int alpha,
                              double angle, bool alphaBlend) {
    if (Layer2D) {
        Layer2D->DrawTextur(x, y, width, height, textureId, alpha, angle, alphaBlend);
    }
}

void EngineCanvas::DrawRect(unsigned long argb, RECT* rect) {
    if (Layer2D) {
        Layer2D->DrawRect(argb, rect);
    }
}

void EngineCanvas::DrawTextA(float x, float y, DWORD colour, const char* text, DWORD flags) {
    if (GameFont) {
        GameFont->DrawTextA(x, y, colour, text, flags);
    }
}
