#pragma once
// Finds where a piece of a new file lies in the old file, moved pieces included, without holding
// the old file: an index of the old file's content-defined anchors (content_anchors.h), and for
// each new piece the old ranges that hold most of its anchors.

#include <cstdint>
#include <functional>
#include <vector>

#include "byte_range.h"
#include "content_anchors.h"
#include "delta_decoder.h"

namespace tpe {

// Reads [start, start + size) of `file` in blocks of at most 8 MiB, handing each to
// `use(data, size)`; false when a read fails.
template <typename Use>
bool ReadInBlocks(DeltaOldSource& file, uint64_t start, uint64_t size, Use use) {
    constexpr uint64_t kBlock = uint64_t{8} << 20;
    std::vector<uint8_t> block(static_cast<size_t>(size < kBlock ? size : kBlock));
    for (uint64_t done = 0; done < size;) {
        const size_t take = static_cast<size_t>(size - done < kBlock ? size - done : kBlock);
        if (!file.ReadAt(start + done, block.data(), take)) {
            return false;
        }
        use(block.data(), take);
        done += take;
    }
    return true;
}

class OldRangeFinder {
public:
    explicit OldRangeFinder(uint64_t oldSize);

    // Reads the whole old file through ReadInBlocks; `prepare` (may be
    // empty) may rewrite each block, given its offset, before it is indexed. False when a read
    // fails.
    using Prepare = std::function<void(uint64_t offset, uint8_t* data, size_t size)>;
    bool Index(DeltaOldSource& oldFile, const Prepare& prepare = {});

    // The old ranges holding most of the anchors of `size` new bytes that lie at `newStart`, at
    // most `budget` bytes in all, each widened to multiples of `alignment` (a power of two, or
    // the old file's end), sorted and without overlaps. With no anchor found, the old bytes at
    // the same offset. `commonShift` (may be null) gets the old offset at which the most anchors
    // place the start of the new bytes (0 when none was found): where they may lie whole.
    std::vector<ByteRange> Choose(const uint8_t* data, size_t size, uint64_t newStart,
                                  uint64_t budget, uint64_t alignment = 1,
                                  int64_t* commonShift = nullptr) const;

private:
    const uint64_t m_oldSize;
    const uint64_t m_spacing;
    AnchorIndex m_index;
};

}  // namespace tpe
