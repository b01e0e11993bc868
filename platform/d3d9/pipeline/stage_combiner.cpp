// Combiner routines.
#include "d3d9/pipeline/stage_combiner.h"

#include <algorithm>

namespace platform::d3d9 {

namespace {

StageOp ToOp(DWORD value) {
    switch (value) {
    case D3DTOP_SELECTARG1:
        return StageOp::SelectArg1;
    case D3DTOP_SELECTARG2:
        return StageOp::SelectArg2;
    case D3DTOP_MODULATE:
        return StageOp::Modulate;
    case D3DTOP_ADD:
        return StageOp::Add;
    case D3DTOP_DISABLE:
        return StageOp::Disable;
    default:
        // Operations this device does not implement act as MODULATE, the default of stage 0.
        return StageOp::Modulate;
    }
}

StageArg ToArg(DWORD value) {
    switch (value & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
        return StageArg::Diffuse;
    case D3DTA_TEXTURE:
        return StageArg::Texture;
    case D3DTA_TFACTOR:
        return StageArg::Factor;
    default:
        return StageArg::Current;
    }
}

inline uint32_t ModulateColour(uint32_t a, uint32_t b) {
    return MultiplyChannel(a >> 24, b >> 24) << 24 | MultiplyChannel((a >> 16) & 255, (b >> 16) & 255) << 16 |
           MultiplyChannel((a >> 8) & 255, (b >> 8) & 255) << 8 | MultiplyChannel(a & 255, b & 255);
}

inline uint32_t AddColour(uint32_t a, uint32_t b) {
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        result |= std::min(((a >> shift) & 255) + ((b >> shift) & 255), 255u) << shift;
    }
    return result;
}

inline uint32_t Apply(StageOp op, uint32_t arg1, uint32_t arg2) {
    switch (op) {
    case StageOp::SelectArg1:
        return arg1;
    case StageOp::SelectArg2:
        return arg2;
    case StageOp::Modulate:
        return ModulateColour(arg1, arg2);
    default:
        return AddColour(arg1, arg2);
    }
}

// What a stage-0 channel group computes, for the specialised routines.
enum class Source { Diffuse, Texture, Modulate, Other };

Source Classify(StageOp op, StageArg arg1, StageArg arg2) {
    auto isDiffuse = [](StageArg a) { return a == StageArg::Diffuse || a == StageArg::Current; };
    switch (op) {
    case StageOp::Disable:
        return Source::Diffuse;
    case StageOp::SelectArg1:
        return isDiffuse(arg1)             ? Source::Diffuse
               : arg1 == StageArg::Texture ? Source::Texture
                                           : Source::Other;
    case StageOp::SelectArg2:
        return isDiffuse(arg2)             ? Source::Diffuse
               : arg2 == StageArg::Texture ? Source::Texture
                                           : Source::Other;
    case StageOp::Modulate:
        if ((arg1 == StageArg::Texture && isDiffuse(arg2)) ||
            (arg2 == StageArg::Texture && isDiffuse(arg1))) {
            return Source::Modulate;
        }
        return Source::Other;
    default:
        return Source::Other;
    }
}

template <Source C, Source A, bool kConstantDiffuse>
const uint32_t* CombineStage0(const CombineSetup&, const CombineInputs& in, int count, uint32_t* out) {
    const uint32_t* texture = in.texture[0];
    if constexpr (kConstantDiffuse && C != Source::Diffuse && A != Source::Diffuse) {
        // Texture modulated by opaque white is the texture itself, the common case of the 2D layer.
        bool colourIsTexture = C == Source::Texture || (in.diffuseConstant & 0x00FFFFFF) == 0x00FFFFFF;
        bool alphaIsTexture = A == Source::Texture || (in.diffuseConstant >> 24) == 0xFF;
        if (colourIsTexture && alphaIsTexture) {
            return texture;
        }
    }
    for (int i = 0; i < count; ++i) {
        uint32_t diffuse = kConstantDiffuse ? in.diffuseConstant : in.diffuse[i];
        uint32_t texel = (C == Source::Diffuse && A == Source::Diffuse) ? 0 : texture[i];
        uint32_t colour, alpha;
        if constexpr (C == Source::Diffuse) {
            colour = diffuse & 0x00FFFFFF;
        } else if constexpr (C == Source::Texture) {
            colour = texel & 0x00FFFFFF;
        } else {
            colour = ModulateColour(texel, diffuse) & 0x00FFFFFF;
        }
        if constexpr (A == Source::Diffuse) {
            alpha = diffuse >> 24;
        } else if constexpr (A == Source::Texture) {
            alpha = texel >> 24;
        } else {
            alpha = MultiplyChannel(texel >> 24, diffuse >> 24);
        }
        out[i] = colour | alpha << 24;
    }
    return out;
}

template <Source C, Source A> CombineRoutine Pick(bool constantDiffuse) {
    return constantDiffuse ? CombineStage0<C, A, true> : CombineStage0<C, A, false>;
}

template <Source C> CombineRoutine PickAlpha(Source alpha, bool constantDiffuse) {
    switch (alpha) {
    case Source::Diffuse:
        return Pick<C, Source::Diffuse>(constantDiffuse);
    case Source::Texture:
        return Pick<C, Source::Texture>(constantDiffuse);
    default:
        return Pick<C, Source::Modulate>(constantDiffuse);
    }
}

} // namespace

