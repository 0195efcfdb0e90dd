#pragma once
// Little-endian integers in byte buffers: every field the engine, the delta codec and the
// builder read or write, whatever the byte order of the machine. Callers check bounds first.
#include <cstdint>
#include <cstring>

namespace tpe {

// The low `bytes` bytes (0 to 8) of a value, for layouts whose fields differ in width.
inline uint64_t GetLe(const uint8_t* in, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | in[i];
    }
    return value;
}

inline void PutLe(uint8_t* out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[i] = uint8_t(value >> (8 * i));
    }
}

namespace little_endian_detail {

// One load or store on little-endian machines, which the byte loop does not always become.
template <typename T>
T Load(const uint8_t* in) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    T value;
    std::memcpy(&value, in, sizeof value);
    return value;
#else
    return T(GetLe(in, sizeof(T)));
#endif
}

template <typename T>
void Store(uint8_t* out, T value) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(out, &value, sizeof value);
#else
    PutLe(out, value, sizeof(T));
#endif
}

}  // namespace little_endian_detail

inline uint16_t GetLe16(const uint8_t* in) {
    return little_endian_detail::Load<uint16_t>(in);
}
inline uint32_t GetLe32(const uint8_t* in) {
    return little_endian_detail::Load<uint32_t>(in);
}
inline uint64_t GetLe64(const uint8_t* in) {
    return little_endian_detail::Load<uint64_t>(in);
}

inline void PutLe16(uint8_t* out, uint16_t value) {
    little_endian_detail::Store(out, value);
}
inline void PutLe32(uint8_t* out, uint32_t value) {
    little_endian_detail::Store(out, value);
}
inline void PutLe64(uint8_t* out, uint64_t value) {
    little_endian_detail::Store(out, value);
}

}  // namespace tpe
