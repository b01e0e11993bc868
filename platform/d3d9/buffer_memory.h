// The memory behind vertex and index buffers: the creator's length of bytes, always readable, and the
// lock count. A lock range of size 0 reaches from the offset to the end.
#pragma once

#include "d3d9/d3d9.h"

#include <cstdint>
#include <vector>

namespace platform::d3d9 {

class BufferMemory {
public:
    explicit BufferMemory(UINT length) : bytes(length, 0) {}

    bool RangeInside(UINT offset, UINT size) const;
    // Points `data` at the range; false (and `data` untouched) for a range outside the buffer.
    bool Lock(UINT offset, UINT size, void** data);
    // False when nothing is locked.
    bool Unlock();

    const uint8_t* Data() const { return bytes.data(); }
    size_t Size() const { return bytes.size(); }

private:
    std::vector<uint8_t> bytes;
    int lockCount = 0;
};

} // namespace platform::d3d9
