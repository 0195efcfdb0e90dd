// Makes a delta that rebuilds `newData` from `oldData`. The codec picks the smallest of its
// encodings (diff against the old file, plain compression, stored), so a delta is never larger
// than the new file compressed alone.
#pragma once

#include <cstdint>
#include <vector>

namespace tpe {

struct DeltaEncodeOptions {
    int level = 19;        // zstd level for every stream (1..22)
    unsigned threads = 1;  // more than one uses that many threads; the output stays the same
};

// Throws std::bad_alloc when memory runs out. Old files above kMaxSuffixArrayInput bytes get
// plain compression only.
std::vector<uint8_t> EncodeDelta(const uint8_t* oldData, uint64_t oldSize, const uint8_t* newData,
                                 uint64_t newSize, const DeltaEncodeOptions& options = {});

}  // namespace tpe
