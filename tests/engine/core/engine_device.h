// Test support for engine tests that need the device: an offscreen 800 x 600 window with the engine's
// device made for it, the vertices a draw left on stream 0, and the calls a piece of code made.
#pragma once

#include "core/init_manager.h"
#include "d3d9/d3d9_testing.h"
#include "win32/window_surface.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace d3dtest = platform::d3d9;

// The calls `run` made, as trace lines; with a method name, only the calls of that method.
inline std::vector<std::string> TracedCalls(const std::function<void()>& run,
                                            const std::string& method = "") {
    d3dtest::EnableCallTrace(true);
    d3dtest::ClearCallTrace();
    run();
    d3dtest::EnableCallTrace(false);
    return d3dtest::CallTraceLines(method);
}

class EngineDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InitManager::GetExemplar()->InitDirect3D(platform::CreateOffscreenWindow(800, 600), 800,
                                                             600, true));
        device = InitManager::GetExemplar()->device;
    }

    void TearDown() override {
        d3dtest::EnableCallTrace(false);
        d3dtest::ClearFaults();
    }

    // The first vertices of the buffer bound to stream 0, read back as records of type Vertex.
    template <typename Vertex> std::vector<Vertex> StreamVertices(size_t count) {
        std::vector<Vertex> vertices(count);
        IDirect3DVertexBuffer9* buffer = nullptr;
        UINT offset = 0;
        UINT stride = 0;
        void* data = nullptr;
        if (device->GetStreamSource(0, &buffer, &offset, &stride) < 0 || buffer == nullptr) {
            ADD_FAILURE() << "no vertex buffer on stream 0";
            return vertices;
        }
        if (buffer->Lock(0, 0, &data, D3DLOCK_READONLY) >= 0 && data != nullptr) {
            std::memcpy(vertices.data(), static_cast<const char*>(data) + offset, count * sizeof(Vertex));
            buffer->Unlock();
        }
        buffer->Release();
        return vertices;
    }

    DWORD RenderState(D3DRENDERSTATETYPE state) {
        DWORD value = 0;
        device->GetRenderState(state, &value);
        return value;
    }

    IDirect3DDevice9* device = nullptr;
};
