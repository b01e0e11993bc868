// Buffer memory and its lock ranges.
#include "d3d9/buffer_memory.h"

namespace platform::d3d9 {

bool BufferMemory::RangeInside(UINT offset, UINT size) const {
    const size_t length = bytes.size();
    return offset <= length && static_cast<uint64_t>(offset) + size <= length &&
           (size > 0 || offset < length || length == 0);
}

bool BufferMemory::Lock(UINT offset, UINT size, void** data) {
    if (!data || !RangeInside(offset, size)) {
        return false;
    }
    *data = bytes.data() + offset;
    ++lockCount;
    return true;
}

bool BufferMemory::Unlock() {
    if (lockCount == 0) {
        return false;
    }
    --lockCount;
    return true;
}

} // namespace platform::d3d9
