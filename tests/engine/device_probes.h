// Probes shared by the engine tests: colours compared channel by channel, the blend the device does,
// vectors and matrices within a tolerance, the view of a placed camera, and the records a vertex buffer
// holds, and the calls a piece of code made.
#pragma once

#include "d3d9/d3d9.h"
#include "d3d9/d3d9_testing.h"
#include "d3dx9/d3dx9_math.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// Whether red, green and blue each differ by at most `tolerance`; prints both colours when not.
inline ::testing::AssertionResult ColourNear(uint32_t actual, uint32_t expected, int tolerance = 1) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(int((actual >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > tolerance) {
            char text[64];
            std::snprintf(text, sizeof text, "%06X, expected %06X", unsigned(actual & 0xFFFFFF),
                          unsigned(expected & 0xFFFFFF));
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

// source * alpha/255 + target * (255 - alpha)/255, channel by channel, rounded; opaque.
inline uint32_t Blend(uint32_t source, uint32_t target, uint32_t alpha) {
    uint32_t colour = 0xFF000000u;
    for (int shift : {0, 8, 16}) {
        colour |=
            ((((source >> shift) & 0xFF) * alpha + ((target >> shift) & 0xFF) * (255 - alpha) + 127) / 255)
            << shift;
    }
    return colour;
}

inline void ExpectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

inline void ExpectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tolerance) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(actual.m[i / 4][i % 4], expected.m[i / 4][i % 4], tolerance) << "element " << i;
    }
}

// The view of a camera turned by yaw, pitch and roll, then placed at `position`: its placement inverted.
inline D3DXMATRIX CameraView(float yaw, float pitch, float roll, const D3DXVECTOR3& position) {
    D3DXMATRIX placement;
    D3DXMATRIX translation;
    D3DXMatrixRotationYawPitchRoll(&placement, yaw, pitch, roll);
    D3DXMatrixTranslation(&translation, position.x, position.y, position.z);
    D3DXMatrixMultiply(&placement, &placement, &translation);
    D3DXMatrixInverse(&placement, nullptr, &placement);
    return placement;
}

// The first `count` records of type Record in the buffer, from byte `offset`; empty when it cannot be read.
template <typename Record>
std::vector<Record> ReadRecords(IDirect3DVertexBuffer9* buffer, size_t count, UINT offset = 0) {
    std::vector<Record> records(count);
    void* data = nullptr;
    if (buffer == nullptr || buffer->Lock(0, 0, &data, D3DLOCK_READONLY) < 0 || data == nullptr) {
        ADD_FAILURE() << "the vertex buffer cannot be read";
        return {};
    }
    std::memcpy(records.data(), static_cast<const char*>(data) + offset, count * sizeof(Record));
    buffer->Unlock();
    return records;
}

// The calls `run` made, as trace lines; with a method name, only the calls of that method.
inline std::vector<std::string> TracedCalls(const std::function<void()>& run,
                                            const std::string& method = "") {
    platform::d3d9::EnableCallTrace(true);
    platform::d3d9::ClearCallTrace();
    run();
    platform::d3d9::EnableCallTrace(false);
    return platform::d3d9::CallTraceLines(method);
}
