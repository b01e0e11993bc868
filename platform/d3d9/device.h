// The device: the entry points of IDirect3DDevice9. They validate their arguments, store state (or
// record it into the state block being recorded), keep the scene bracket, and hand draws to the
// pipeline. The back buffer is X8R8G8B8, the optional automatic depth buffer D16. A frame that repeats
// the last frame's drawing exactly is not drawn again: the device keeps the last picture.
#pragma once

#include "d3d9/device_state.h"
#include "d3d9/frame_log.h"
#include "d3d9/pipeline/draw_plan.h"
#include "d3d9/ref_counted.h"
#include "d3d9/state_block.h"
#include "d3d9/surface.h"

#include <memory>
#include <vector>

namespace platform::d3d9 {

class Direct3D9;

class Device final : public RefCounted<IDirect3DDevice9> {
public:
    // Creates a device for the window; fails when the back buffer size cannot be found or made.
    static HRESULT Create(Direct3D9* direct3d, HWND window, const D3DPRESENT_PARAMETERS& parameters,
                          DWORD behaviorFlags, Device** device);

    HRESULT GetDirect3D(IDirect3D9** direct3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** vertexBuffer, HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** indexBuffer, HANDLE* sharedHandle) override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const RGNDATA* dirtyRegion) override;

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;

    HRESULT BeginStateBlock() override;
    HRESULT EndStateBlock(IDirect3DStateBlock9** stateBlock) override;
    HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** stateBlock) override;

    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData, UINT offsetInBytes,
                            UINT stride) override;
    HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9** streamData, UINT* offsetInBytes,
                            UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indexData) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** indexData) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT GetPixelShader(IDirect3DPixelShader9** shader) override;

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, INT baseVertexIndex, UINT minVertexIndex,
                                 UINT numVertices, UINT startIndex, UINT primitiveCount) override;

    // For resources, state blocks and test hooks.
    void ForgetResource(const void* resource);
    void RegisterStateBlock(StateBlock* block);
    void UnregisterStateBlock(StateBlock* block);
    bool Recording() const { return recording != nullptr; }
    void ReadEntry(StateEntry* entry) const;
    void WriteEntry(const StateEntry& entry);
    // The buffers as an immediate device would have them now (repeated draws are drawn first).
    const Image& BackBuffer();
    const Image* DepthBuffer();
    bool InScene() const { return inScene; }
    const DeviceState& State() const { return state; }
    // Draws what the frame has repeated of the last frame so far, and from there on draws as it goes:
    // needed before anything reads the buffers or changes a texture the repeated draws sample.
    void DrawRepeatedCommands();
    // Called before a lock of a picture of this device: a lock of the back or depth buffer also makes
    // the frame one that cannot be repeated, as its picture no longer follows from its drawing.
    void BeforePictureLock(const Image& image);
    // Frames found equal to the frame before them and kept instead of drawn.
    uint64_t RepeatedFrames() const { return repeatedFrames; }

private:
    Device(Direct3D9* direct3d, HWND window, const D3DPRESENT_PARAMETERS& parameters);
    ~Device() override;

    // Stores or records one state setting.
    void Set(const StateEntry& entry);
    RenderTarget Target() const;
    HRESULT Draw(D3DPRIMITIVETYPE type, int baseVertex, UINT firstVertex, UINT vertexCount,
                 const uint32_t* indices, size_t indexCount, int primitiveCount);
    // True when the call repeats the last frame's next command (nothing is drawn now); otherwise the
    // caller draws it, after what was repeated so far has been drawn.
    template <class Call> bool Repeats(const Call& call);
    void ClearTarget(const ClearCall& call);
    void Rasterize(const DrawCall& call);
    // Draws the repeated commands and goes on recording after them.
    void StopRepeating();
    void RunLogged(const FrameCommand& command);
    // Ends the frame at Present: keeps the picture when the frame repeated the last one, and decides
    // whether the next frame may repeat this one.
    void FinishFrame();

    Direct3D9* direct3d;
    HWND window;
    D3DPRESENT_PARAMETERS parameters;
    std::shared_ptr<Image> backBuffer;
    std::shared_ptr<Image> depthBuffer;
    DeviceState state;
    bool inScene = false;
    StateBlock* recording = nullptr;
    std::vector<StateBlock*> stateBlocks;
    std::vector<PipelineVertex> vertexScratch;
    std::vector<uint32_t> indexScratch;
    DrawScratch drawScratch;

    // Recording: calls are drawn and logged. Repeating: the frame so far equals the first `repeated`
    // commands of the log, the last frame, and nothing of it is drawn yet. Unrepeatable: calls are
    // drawn only (the log is full, or the back buffer was written from outside).
    enum class FrameMode { Recording, Repeating, Unrepeatable };
    FrameMode frameMode = FrameMode::Recording;
    FrameLog frameLog;
    size_t repeated = 0;
    bool pictureDrawn = false; // since the last Present
    uint64_t repeatedFrames = 0;
};

} // namespace platform::d3d9
