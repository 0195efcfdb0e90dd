#pragma once
// Reads of the old file through a small cache of pages: the diff mostly walks the old file
// forward with jumps back and forth, so a few pages serve most requests without holding the whole
// file. Pages are small and many, so that an archive whose members moved (short copies from all
// over the old file) costs one small read per jump rather than a large one; each page has a
// fixed set of slots, so finding it takes a few comparisons however many pages there are.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "delta_decoder.h"

namespace tpe {

class OldWindow {
public:
    // `pageCount` is a multiple of kWays.
    OldWindow(DeltaOldSource& source, size_t pageSize, size_t pageCount);

    // Points `data` at up to `size` bytes at `offset` (at least one); false on a read error.
    // The caller has checked that [offset, offset + size) lies inside the old file.
    bool Get(uint64_t offset, size_t size, const uint8_t*& data, size_t& available);

    static constexpr size_t kWays = 8;

private:
    struct Page {
        uint64_t start = UINT64_MAX;
        size_t filled = 0;
        uint64_t lastUse = 0;
    };
    size_t Find(uint64_t start) const;  // the page's slot, or its set's least recently used one

    DeltaOldSource& m_source;
    uint64_t m_oldSize;
    size_t m_pageSize;
    std::unique_ptr<uint8_t[]> m_memory;  // not zero-filled: pages are read before use
    std::vector<Page> m_pages;
    size_t m_sets;
    uint64_t m_clock = 0;
    size_t m_lastHit = 0;
};

}  // namespace tpe
