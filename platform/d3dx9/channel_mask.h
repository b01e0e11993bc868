// A colour channel described by a bit mask (BMP bit fields, DDS pixel formats) and its expansion
// to 8 bits, with the full range kept: a 5-bit 31 becomes 255, a 1-bit 1 becomes 255.
#pragma once

#include <cstdint>

namespace platform::d3dx {

class ChannelMask {
public:
    ChannelMask() = default;
    explicit ChannelMask(uint32_t mask) : mask(mask) {
        if (mask == 0) {
            return;
        }
        while (((mask >> shift) & 1u) == 0) {
            ++shift;
        }
        while (bits + shift < 32 && ((mask >> (shift + bits)) & 1u) != 0) {
            ++bits;
        }
        maximum = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
        if (bits <= 8) {
            for (uint32_t raw = 0; raw <= maximum; ++raw) {
                expanded[raw] = static_cast<uint8_t>((raw * 255 + maximum / 2) / maximum);
            }
        }
    }

    bool Present() const { return mask != 0; }
    // A mask must be one run of set bits to describe a channel.
    bool Contiguous() const { return mask == 0 || (maximum << shift) == mask; }

    uint8_t Extract(uint32_t value, uint8_t absent) const {
        if (mask == 0) {
            return absent;
        }
        uint32_t raw = (value & mask) >> shift;
        if (bits <= 8) {
            return expanded[raw];
        }
        return static_cast<uint8_t>((static_cast<uint64_t>(raw) * 255 + maximum / 2) / maximum);
    }

private:
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    uint32_t maximum = 1;
    uint8_t expanded[256] = {}; // channels of up to 8 bits: raw value -> 8-bit value
};

} // namespace platform::d3dx
