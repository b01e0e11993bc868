// The texture-stage combiner: for stage 0 and, when enabled, stage 1, the colour and alpha operations
// DISABLE, SELECTARG1, SELECTARG2, MODULATE and ADD on the arguments DIFFUSE, CURRENT, TEXTURE and
// TFACTOR, on 8-bit channels. The stage pairs the engine uses get their own routines.
#pragma once

#include "d3d9/d3d9.h"

#include <cstdint>

namespace platform::d3d9 {

enum class StageOp { Disable, SelectArg1, SelectArg2, Modulate, Add };
enum class StageArg { Diffuse, Current, Texture, Factor };

struct StageSetup {
    StageOp colourOp = StageOp::Disable;
    StageArg colourArg1 = StageArg::Texture;
    StageArg colourArg2 = StageArg::Current;
    StageOp alphaOp = StageOp::Disable;
    StageArg alphaArg1 = StageArg::Texture;
    StageArg alphaArg2 = StageArg::Current;
};

struct CombineSetup {
    StageSetup stages[D3D_STAGE_COUNT];
    int stageCount = 0; // stages before the first disabled one
    uint32_t textureFactor = 0xFFFFFFFF;
};

// Per-pixel inputs of a span: diffuse null means every pixel has diffuseConstant.
struct CombineInputs {
    const uint32_t* diffuse = nullptr;
    uint32_t diffuseConstant = 0xFFFFFFFF;
    const uint32_t* texture[D3D_STAGE_COUNT] = {nullptr, nullptr};
};

// Returns the combined colours: scratch, or the texels themselves when the stages pass them through.
using CombineRoutine = const uint32_t* (*)(const CombineSetup& setup, const CombineInputs& in, int count,
                                           uint32_t* scratch);

// Resolves the texture-stage states (two stages of D3DTSS_COUNT entries).
CombineSetup MakeCombineSetup(const DWORD (*stageStates)[D3DTSS_COUNT], DWORD textureFactor);

// Whether stage `stage` reads its texture.
bool StageReadsTexture(const CombineSetup& setup, int stage);

// The routine for a setup and whether the diffuse colour is the same for the whole triangle.
CombineRoutine ChooseCombineRoutine(const CombineSetup& setup, bool constantDiffuse);

// a * b / 255 rounded, for 8-bit channel values.
inline uint32_t MultiplyChannel(uint32_t a, uint32_t b) {
    uint32_t product = a * b + 128;
    return (product + (product >> 8)) >> 8;
}

} // namespace platform::d3d9
