#pragma once
// Makes a delta that rebuilds `newData` from `oldData`. The codec picks the smallest of its
// encodings (diff against the old file, with references predicted when both are x86 or x86-64
// executables; from 32 MiB on, segments compressed against old ranges (segments_encoder.h);
// plain compression; stored), so a delta is never larger than the new file compressed alone.
// Plain compression runs at full level only when the diff is not under half the size of the
// fast compressed file; new files over 64 MiB get the segments without the whole-file diff.

#include <cstdint>
#include <vector>

namespace tpe {

struct DeltaEncodeOptions {
    int level = 19;        // zstd level for every stream (1..22)
    unsigned threads = 1;  // more than one writes the diffs in parallel; the output stays the same
};

// Memory: about 6 x oldSize + newSize at the peak. Old files above kMaxSuffixArrayInput bytes
// (2 GiB) get plain compression only. Throws std::bad_alloc when memory runs out (and
// std::runtime_error should zstd fail).
std::vector<uint8_t> EncodeDelta(const uint8_t* oldData, uint64_t oldSize, const uint8_t* newData,
                                 uint64_t newSize, const DeltaEncodeOptions& options = {});

}  // namespace tpe
