// Checks a delta right after making it: decoded against the old bytes, it must give exactly
// the new bytes. Nothing is kept but the comparison's position.
#pragma once

#include <cstdint>
#include <vector>

namespace tpe {

bool DeltaRebuilds(const std::vector<uint8_t>& delta, const std::vector<uint8_t>& oldData,
                   const std::vector<uint8_t>& newData);

}  // namespace tpe
