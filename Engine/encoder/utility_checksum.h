#pragma once
// The utility's own file checksum, which the `checksum` information lines carry: over the first
// `length` bytes (the whole file for 0 or -1), h = h * 7 + byte modulo 2^32, with bytes past the
// end counted as zero.
#include <cstdint>
#include <string>

#include "file_system.h"

namespace tpe {

uint32_t UtilityChecksum(const uint8_t* data, uint64_t size, int64_t length);
// False when the file cannot be read.
bool UtilityFileChecksum(FileSystem& fs, const std::string& path, int64_t length, uint32_t* sum);

}  // namespace tpe
