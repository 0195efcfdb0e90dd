// Reads of the old file through a small cache of fixed pages: the diff mostly walks the old
// file forward with jumps back and forth, so a few pages serve most requests without holding
// the whole file, and a jump costs one page read rather than a whole window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "delta_decoder.h"

namespace tpe {

class OldWindow {
public:
    OldWindow(DeltaOldSource& source, size_t pageSize, size_t pageCount);

    // Points `data` at up to `size` bytes at `offset` (at least one); false on a read error.
    // The caller has checked that [offset, offset + size) lies inside the old file.
    bool Get(uint64_t offset, size_t size, const uint8_t*& data, size_t& available);

private:
    struct Page {
        uint64_t start = UINT64_MAX;
        size_t filled = 0;
        uint64_t lastUse = 0;
    };

    DeltaOldSource& source_;
    uint64_t oldSize_;
    size_t pageSize_;
    std::unique_ptr<uint8_t[]> memory_;  // not zero-filled: pages are read before use
    std::vector<Page> pages_;
    uint64_t clock_ = 0;
    size_t lastHit_ = 0;
};

}  // namespace tpe
