// A bounds-checked cursor over a file's bytes for the picture readers: every read states whether
// the bytes were there, so that a truncated file fails instead of reading past its end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::d3dx {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data(data), size(size) {}

    size_t Position() const { return position; }
    size_t Remaining() const { return size - position; }
    bool Has(size_t count) const { return count <= size - position; }

    bool Seek(size_t offset) {
        if (offset > size) {
            return false;
        }
        position = offset;
        return true;
    }
    bool Skip(size_t count) {
        if (!Has(count)) {
            return false;
        }
        position += count;
        return true;
    }
    bool U8(uint8_t* value) {
        if (!Has(1)) {
            return false;
        }
        *value = data[position++];
        return true;
    }
    bool U16(uint16_t* value) {
        if (!Has(2)) {
            return false;
        }
        *value = static_cast<uint16_t>(data[position] | (data[position + 1] << 8));
        position += 2;
        return true;
    }
    bool U32(uint32_t* value) {
        if (!Has(4)) {
            return false;
        }
        *value = static_cast<uint32_t>(data[position]) | (static_cast<uint32_t>(data[position + 1]) << 8) |
                 (static_cast<uint32_t>(data[position + 2]) << 16) |
                 (static_cast<uint32_t>(data[position + 3]) << 24);
        position += 4;
        return true;
    }
    bool I32(int32_t* value) {
        uint32_t raw = 0;
        if (!U32(&raw)) {
            return false;
        }
        *value = static_cast<int32_t>(raw);
        return true;
    }
    // The bytes at the cursor; only valid after Has(count).
    const uint8_t* Here() const { return data + position; }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

} // namespace platform::d3dx
