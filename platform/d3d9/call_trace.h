// The device's side of the test hooks: recording calls into the trace, asking whether an injected
// fault fires, and the current maximum texture size.
#pragma once

#include "d3d9/d3d9_testing.h"

#include <atomic>
#include <cstring>
#include <initializer_list>
#include <type_traits>

namespace platform::d3d9 {

extern std::atomic<bool> traceEnabled;

void RecordCall(const void* object, const char* method, std::initializer_list<uint64_t> args, HRESULT result);

// Records the call when the trace is on and hands the result back.
inline HRESULT Traced(const void* object, const char* method, std::initializer_list<uint64_t> args,
                      HRESULT result) {
    if (traceEnabled.load(std::memory_order_relaxed)) {
        RecordCall(object, method, args, result);
    }
    return result;
}

template <class T> uint64_t Arg(T value) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<uintptr_t>(value);
    } else if constexpr (std::is_same_v<T, float>) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    } else if constexpr (std::is_enum_v<T>) {
        return static_cast<uint64_t>(value);
    } else {
        return static_cast<uint64_t>(value);
    }
}

// True when an injected fault makes this call of the operation fail.
bool FaultFires(Fault fault);

DWORD CurrentMaxTextureWidth();
DWORD CurrentMaxTextureHeight();

} // namespace platform::d3d9
