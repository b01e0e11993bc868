// Test support for engine tests that need the device: an offscreen 800 x 600 window with the engine's
// device made for it, and reads of the vertices a draw left on stream 0.
#pragma once

#include "core/init_manager.h"
#include "d3d9/d3d9_testing.h"
#include "win32/window_surface.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

class EngineDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = platform::CreateOffscreenWindow(800, 600);
        owner = InitManager::GetExemplar();
        ASSERT_NE(owner, nullptr);
        ASSERT_TRUE(owner->InitDirect3D(window, 800, 600, true));
        device = owner->device;
    }

    void TearDown() override {
        platform::d3d9::EnableCallTrace(false);
        platform::d3d9::ClearFaults();
    }

    // The vertices of the buffer bound to stream 0, read back as records of type Vertex.
    template <typename Vertex> std::vector<Vertex> StreamVertices(size_t count) {
        std::vector<Vertex> vertices(count);
        IDirect3DVertexBuffer9* buffer = nullptr;
        UINT offset = 0;
        UINT stride = 0;
        if (device->GetStreamSource(0, &buffer, &offset, &stride) < 0 || buffer == nullptr) {
            ADD_FAILURE() << "no vertex buffer on stream 0";
            return {};
        }
        void* data = nullptr;
        if (buffer->Lock(0, 0, &data, D3DLOCK_READONLY) >= 0 && data != nullptr) {
            std::memcpy(vertices.data(), static_cast<const char*>(data) + offset, count * sizeof(Vertex));
            buffer->Unlock();
        }
        buffer->Release();
        return vertices;
    }

    // The vertex buffer bound to stream 0 (no reference is kept).
    IDirect3DVertexBuffer9* StreamBuffer() {
        IDirect3DVertexBuffer9* buffer = nullptr;
        UINT offset = 0;
        UINT stride = 0;
        device->GetStreamSource(0, &buffer, &offset, &stride);
        if (buffer != nullptr) {
            buffer->Release();
        }
        return buffer;
    }

    DWORD RenderState(D3DRENDERSTATETYPE state) {
        DWORD value = 0;
        device->GetRenderState(state, &value);
        return value;
    }

    DWORD StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
        DWORD value = 0;
        device->GetTextureStageState(stage, type, &value);
        return value;
    }

    HWND window = nullptr;
    InitManager* owner = nullptr;
    IDirect3DDevice9* device = nullptr;
};
