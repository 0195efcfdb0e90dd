#include "diff_matcher.h"

#include <cstring>

#include "suffix_array.h"

namespace tpe {
namespace {

// Length of the common prefix of a and b, compared a word at a time.
size_t CommonPrefix(const uint8_t* a, size_t aSize, const uint8_t* b, size_t bSize) {
    size_t limit = aSize < bSize ? aSize : bSize;
    size_t i = 0;
    for (; i + 8 <= limit; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) {
            break;
        }
    }
    while (i < limit && a[i] == b[i]) {
        ++i;
    }
    return i;
}

class Matcher {
public:
    Matcher(const uint8_t* oldData, size_t oldSize, const uint8_t* newData, size_t newSize)
        : m_old(oldData),
          m_oldSize(oldSize),
          m_new(newData),
          m_newSize(newSize),
          m_sa(BuildSuffixArray(oldData, oldSize)) {}

    DiffScript Run();

private:
    // The longest prefix of new[at..] found anywhere in the old file; its old offset in `pos`.
    size_t LongestMatch(size_t at, size_t& pos) const;
    size_t MatchAt(size_t oldPos, size_t newPos, size_t skip) const {
        return skip + CommonPrefix(m_old + oldPos + skip, m_oldSize - oldPos - skip,
                                   m_new + newPos + skip, m_newSize - newPos - skip);
    }
    bool SameAt(int64_t oldPos, size_t newPos) const {
        return oldPos >= 0 && static_cast<uint64_t>(oldPos) < m_oldSize &&
               m_old[oldPos] == m_new[newPos];
    }
    void Emit(size_t lastScan, size_t lastPos, size_t copyLen, size_t literalEnd);

    const uint8_t* m_old;
    size_t m_oldSize;
    const uint8_t* m_new;
    size_t m_newSize;
    std::vector<int32_t> m_sa;
    DiffScript m_script;
    size_t m_oldCursor = 0;
};

size_t Matcher::LongestMatch(size_t at, size_t& pos) const {
    size_t lo = 0, hi = m_oldSize - 1;
    size_t loLen = MatchAt(m_sa[lo], at, 0);
    size_t hiLen = MatchAt(m_sa[hi], at, 0);
    const size_t wanted = m_newSize - at;
    // Suffixes between lo and hi share min(loLen, hiLen) bytes with the pattern: skip them.
    while (hi - lo > 1) {
        size_t mid = lo + (hi - lo) / 2;
        size_t suffix = static_cast<size_t>(m_sa[mid]);
        size_t len = MatchAt(suffix, at, loLen < hiLen ? loLen : hiLen);
        if (len == wanted) {
            pos = suffix;
            return len;
        }
        if (suffix + len == m_oldSize || m_old[suffix + len] < m_new[at + len]) {
            lo = mid;
            loLen = len;
        } else {
            hi = mid;
            hiLen = len;
        }
    }
    if (loLen >= hiLen) {
        pos = static_cast<size_t>(m_sa[lo]);
        return loLen;
    }
    pos = static_cast<size_t>(m_sa[hi]);
    return hiLen;
}

// Records the op ending the previous match region: copy [lastPos, +copyLen) against
// new[lastScan, +copyLen), then the literals up to new[literalEnd).
void Matcher::Emit(size_t lastScan, size_t lastPos, size_t copyLen, size_t literalEnd) {
    size_t literalLen = literalEnd - (lastScan + copyLen);
    if (copyLen + literalLen == 0) {
        return;
    }
    DiffOp op;
    op.seek = static_cast<int64_t>(lastPos) - static_cast<int64_t>(m_oldCursor);
    op.copyLen = copyLen;
    op.literalLen = literalLen;
    if (copyLen == 0) {
        op.seek = 0;  // nothing read: keep the old position
    } else {
        m_oldCursor = lastPos + copyLen;
    }
    m_script.ops.push_back(op);
    m_script.literals.insert(m_script.literals.end(), m_new + lastScan + copyLen,
                             m_new + literalEnd);
}

DiffScript Matcher::Run() {
    size_t scan = 0, len = 0, pos = 0;
    size_t lastScan = 0, lastPos = 0;
    int64_t lastOffset = 0;
    while (scan < m_newSize) {
        // Look for the next exact match that beats simply extending the previous one (the old
        // bytes at lastOffset) by more than a few bytes.
        int64_t oldScore = 0;
        size_t scored = scan += len;
        for (; scan < m_newSize; ++scan) {
            len = m_oldSize > 0 ? LongestMatch(scan, pos) : 0;
            for (; scored < scan + len; ++scored) {
                if (SameAt(static_cast<int64_t>(scored) + lastOffset, scored)) {
                    ++oldScore;
                }
            }
            if ((len == static_cast<size_t>(oldScore) && len != 0) ||
                static_cast<int64_t>(len) > oldScore + 8) {
                break;
            }
            if (SameAt(static_cast<int64_t>(scan) + lastOffset, scan)) {
                --oldScore;
            }
        }
        if (len == static_cast<size_t>(oldScore) && scan != m_newSize) {
            continue;
        }

        // Extend the previous match forward and the new one backward while at least half of
        // the bytes agree: the differences then compress to almost nothing.
        size_t forward = 0;
        {
            int64_t same = 0, best = 0;
            for (size_t i = 0; lastScan + i < scan && lastPos + i < m_oldSize;) {
                if (m_old[lastPos + i] == m_new[lastScan + i]) {
                    ++same;
                }
                ++i;
                if (same * 2 - static_cast<int64_t>(i) > best * 2 - static_cast<int64_t>(forward)) {
                    best = same;
                    forward = i;
                }
            }
        }
        size_t backward = 0;
        if (scan < m_newSize) {
            int64_t same = 0, best = 0;
            for (size_t i = 1; scan >= lastScan + i && pos >= i; ++i) {
                if (m_old[pos - i] == m_new[scan - i]) {
                    ++same;
                }
                if (same * 2 - static_cast<int64_t>(i) >
                    best * 2 - static_cast<int64_t>(backward)) {
                    best = same;
                    backward = i;
                }
            }
        }
        // Where the two extensions overlap, split them where the most bytes agree.
        if (lastScan + forward > scan - backward) {
            size_t overlap = (lastScan + forward) - (scan - backward);
            int64_t score = 0, best = 0;
            size_t split = 0;
            for (size_t i = 0; i < overlap; ++i) {
                size_t f = lastScan + forward - overlap + i;
                size_t b = scan - backward + i;
                if (m_new[f] == m_old[lastPos + forward - overlap + i]) {
                    ++score;
                }
                if (m_new[b] == m_old[pos - backward + i]) {
                    --score;
                }
                if (score > best) {
                    best = score;
                    split = i + 1;
                }
            }
            forward += split - overlap;
            backward -= split;
        }
        Emit(lastScan, lastPos, forward, scan - backward);
        lastScan = scan - backward;
        lastPos = pos - backward;
        lastOffset = static_cast<int64_t>(pos) - static_cast<int64_t>(scan);
    }
    return std::move(m_script);
}

}  // namespace

DiffScript BuildDiffScript(const uint8_t* oldData, size_t oldSize, const uint8_t* newData,
                           size_t newSize) {
    return Matcher(oldData, oldSize, newData, newSize).Run();
}

}  // namespace tpe
