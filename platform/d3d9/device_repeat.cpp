// Keeping the last picture for a frame that repeats the last frame's drawing: each clear and draw is
// compared with the last frame's log instead of being drawn; the first call that differs (or anything
// that needs the buffers as they would be by now) draws the repeated calls from the log after all, and
// a frame that repeated every call leaves the back buffer as it is.
#include "d3d9/device.h"

namespace platform::d3d9 {

template <class Call> bool Device::Repeats(const Call& call) {
    if (frameMode == FrameMode::Repeating) {
        if (repeated < frameLog.Size() && frameLog.Matches(repeated, call)) {
            ++repeated;
            return true;
        }
        StopRepeating();
    }
    if (frameMode == FrameMode::Recording && !frameLog.Append(call)) {
        frameMode = FrameMode::Unrepeatable;
    }
    return false;
}

template bool Device::Repeats<ClearCall>(const ClearCall& call);
template bool Device::Repeats<DrawCall>(const DrawCall& call);

void Device::DrawRepeatedCommands() {
    if (frameMode == FrameMode::Repeating && repeated > 0) {
        StopRepeating();
    }
}

void Device::StopRepeating() {
    for (size_t i = 0; i < repeated; ++i) {
        RunLogged(frameLog.At(i));
    }
    // The log goes on from the calls drawn now, the frame's own so far.
    frameLog.CutAt(repeated);
    frameMode = FrameMode::Recording;
}

void Device::RunLogged(const FrameCommand& command) {
    if (command.kind == CommandKind::Clear) {
        ClearCall call;
        call.rectCount = command.rectCount;
        call.rects = frameLog.Rects(command);
        call.flags = command.flags;
        call.colour = command.colour;
        call.z = BitsFloat(command.zBits);
        call.viewport = command.viewport;
        ClearTarget(call);
        return;
    }
    DrawCall call;
    call.type = command.type;
    call.primitiveCount = command.primitiveCount;
    call.vertexCount = command.vertexCount;
    call.stride = command.stride;
    call.vertexBytes = frameLog.VertexBytes(command);
    call.vertexByteCount = command.vertexByteCount;
    call.indices = frameLog.Indices(command);
    call.indexCount = command.indexCount;
    call.state = &frameLog.DrawState(command);
    Rasterize(call);
}

void Device::FinishFrame() {
    if (frameMode == FrameMode::Repeating && repeated == frameLog.Size()) {
        ++repeatedFrames;
    } else if (frameMode == FrameMode::Repeating) {
        StopRepeating();
    }
    if (pictureDrawn) {
        backBuffer->version = NextContentVersion();
        pictureDrawn = false;
    }
    // The next frame may repeat this one only when this one's picture follows from its log alone.
    if (frameMode != FrameMode::Unrepeatable &&
        frameLog.StartsWithWholeClear(backBuffer->width, backBuffer->height, depthBuffer != nullptr)) {
        frameMode = FrameMode::Repeating;
    } else {
        frameLog.Clear();
        frameMode = FrameMode::Recording;
    }
    repeated = 0;
}

void Device::BeforePictureLock(const Image& image) {
    DrawRepeatedCommands();
    if (&image == backBuffer.get() || &image == depthBuffer.get()) {
        frameLog.Clear();
        frameMode = FrameMode::Unrepeatable;
    }
}

const Image& Device::BackBuffer() {
    DrawRepeatedCommands();
    return *backBuffer;
}

const Image* Device::DepthBuffer() {
    DrawRepeatedCommands();
    return depthBuffer.get();
}

} // namespace platform::d3d9