CombineSetup MakeCombineSetup(const DWORD (*stageStates)[D3DTSS_COUNT], DWORD textureFactor) {
    CombineSetup setup;
    setup.textureFactor = textureFactor;
    for (int stage = 0; stage < D3D_STAGE_COUNT; ++stage) {
        const DWORD* s = stageStates[stage];
        StageSetup& out = setup.stages[stage];
        out.colourOp = ToOp(s[D3DTSS_COLOROP]);
        out.colourArg1 = ToArg(s[D3DTSS_COLORARG1]);
        out.colourArg2 = ToArg(s[D3DTSS_COLORARG2]);
        out.alphaOp = ToOp(s[D3DTSS_ALPHAOP]);
        out.alphaArg1 = ToArg(s[D3DTSS_ALPHAARG1]);
        out.alphaArg2 = ToArg(s[D3DTSS_ALPHAARG2]);
    }
    // A disabled colour operation ends the chain of stages.
    setup.stageCount = 0;
    while (setup.stageCount < D3D_STAGE_COUNT &&
           setup.stages[setup.stageCount].colourOp != StageOp::Disable) {
        ++setup.stageCount;
    }
    return setup;
}

bool StageReadsTexture(const CombineSetup& setup, int stage) {
    if (stage >= setup.stageCount) {
        return false;
    }
    const StageSetup& s = setup.stages[stage];
    auto reads = [](StageOp op, StageArg arg1, StageArg arg2) {
        switch (op) {
        case StageOp::Disable:
            return false;
        case StageOp::SelectArg1:
            return arg1 == StageArg::Texture;
        case StageOp::SelectArg2:
            return arg2 == StageArg::Texture;
        default:
            return arg1 == StageArg::Texture || arg2 == StageArg::Texture;
        }
    };
    return reads(s.colourOp, s.colourArg1, s.colourArg2) || reads(s.alphaOp, s.alphaArg1, s.alphaArg2);
}

namespace {

// Any pair of stages, pixel by pixel.
const uint32_t* CombineGeneral(const CombineSetup& setup, const CombineInputs& in, int count, uint32_t* out) {
    for (int i = 0; i < count; ++i) {
        uint32_t diffuse = in.diffuse ? in.diffuse[i] : in.diffuseConstant;
        uint32_t current = diffuse;
        for (int stage = 0; stage < setup.stageCount; ++stage) {
            const StageSetup& s = setup.stages[stage];
            uint32_t texel = in.texture[stage] ? in.texture[stage][i] : 0xFFFFFFFF;
            auto value = [&](StageArg arg) {
                switch (arg) {
                case StageArg::Diffuse:
                    return diffuse;
                case StageArg::Texture:
                    return texel;
                case StageArg::Factor:
                    return setup.textureFactor;
                default:
                    return current;
                }
            };
            uint32_t colour = Apply(s.colourOp, value(s.colourArg1), value(s.colourArg2));
            // A disabled alpha operation passes the incoming alpha through.
            uint32_t alpha = s.alphaOp == StageOp::Disable
                                 ? current
                                 : Apply(s.alphaOp, value(s.alphaArg1), value(s.alphaArg2));
            current = (colour & 0x00FFFFFF) | (alpha & 0xFF000000);
        }
        out[i] = current;
    }
    return out;
}

} // namespace

CombineRoutine ChooseCombineRoutine(const CombineSetup& setup, bool constantDiffuse) {
    if (setup.stageCount == 0) {
        return Pick<Source::Diffuse, Source::Diffuse>(constantDiffuse);
    }
    if (setup.stageCount > 1) {
        return CombineGeneral;
    }
    const StageSetup& s = setup.stages[0];
    Source colour = Classify(s.colourOp, s.colourArg1, s.colourArg2);
    Source alpha = Classify(s.alphaOp, s.alphaArg1, s.alphaArg2);
    if (colour == Source::Other || alpha == Source::Other) {
        return CombineGeneral;
    }
    switch (colour) {
    case Source::Diffuse:
        return PickAlpha<Source::Diffuse>(alpha, constantDiffuse);
    case Source::Texture:
        return PickAlpha<Source::Texture>(alpha, constantDiffuse);
    default:
        return PickAlpha<Source::Modulate>(alpha, constantDiffuse);
    }
}

} // namespace platform::d3d9
