// Unsigned LEB128 integers, and zigzag for signed ones: small values take one byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tpe {

constexpr size_t kMaxVarintBytes = 10;

inline void PutVarint(uint64_t value, std::vector<uint8_t>& out) {
    while (value >= 0x80) {
        out.push_back(static_cast<uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<uint8_t>(value));
}

inline uint64_t ZigZag(int64_t value) {
    return (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63);
}

inline int64_t UnZigZag(uint64_t value) {
    return static_cast<int64_t>(value >> 1) ^ -static_cast<int64_t>(value & 1);
}

// Reads one varint from [*pos, end). False when it is truncated or does not fit 64 bits.
inline bool GetVarint(const uint8_t*& pos, const uint8_t* end, uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (pos == end) {
            return false;
        }
        uint8_t byte = *pos++;
        if (shift == 63 && byte > 1) {
            return false;
        }
        value |= static_cast<uint64_t>(byte & 0x7f) << shift;
        if (!(byte & 0x80)) {
            return true;
        }
    }
    return false;
}

}  // namespace tpe
