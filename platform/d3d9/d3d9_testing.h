// Test hooks of the software Direct3D 9 device: a call trace, fault injection, a settable maximum
// texture size and direct reads of a device's back buffer and depth buffer. Nothing in the engine or
// the game uses these; tests do.
#pragma once

#include "d3d9/d3d9.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3d9 {

// ---- Call trace ----
// While enabled, every call made on a Direct3D object (the Direct3D object, devices, buffers, textures,
// surfaces, state blocks; AddRef and Release excepted) is appended to one process-wide list in call
// order. Arguments are recorded as numbers: integers and enumerations by value, pointers by address
// (0 for null), floats by their 32-bit pattern. Out-parameters are not recorded.
struct TracedCall {
    const void* object = nullptr; // the interface the call was made on
    std::string method;           // "SetRenderState"
    std::vector<uint64_t> args;
    HRESULT result = S_OK;

    // "SetRenderState(27, 1)": the method and its arguments in decimal.
    std::string ToString() const;
};

void EnableCallTrace(bool enabled);
void ClearCallTrace();
std::vector<TracedCall> CallTrace();
// The trace as ToString lines; with a method name, only the calls of that method.
std::vector<std::string> CallTraceLines(const std::string& method = std::string());
// Formats an expected call the way ToString does, for comparisons in tests.
std::string FormatCall(const std::string& method, const std::vector<uint64_t>& args);
uint64_t FloatArg(float value);

// ---- Fault injection ----
// A fault makes the named operation fail without side effects: resource creations with
// D3DERR_OUTOFVIDEOMEMORY, CreateDevice with D3DERR_NOTAVAILABLE, Direct3DCreate9 by returning null,
// everything else with D3DERR_INVALIDCALL.
enum class Fault {
    Direct3DCreate,
    CreateDevice,
    BeginScene,
    EndScene,
    Clear,
    Present,
    CreateTexture,
    CreateVertexBuffer,
    CreateIndexBuffer,
    TextureLock,
    VertexBufferLock,
    IndexBufferLock,
    SetTexture,
    SetFVF,
    SetStreamSource,
    SetIndices,
    SetTransform,
    DrawPrimitive,
    DrawIndexedPrimitive,
    Count
};

// Lets `skip` calls of the operation pass, then fails the next `count` ones (count < 0: all of them
// until ClearFaults).
void InjectFault(Fault fault, int skip = 0, int count = 1);
void ClearFaults();

// ---- Capabilities ----
// Lowers (or raises) the maximum texture width and height that caps report and CreateTexture accepts.
void SetMaxTextureSize(DWORD width, DWORD height);
void ResetMaxTextureSize();

// ---- Buffers of a device ----
// The X8R8G8B8 back-buffer pixel at (x, y) (alpha forced to 0xFF); 0 outside the buffer.
D3DCOLOR ReadBackBufferPixel(IDirect3DDevice9* device, int x, int y);
// The D16 depth value at (x, y); 0 outside the buffer or without a depth buffer.
WORD ReadDepthValue(IDirect3DDevice9* device, int x, int y);
// Copies the whole back buffer, top row first, width * height pixels.
bool CopyBackBuffer(IDirect3DDevice9* device, std::vector<uint32_t>* pixels, int* width, int* height);
// Writes the back buffer as an RGB PNG file.
bool WriteBackBufferPng(IDirect3DDevice9* device, const char* path);

// The device's open-scene flag, for tests of scene brackets.
bool InScene(IDirect3DDevice9* device);

// How many presented frames the device found equal to the frame before them in all their drawing and
// kept the last picture for instead of drawing them.
uint64_t RepeatedFrameCount(IDirect3DDevice9* device);

} // namespace platform::d3d9
