#include "crc32.h"

#include <zlib.h>

namespace tpe {

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
    const Bytef* p = static_cast<const Bytef*>(data);
    // zlib takes 32-bit lengths: feed large buffers in pieces.
    while (size > 0) {
        uInt piece = size > (1u << 30) ? (1u << 30) : uInt(size);
        crc = uint32_t(crc32(crc, p, piece));
        p += piece;
        size -= piece;
    }
    return crc;
}

}  // namespace tpe
