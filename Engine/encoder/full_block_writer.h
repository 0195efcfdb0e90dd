#pragma once
// The new contents compressed on their own (block kind Full): used when a delta fails the
// builder's own check, so that a patch never carries data that does not rebuild its file.
#include <cstdint>
#include <vector>

namespace tpe {

// Empty on failure (out of memory).
std::vector<uint8_t> CompressFullBlock(const uint8_t* data, uint64_t size, int level);

}  // namespace tpe
