// Where a frame's drawing goes: the engine's 2D layer and the game font, or a recorder in tests. The
// calls carry exactly what the game hands to D2DManager and CD3DFont.
#pragma once

#include "win32/windows_base.h"

class FrameCanvas {
public:
    virtual ~FrameCanvas() = default;
    virtual void DrawTextur(float x, float y, float width, float height, int textureId, int alpha,
                            double angle, bool alphaBlend) = 0;
    virtual void DrawRect(unsigned long argb, RECT* rect) = 0;
    virtual void DrawTextA(float x, float y, DWORD colour, const char* text, DWORD flags) = 0;
};

// Draws through Layer2D and GameFont (program_state.h); a missing one leaves its elements out.
class EngineCanvas : public FrameCanvas {
public:
    void DrawTextur(float x, float y, float width, float height, int textureId, int alpha, double angle,
                    bool alphaBlend) override;
    void DrawRect(unsigned long argb, RECT* rect) override;
    void DrawTextA(float x, float y, DWORD colour, const char* text, DWORD flags) override;
};
