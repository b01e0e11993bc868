// The log of one frame's drawing: every clear and draw with all it depends on (the states of the draw,
// the vertex bytes and indices it read, the textures it sampled with their content versions, the
// clear's colour, rectangles and viewport). The device compares the next frame with it call by call,
// and when the whole frame repeats it keeps the last picture instead of drawing it again; the log holds
// enough to draw the repeated calls after all when the frame turns out to differ.
#pragma once

#include "d3d9/device_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::d3d9 {

// A validated Clear.
struct ClearCall {
    DWORD rectCount = 0;
    const D3DRECT* rects = nullptr;
    DWORD flags = 0;
    D3DCOLOR colour = 0;
    float z = 0.0f;
    D3DVIEWPORT9 viewport{};
};

// A validated draw: the vertices it reads, already cut out of the stream, and the indices into them.
struct DrawCall {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    int primitiveCount = 0;
    UINT vertexCount = 0;
    UINT stride = 0;
    const uint8_t* vertexBytes = nullptr; // (vertexCount - 1) * stride + vertex size bytes
    size_t vertexByteCount = 0;
    const uint32_t* indices = nullptr; // null: the vertices in order
    size_t indexCount = 0;
    const DeviceState* state = nullptr;
    std::array<uint64_t, D3D_STAGE_COUNT> textureVersions{}; // of state->textures
};

enum class CommandKind : uint8_t { Clear, Draw };

struct FrameCommand {
    CommandKind kind = CommandKind::Clear;
    // Where the command's data starts in the log's arrays; cutting the log before the command cuts
    // the arrays there.
    size_t bytesBegin = 0;
    size_t indicesBegin = 0;
    size_t rectsBegin = 0;
    size_t statesBegin = 0;
    // Clear.
    DWORD rectCount = 0;
    DWORD flags = 0;
    D3DCOLOR colour = 0;
    DWORD zBits = 0;
    D3DVIEWPORT9 viewport{};
    // Draw.
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    int primitiveCount = 0;
    UINT vertexCount = 0;
    UINT stride = 0;
    size_t vertexByteCount = 0;
    size_t indexCount = 0;
    bool indexed = false;
    size_t stateIndex = 0;
    std::array<Texture*, D3D_STAGE_COUNT> textures{};
    std::array<uint64_t, D3D_STAGE_COUNT> textureVersions{};
};

class FrameLog {
public:
    size_t Size() const { return commands.size(); }
    const FrameCommand& At(size_t position) const { return commands[position]; }

    // Whether the call equals the command at the position in everything that decides its pixels.
    bool Matches(size_t position, const ClearCall& call) const;
    bool Matches(size_t position, const DrawCall& call) const;

    // Appends the call; false (and nothing appended) when the log has reached its size limit.
    bool Append(const ClearCall& call);
    bool Append(const DrawCall& call);

    // Keeps the first `count` commands.
    void CutAt(size_t count);
    void Clear() { CutAt(0); }

    // Whether the first command clears the whole target (and the whole depth buffer, when there is one),
    // so that what the frame draws does not depend on the picture it starts from.
    bool StartsWithWholeClear(int width, int height, bool hasDepth) const;

    const D3DRECT* Rects(const FrameCommand& command) const { return rects.data() + command.rectsBegin; }
    const uint8_t* VertexBytes(const FrameCommand& command) const { return bytes.data() + command.bytesBegin; }
    const uint32_t* Indices(const FrameCommand& command) const {
        return command.indexed ? indices.data() + command.indicesBegin : nullptr;
    }
    // The states of a draw, with the draw's textures bound.
    const DeviceState& DrawState(const FrameCommand& command);

private:
    FrameCommand Start(CommandKind kind) const;

    std::vector<FrameCommand> commands;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> indices;
    std::vector<D3DRECT> rects;
    // Distinct draw states in order; a draw whose states equal the last entry's shares it.
    std::vector<DeviceState> states;
};

// Whether two states are the same in every value a draw reads (bound objects apart).
bool SameDrawStates(const DeviceState& a, const DeviceState& b);

} // namespace platform::d3d9
