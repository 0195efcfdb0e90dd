// Reads of the old file through one fixed window: the diff mostly walks the old file forward,
// so one read-ahead window serves most requests without holding the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "delta_decoder.h"

namespace tpe {

class OldWindow {
public:
    OldWindow(DeltaOldSource& source, size_t windowSize);

    // Points `data` at up to `size` bytes at `offset` (at least one); false on a read error.
    // The caller has checked that [offset, offset + size) lies inside the old file.
    bool Get(uint64_t offset, size_t size, const uint8_t*& data, size_t& available);

private:
    DeltaOldSource& source_;
    uint64_t oldSize_;
    std::vector<uint8_t> window_;
    uint64_t start_ = 0;
    size_t filled_ = 0;
};

}  // namespace tpe
