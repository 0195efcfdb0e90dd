#pragma once
// A range of a file's bytes, and the one way ranges are sorted and merged.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tpe {

// Bytes [start, end) of a file.
struct ByteRange {
    uint64_t start = 0;
    uint64_t end = 0;
};

// Sorts `ranges` by start and merges those that overlap or touch.
inline void MergeRanges(std::vector<ByteRange>& ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.start < b.start; });
    std::vector<ByteRange> merged;
    for (const ByteRange& range : ranges) {
        if (!merged.empty() && range.start <= merged.back().end) {
            merged.back().end = std::max(merged.back().end, range.end);
        } else {
            merged.push_back(range);
        }
    }
    ranges = std::move(merged);
}

}  // namespace tpe
