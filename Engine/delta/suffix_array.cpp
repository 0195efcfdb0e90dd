#include "suffix_array.h"

#include <algorithm>
#include <cassert>

namespace tpe {
namespace {

// Suffix types: S when the suffix sorts before the next one, L otherwise. A virtual sentinel,
// smaller than every symbol, follows the text, so the last suffix is L.
class Types {
public:
    template <typename Symbol>
    Types(const Symbol* s, int32_t n) : m_bits((static_cast<size_t>(n) + 63) / 64) {
        bool nextIsS = false;  // the last suffix is L
        for (int32_t i = n - 2; i >= 0; --i) {
            nextIsS = s[i] < s[i + 1] || (s[i] == s[i + 1] && nextIsS);
            if (nextIsS) {
                m_bits[i >> 6] |= uint64_t{1} << (i & 63);
            }
        }
    }
    bool S(int32_t i) const { return (m_bits[i >> 6] >> (i & 63)) & 1; }
    // Leftmost S: an S suffix right after an L one.
    bool Lms(int32_t i) const { return i > 0 && S(i) && !S(i - 1); }

private:
    std::vector<uint64_t> m_bits;  // one bit per suffix: a byte each would cost n more bytes
};

template <typename Symbol>
void BucketBounds(const Symbol* s, int32_t n, int32_t alphabet, int32_t* bounds, bool ends) {
    std::fill(bounds, bounds + alphabet, 0);
    for (int32_t i = 0; i < n; ++i) {
        ++bounds[s[i]];
    }
    int32_t sum = 0;
    for (int32_t c = 0; c < alphabet; ++c) {
        sum += bounds[c];
        bounds[c] = ends ? sum : sum - bounds[c];
    }
}

// From sorted LMS suffixes placed at their bucket ends, sorts all L suffixes then all S ones.
template <typename Symbol>
void Induce(const Symbol* s, int32_t* sa, int32_t n, int32_t alphabet, const Types& types,
            int32_t* bucket) {
    BucketBounds(s, n, alphabet, bucket, false);
    // The sentinel's predecessor, the last suffix, comes first in its bucket.
    sa[bucket[s[n - 1]]++] = n - 1;
    for (int32_t i = 0; i < n; ++i) {
        int32_t j = sa[i] - 1;
        if (sa[i] > 0 && !types.S(j)) {
            sa[bucket[s[j]]++] = j;
        }
    }
    BucketBounds(s, n, alphabet, bucket, true);
    for (int32_t i = n - 1; i >= 0; --i) {
        int32_t j = sa[i] - 1;
        if (sa[i] > 0 && types.S(j)) {
            sa[--bucket[s[j]]] = j;
        }
    }
}

template <typename Symbol>
bool SameLmsSubstring(const Symbol* s, int32_t n, const Types& types, int32_t a, int32_t b) {
    for (int32_t d = 0;; ++d) {
        if (a + d == n || b + d == n) {
            return false;  // only one can reach the sentinel first
        }
        if (s[a + d] != s[b + d] || types.S(a + d) != types.S(b + d)) {
            return false;
        }
        if (d > 0 && types.Lms(a + d)) {
            return true;  // same types so far: both end here
        }
    }
}

// `spare` (may be null) is memory the caller does not need meanwhile, `spareSize` ints long: the
// bucket table goes there when it fits.
template <typename Symbol>
void SaIs(const Symbol* s, int32_t* sa, int32_t n, int32_t alphabet, int32_t* spare,
          size_t spareSize) {
    if (n == 1) {
        sa[0] = 0;
        return;
    }
    Types types(s, n);
    std::vector<int32_t> ownBucket;
    int32_t* bucket = spare;
    if (static_cast<size_t>(alphabet) > spareSize) {
        ownBucket.resize(alphabet);
        bucket = ownBucket.data();
    }

    // 1. Sort the LMS substrings by induction from their unsorted positions.
    std::fill(sa, sa + n, -1);
    BucketBounds(s, n, alphabet, bucket, true);
    for (int32_t i = 1; i < n; ++i) {
        if (types.Lms(i)) {
            sa[--bucket[s[i]]] = i;
        }
    }
    Induce(s, sa, n, alphabet, types, bucket);

    // 2. Name them: equal LMS substrings get equal names, in sorted order.
    int32_t lmsCount = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (types.Lms(sa[i])) {
            sa[lmsCount++] = sa[i];
        }
    }
    std::fill(sa + lmsCount, sa + n, -1);
    int32_t names = 0;
    int32_t previous = -1;
    for (int32_t i = 0; i < lmsCount; ++i) {
        int32_t pos = sa[i];
        if (previous < 0 || !SameLmsSubstring(s, n, types, pos, previous)) {
            ++names;
        }
        previous = pos;
        // LMS positions are at least two apart, so pos / 2 slots never collide.
        sa[lmsCount + pos / 2] = names - 1;
    }
    // Gather the names, in text order, at the end of the array: the reduced string.
    int32_t* reduced = sa + n - lmsCount;
    for (int32_t i = n - 1, j = n - 1; i >= lmsCount; --i) {
        if (sa[i] >= 0) {
            sa[j--] = sa[i];
        }
    }

    // 3. Sort the reduced string's suffixes: recursively unless every name is unique.
    if (names < lmsCount) {
        // Between the reduced problem's array and its string lies unused room; this level's
        // buckets are rebuilt afterwards, so the room (or their own table) serves the recursion.
        const size_t room = static_cast<size_t>(n - 2 * lmsCount);
        const size_t bucketSize = bucket == spare ? spareSize : ownBucket.size();
        if (room >= bucketSize) {
            SaIs(reduced, sa, lmsCount, names, sa + lmsCount, room);
        } else {
            SaIs(reduced, sa, lmsCount, names, bucket, bucketSize);
        }
    } else {
        for (int32_t i = 0; i < lmsCount; ++i) {
            sa[reduced[i]] = i;
        }
    }

    // 4. Place the LMS suffixes in their final order at their bucket ends and induce the rest.
    for (int32_t i = 1, j = 0; i < n; ++i) {
        if (types.Lms(i)) {
            reduced[j++] = i;
        }
    }
    for (int32_t i = 0; i < lmsCount; ++i) {
        sa[i] = reduced[sa[i]];
    }
    std::fill(sa + lmsCount, sa + n, -1);
    BucketBounds(s, n, alphabet, bucket, true);
    for (int32_t i = lmsCount - 1; i >= 0; --i) {
        int32_t pos = sa[i];
        sa[i] = -1;
        sa[--bucket[s[pos]]] = pos;
    }
    Induce(s, sa, n, alphabet, types, bucket);
}

}  // namespace

std::vector<int32_t> BuildSuffixArray(const uint8_t* text, size_t size) {
    assert(size <= kMaxSuffixArrayInput);
    std::vector<int32_t> sa(size);
    if (size > 0) {
        SaIs(text, sa.data(), static_cast<int32_t>(size), 256, nullptr, 0);
    }
    return sa;
}

}  // namespace tpe
