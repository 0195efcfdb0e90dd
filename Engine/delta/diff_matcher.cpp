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
        if (x != y)
            break;
    }
    while (i < limit && a[i] == b[i]) ++i;
    return i;
}

class Matcher {
public:
    Matcher(const uint8_t* oldData, size_t oldSize, const uint8_t* newData, size_t newSize)
        : old_(oldData),
          oldSize_(oldSize),
          new_(newData),
          newSize_(newSize),
          sa_(BuildSuffixArray(oldData, oldSize)) {}

    DiffScript Run();

private:
    // The longest prefix of new[at..] found anywhere in the old file; its old offset in `pos`.
    size_t LongestMatch(size_t at, size_t& pos) const;
    size_t MatchAt(size_t oldPos, size_t newPos, size_t skip) const {
        return skip + CommonPrefix(old_ + oldPos + skip, oldSize_ - oldPos - skip,
                                   new_ + newPos + skip, newSize_ - newPos - skip);
    }
    bool SameAt(int64_t oldPos, size_t newPos) const {
        return oldPos >= 0 && static_cast<uint64_t>(oldPos) < oldSize_ &&
               old_[oldPos] == new_[newPos];
    }
    void Emit(size_t lastScan, size_t lastPos, size_t copyLen, size_t literalEnd);

    const uint8_t* old_;
    size_t oldSize_;
    const uint8_t* new_;
    size_t newSize_;
    std::vector<int32_t> sa_;
    DiffScript script_;
    size_t oldCursor_ = 0;
};

size_t Matcher::LongestMatch(size_t at, size_t& pos) const {
    size_t lo = 0, hi = oldSize_ - 1;
    size_t loLen = MatchAt(sa_[lo], at, 0);
    size_t hiLen = MatchAt(sa_[hi], at, 0);
    const size_t wanted = newSize_ - at;
    // Suffixes between lo and hi share min(loLen, hiLen) bytes with the pattern: skip them.
    while (hi - lo > 1) {
        size_t mid = lo + (hi - lo) / 2;
        size_t suffix = static_cast<size_t>(sa_[mid]);
        size_t len = MatchAt(suffix, at, loLen < hiLen ? loLen : hiLen);
        if (len == wanted) {
            pos = suffix;
            return len;
        }
        if (suffix + len == oldSize_ || old_[suffix + len] < new_[at + len]) {
            lo = mid;
            loLen = len;
        } else {
            hi = mid;
            hiLen = len;
        }
    }
    if (loLen >= hiLen) {
        pos = static_cast<size_t>(sa_[lo]);
        return loLen;
    }
    pos = static_cast<size_t>(sa_[hi]);
    return hiLen;
}

// Records the op ending the previous match region: copy [lastPos, +copyLen) against
// new[lastScan, +copyLen), then the literals up to new[literalEnd).
void Matcher::Emit(size_t lastScan, size_t lastPos, size_t copyLen, size_t literalEnd) {
    size_t literalLen = literalEnd - (lastScan + copyLen);
    if (copyLen + literalLen == 0)
        return;
    DiffOp op;
    op.seek = static_cast<int64_t>(lastPos) - static_cast<int64_t>(oldCursor_);
    op.copyLen = copyLen;
    op.literalLen = literalLen;
    if (copyLen == 0)
        op.seek = 0;  // nothing read: keep the old position
    else
        oldCursor_ = lastPos + copyLen;
    script_.ops.push_back(op);
    script_.literals.insert(script_.literals.end(), new_ + lastScan + copyLen, new_ + literalEnd);
}

DiffScript Matcher::Run() {
    size_t scan = 0, len = 0, pos = 0;
    size_t lastScan = 0, lastPos = 0;
    int64_t lastOffset = 0;
    while (scan < newSize_) {
        // Look for the next exact match that beats simply extending the previous one (the old
        // bytes at lastOffset) by more than a few bytes.
        int64_t oldScore = 0;
        size_t scored = scan += len;
        for (; scan < newSize_; ++scan) {
            len = oldSize_ > 0 ? LongestMatch(scan, pos) : 0;
            for (; scored < scan + len; ++scored)
                if (SameAt(static_cast<int64_t>(scored) + lastOffset, scored))
                    ++oldScore;
            if ((len == static_cast<size_t>(oldScore) && len != 0) ||
                static_cast<int64_t>(len) > oldScore + 8)
                break;
            if (SameAt(static_cast<int64_t>(scan) + lastOffset, scan))
                --oldScore;
        }
        if (len == static_cast<size_t>(oldScore) && scan != newSize_)
            continue;

        // Extend the previous match forward and the new one backward while at least half of
        // the bytes agree: the differences then compress to almost nothing.
        size_t forward = 0;
        {
            int64_t same = 0, best = 0;
            for (size_t i = 0; lastScan + i < scan && lastPos + i < oldSize_;) {
                if (old_[lastPos + i] == new_[lastScan + i])
                    ++same;
                ++i;
                if (same * 2 - static_cast<int64_t>(i) > best * 2 - static_cast<int64_t>(forward)) {
                    best = same;
                    forward = i;
                }
            }
        }
        size_t backward = 0;
        if (scan < newSize_) {
            int64_t same = 0, best = 0;
            for (size_t i = 1; scan >= lastScan + i && pos >= i; ++i) {
                if (old_[pos - i] == new_[scan - i])
                    ++same;
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
                if (new_[f] == old_[lastPos + forward - overlap + i])
                    ++score;
                if (new_[b] == old_[pos - backward + i])
                    --score;
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
    return std::move(script_);
}

}  // namespace

DiffScript BuildDiffScript(const uint8_t* oldData, size_t oldSize, const uint8_t* newData,
                           size_t newSize) {
    return Matcher(oldData, oldSize, newData, newSize).Run();
}

}  // namespace tpe
