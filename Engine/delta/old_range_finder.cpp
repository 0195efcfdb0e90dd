#include "old_range_finder.h"

#include <algorithm>

namespace tpe {
namespace {

// Anchors whose old-minus-new offsets differ by less than this belong to one moved piece.
constexpr int64_t kSameMoveTolerance = int64_t{64} << 10;
// Old positions of one move further apart than this belong to separate ranges.
constexpr uint64_t kClusterGap = uint64_t{256} << 10;

}  // namespace

OldRangeFinder::OldRangeFinder(uint64_t oldSize)
    : m_oldSize(oldSize), m_spacing(AnchorSpacingFor(oldSize)) {}

bool OldRangeFinder::Index(DeltaOldSource& oldFile, const Prepare& prepare) {
    std::vector<AnchorScanner::Anchor> anchors;
    AnchorScanner scanner(m_spacing);
    uint64_t offset = 0;
    const bool read = ReadInBlocks(oldFile, 0, m_oldSize, [&](uint8_t* data, size_t size) {
        if (prepare) {
            prepare(offset, data, size);
        }
        scanner.Scan(data, size, anchors);
        offset += size;
    });
    if (!read) {
        return false;
    }
    m_index.Build(std::move(anchors));
    return true;
}

std::vector<ByteRange> OldRangeFinder::Choose(const uint8_t* data, size_t size, uint64_t newStart,
                                              uint64_t budget, uint64_t alignment,
                                              int64_t* commonShift) const {
    struct Match {
        int64_t shift;  // old position minus new position
        uint64_t oldPosition;
    };
    std::vector<AnchorScanner::Anchor> anchors;
    AnchorScanner(m_spacing).Scan(data, size, anchors);
    std::vector<Match> matches;
    std::vector<uint64_t> positions;
    for (const AnchorScanner::Anchor& anchor : anchors) {
        positions.clear();
        m_index.Find(anchor.key, positions);
        for (uint64_t position : positions) {
            matches.push_back({static_cast<int64_t>(position - anchor.position), position});
        }
    }
    std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
        return a.shift != b.shift ? a.shift < b.shift : a.oldPosition < b.oldPosition;
    });

    if (commonShift) {
        *commonShift = 0;
        size_t longest = 0;
        for (size_t i = 0, j; i < matches.size(); i = j) {
            for (j = i + 1; j < matches.size() && matches[j].shift == matches[i].shift; ++j) {
            }
            if (j - i > longest) {
                longest = j - i;
                *commonShift = matches[i].shift;
            }
        }
    }

    // Group matches of one move; each group's old extent, padded so the piece's edges beyond
    // its first and last anchor are covered too, is a candidate range.
    struct Group {
        ByteRange range;
        size_t votes;
    };
    std::vector<Group> groups;
    const uint64_t pad = 8 * m_spacing + 64;
    auto widen = [&](uint64_t low, uint64_t high) {
        low = low / alignment * alignment;
        high = std::min(m_oldSize, (high + alignment - 1) / alignment * alignment);
        return ByteRange{low, high};
    };
    for (size_t i = 0; i < matches.size();) {
        size_t j = i + 1;
        while (j < matches.size() && matches[j].shift - matches[j - 1].shift < kSameMoveTolerance) {
            ++j;
        }
        // Pieces that moved by about the same distance may still lie far apart: one range per
        // cluster of old positions, or a large new piece would ask for the old file between.
        positions.clear();
        for (size_t k = i; k < j; ++k) {
            positions.push_back(matches[k].oldPosition);
        }
        std::sort(positions.begin(), positions.end());
        for (size_t a = 0, b; a < positions.size(); a = b) {
            for (b = a + 1;
                 b < positions.size() && positions[b] - positions[b - 1] < kClusterGap;) {
                ++b;
            }
            const uint64_t low = positions[a], high = positions[b - 1];
            groups.push_back(
                {widen(low > pad ? low - pad : 0, std::min(high + pad, m_oldSize)), b - a});
        }
        i = j;
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const Group& a, const Group& b) { return a.votes > b.votes; });
    std::vector<ByteRange> chosen;
    uint64_t used = 0;
    for (const Group& group : groups) {
        uint64_t rangeSize = group.range.end - group.range.start;
        if (rangeSize <= budget - used) {
            chosen.push_back(group.range);
            used += rangeSize;
        }
    }
    if (chosen.empty() && m_oldSize > 0) {
        // Nothing recognised (data without anchors, such as long runs of zeros): try the old
        // bytes at the same offset.
        uint64_t start = std::min(newStart, m_oldSize - 1);
        ByteRange same =
            widen(start, start + std::min<uint64_t>({size, m_oldSize - start, budget}));
        if (same.end - same.start <= budget) {
            chosen.push_back(same);
        }
    }
    MergeRanges(chosen);
    return chosen;
}

}  // namespace tpe
