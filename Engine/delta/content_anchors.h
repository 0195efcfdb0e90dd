#pragma once
// Content-defined anchors: positions picked by a rolling hash of the 64 bytes before them, so
// the same data yields the same anchors wherever it lies. The large-file encoder indexes the
// old file's anchors and looks up the new file's to learn where its data moved.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tpe {

// Finds anchors in a byte stream fed in pieces. On average one anchor per `spacing` bytes
// (a power of two), never two closer than spacing / 2, and never the same key twice in a row:
// long runs of one byte pattern cannot flood the index.
class AnchorScanner {
public:
    explicit AnchorScanner(uint64_t spacing);

    struct Anchor {
        uint64_t key;       // the rolling hash at the anchor
        uint64_t position;  // offset in the stream of the byte after the hashed ones
    };
    // Scans the next `size` bytes; appends the anchors found to `anchors`.
    void Scan(const uint8_t* data, size_t size, std::vector<Anchor>& anchors);

private:
    uint64_t m_mask;
    uint64_t m_minGap;
    uint64_t m_hash = 0;
    uint64_t m_lastKey = 0;
    uint64_t m_position = 0;
    uint64_t m_nextAllowed = 64;  // the first 64 bytes only fill the hash
};

// The old file's anchors, sorted by key; each key keeps at most kMaxPositionsPerKey positions.
class AnchorIndex {
public:
    static constexpr size_t kMaxPositionsPerKey = 4;

    void Build(std::vector<AnchorScanner::Anchor> anchors);
    // Appends the old positions of `key` to `positions`.
    void Find(uint64_t key, std::vector<uint64_t>& positions) const;
    size_t Size() const { return m_anchors.size(); }

private:
    std::vector<AnchorScanner::Anchor> m_anchors;
};

// Spacing that keeps an index of a `size`-byte file at about 4 million anchors on average and
// 8 million (128 MiB) at worst.
uint64_t AnchorSpacingFor(uint64_t size);

}  // namespace tpe
