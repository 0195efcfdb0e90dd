#include "content_anchors.h"

#include <algorithm>

namespace tpe {
namespace {

// A fixed random value per byte (splitmix64 of the byte): the "gear" of the rolling hash.
struct GearTable {
    uint64_t values[256];
    GearTable() {
        uint64_t state = 0x2545f4914f6cdd1dull;
        for (uint64_t& value : values) {
            state += 0x9e3779b97f4a7c15ull;
            uint64_t z = state;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
            value = z ^ (z >> 31);
        }
    }
};

const GearTable kGear;

}  // namespace

AnchorScanner::AnchorScanner(uint64_t spacing)
    // The top bits of the hash depend on the most bytes: pick anchors by them.
    : m_mask(~(~uint64_t{0} >> __builtin_ctzll(spacing))), m_minGap(spacing / 2) {}

void AnchorScanner::Scan(const uint8_t* data, size_t size, std::vector<Anchor>& anchors) {
    uint64_t hash = m_hash;
    for (size_t i = 0; i < size; ++i) {
        // Shifting out one bit per byte: the hash covers the last 64 bytes.
        hash = (hash << 1) + kGear.values[data[i]];
        const uint64_t position = m_position + i + 1;
        if ((hash & m_mask) == 0 && position >= m_nextAllowed && hash != m_lastKey) {
            anchors.push_back({hash, position});
            m_lastKey = hash;
            m_nextAllowed = position + m_minGap;
        }
    }
    m_hash = hash;
    m_position += size;
}

void AnchorIndex::Build(std::vector<AnchorScanner::Anchor> anchors) {
    std::sort(anchors.begin(), anchors.end(),
              [](const AnchorScanner::Anchor& a, const AnchorScanner::Anchor& b) {
                  return a.key != b.key ? a.key < b.key : a.position < b.position;
              });
    // Keys seen very often (runs of one pattern) tell little and would cost much: keep the
    // first few of each.
    size_t kept = 0;
    for (size_t i = 0; i < anchors.size(); ++i) {
        if (kept >= kMaxPositionsPerKey &&
            anchors[kept - kMaxPositionsPerKey].key == anchors[i].key) {
            continue;
        }
        anchors[kept++] = anchors[i];
    }
    anchors.resize(kept);
    anchors.shrink_to_fit();
    m_anchors = std::move(anchors);
}

void AnchorIndex::Find(uint64_t key, std::vector<uint64_t>& positions) const {
    auto it = std::lower_bound(
        m_anchors.begin(), m_anchors.end(), key,
        [](const AnchorScanner::Anchor& a, uint64_t wanted) { return a.key < wanted; });
    for (; it != m_anchors.end() && it->key == key; ++it) {
        positions.push_back(it->position);
    }
}

uint64_t AnchorSpacingFor(uint64_t size) {
    uint64_t spacing = 256;
    while (size / spacing > (uint64_t{4} << 20)) {
        spacing *= 2;
    }
    return spacing;
}

}  // namespace tpe
