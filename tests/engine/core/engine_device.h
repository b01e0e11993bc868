// Test support for engine tests that need the device: an offscreen 800 x 600 window with the engine's
// device made for it, and the vertices a draw left on stream 0.
#pragma once

#include "core/init_manager.h"
#include "d3d9/d3d9_testing.h"
#include "engine/device_probes.h"
#include "win32/window_surface.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace d3dtest = platform::d3d9;

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
        IDirect3DVertexBuffer9* buffer = nullptr;
        UINT offset = 0;
        UINT stride = 0;
        device->GetStreamSource(0, &buffer, &offset, &stride);
        std::vector<Vertex> vertices = ReadRecords<Vertex>(buffer, count, offset);
        if (buffer != nullptr) {
            buffer->Release();
        }
        vertices.resize(count);
        return vertices;
    }

    DWORD RenderState(D3DRENDERSTATETYPE state) {
        DWORD value = 0;
        device->GetRenderState(state, &value);
        return value;
    }

    IDirect3DDevice9* device = nullptr;
};
