// Rebuilds a new file from the old file and a delta, streaming all three with bounded memory:
// the old file through random-access reads, the delta and the output sequentially.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "delta_status.h"

namespace tpe {

// Random-access reads of the old file. 64-bit offsets throughout.
struct DeltaOldSource {
    virtual ~DeltaOldSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false on an I/O error or a read past the end.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

// Sequential writes of the new file; false stops decoding (an I/O error).
struct DeltaSink {
    virtual ~DeltaSink() = default;
    virtual bool Write(const void* data, size_t size) = 0;
};

// Sequential reads of the encoded delta: bytes read, 0 at the end, -1 on an error.
struct DeltaPatchSource {
    virtual ~DeltaPatchSource() = default;
    virtual long long Read(void* buffer, size_t size) = 0;
};

// Decodes `patch` against `oldFile` into `out`. `expectedNewSize` bounds the output: a delta that
// would produce more (a bomb) or less is Corrupt, and nothing past that size is ever written.
// `progress` (may be empty) gets the bytes written so far, at least once per MiB; returning false
// cancels (Cancelled). Only Ok means the output is complete and verified against the checksums
// the delta carries; on any other status the caller discards what was written.
// Memory stays below 64 MiB whatever the sizes.
DeltaStatus DecodeDelta(DeltaOldSource& oldFile, DeltaPatchSource& patch, DeltaSink& out,
                        uint64_t expectedNewSize,
                        const std::function<bool(uint64_t)>& progress = {});

}  // namespace tpe
