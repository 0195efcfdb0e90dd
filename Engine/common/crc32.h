#pragma once
// CRC-32 (zlib's), guarding the header, the trailer and every data block.
#include <cstddef>
#include <cstdint>

namespace tpe {
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);
}
