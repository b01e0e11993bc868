// Recording, comparing and cutting the log of a frame's drawing.
#include "d3d9/frame_log.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace platform::d3d9 {

namespace {

// A frame's log holds at most this much; a frame that draws more is drawn every time.
constexpr size_t MAX_LOG_BYTES = size_t{32} << 20;

// The values a draw reads come first in DeviceState, without padding, up to the vertex format.
constexpr size_t DRAW_STATE_BYTES = offsetof(DeviceState, fvf) + sizeof(DWORD);
static_assert(DRAW_STATE_BYTES == sizeof(DeviceState::renderStates) + sizeof(DeviceState::stageStates) +
                                      sizeof(DeviceState::samplerStates) + sizeof(DeviceState::transforms) +
                                      sizeof(D3DVIEWPORT9) + sizeof(DWORD),
              "the compared states must not hold padding");

bool SameViewport(const D3DVIEWPORT9& a, const D3DVIEWPORT9& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// memcmp of `size` bytes, which may be 0 with null pointers.
bool SameBytes(const void* a, const void* b, size_t size) {
    return size == 0 || std::memcmp(a, b, size) == 0;
}

} // namespace

bool SameDrawStates(const DeviceState& a, const DeviceState& b) {
    return std::memcmp(&a, &b, DRAW_STATE_BYTES) == 0;
}

bool FrameLog::Matches(size_t position, const ClearCall& call) const {
    const FrameCommand& command = commands[position];
    return command.kind == CommandKind::Clear && command.flags == call.flags && command.colour == call.colour &&
           command.zBits == FloatBits(call.z) && command.rectCount == call.rectCount &&
           SameViewport(command.viewport, call.viewport) &&
           SameBytes(Rects(command), call.rects, sizeof(D3DRECT) * call.rectCount);
}

// Content versions are unique in the process, so equal texture versions also mean the same textures.
bool FrameLog::Matches(size_t position, const DrawCall& call) const {
    const FrameCommand& command = commands[position];
    return command.kind == CommandKind::Draw && command.type == call.type &&
           command.primitiveCount == call.primitiveCount && command.vertexCount == call.vertexCount &&
           command.stride == call.stride && command.vertexByteCount == call.vertexByteCount &&
           command.indexed == (call.indices != nullptr) && command.indexCount == call.indexCount &&
           command.textureVersions == call.textureVersions &&
           SameBytes(VertexBytes(command), call.vertexBytes, call.vertexByteCount) &&
           SameBytes(indices.data() + command.indicesBegin, call.indices, sizeof(uint32_t) * call.indexCount) &&
           SameDrawStates(states[command.stateIndex], *call.state);
}

FrameCommand FrameLog::Start(CommandKind kind) const {
    FrameCommand command;
    command.kind = kind;
    command.bytesBegin = bytes.size();
    command.indicesBegin = indices.size();
    command.rectsBegin = rects.size();
    command.statesBegin = states.size();
    return command;
}

bool FrameLog::Append(const ClearCall& call) {
    if ((commands.size() + 1) * sizeof(FrameCommand) + (rects.size() + call.rectCount) * sizeof(D3DRECT) >
        MAX_LOG_BYTES) {
        return false;
    }
    FrameCommand command = Start(CommandKind::Clear);
    command.rectCount = call.rectCount;
    command.flags = call.flags;
    command.colour = call.colour;
    command.zBits = FloatBits(call.z);
    command.viewport = call.viewport;
    if (call.rectCount > 0) {
        rects.insert(rects.end(), call.rects, call.rects + call.rectCount);
    }
    commands.push_back(command);
    return true;
}

bool FrameLog::Append(const DrawCall& call) {
    const size_t held = (commands.size() + 1) * sizeof(FrameCommand) + bytes.size() + call.vertexByteCount +
                        (indices.size() + call.indexCount) * sizeof(uint32_t) +
                        (states.size() + 1) * sizeof(DeviceState);
    if (held > MAX_LOG_BYTES) {
        return false;
    }
    FrameCommand command = Start(CommandKind::Draw);
    command.type = call.type;
    command.primitiveCount = call.primitiveCount;
    command.vertexCount = call.vertexCount;
    command.stride = call.stride;
    command.vertexByteCount = call.vertexByteCount;
    command.indexed = call.indices != nullptr;
    command.indexCount = call.indexCount;
    command.textures = call.state->textures;
    command.textureVersions = call.textureVersions;
    bytes.insert(bytes.end(), call.vertexBytes, call.vertexBytes + call.vertexByteCount);
    if (call.indices) {
        indices.insert(indices.end(), call.indices, call.indices + call.indexCount);
    }
    if (states.empty() || !SameDrawStates(states.back(), *call.state)) {
        states.push_back(*call.state);
    }
    command.stateIndex = states.size() - 1;
    commands.push_back(command);
    return true;
}

void FrameLog::CutAt(size_t count) {
    if (count >= commands.size()) {
        return;
    }
    const FrameCommand& first = commands[count];
    bytes.resize(first.bytesBegin);
    indices.resize(first.indicesBegin);
    rects.resize(first.rectsBegin);
    states.resize(first.statesBegin);
    commands.resize(count);
}

bool FrameLog::StartsWithWholeClear(int width, int height, bool hasDepth) const {
    if (commands.empty() || commands.front().kind != CommandKind::Clear) {
        return false;
    }
    const FrameCommand& clear = commands.front();
    const D3DVIEWPORT9& vp = clear.viewport;
    // A viewport lies inside the target, so one as large as the target starts at its corner.
    const bool wholeViewport = vp.Width >= static_cast<DWORD>(width) && vp.Height >= static_cast<DWORD>(height);
    const D3DRECT* first = Rects(clear);
    const bool wholeRect = clear.rectCount == 0 || std::any_of(first, first + clear.rectCount, [&](const D3DRECT& r) {
                               return r.x1 <= 0 && r.y1 <= 0 && r.x2 >= width && r.y2 >= height;
                           });
    return wholeViewport && wholeRect && (clear.flags & D3DCLEAR_TARGET) != 0 &&
           (!hasDepth || (clear.flags & D3DCLEAR_ZBUFFER) != 0);
}

const DeviceState& FrameLog::DrawState(const FrameCommand& command) {
    // The textures are not part of the shared states; a draw binds its own before it is drawn.
    DeviceState& state = states[command.stateIndex];
    state.textures = command.textures;
    return state;
}

} // namespace platform::d3d9
