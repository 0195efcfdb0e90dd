// libFuzzer entry point: arbitrary bytes as an old file and a delta. The decoder must refuse or
// decode them without crashing, reading out of bounds, or writing past the expected size.
//
// Input layout: two bytes of old-file length (little-endian), the old file, then the delta. The
// expected size is taken from the delta's own header so that fuzzing reaches the bodies.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "counting_sink.h"
#include "delta_decoder.h"
#include "delta_format.h"
#include "little_endian.h"
#include "memory_delta_sources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    size_t oldSize = tpe::GetLe16(data);
    if (oldSize > size - 2)
        oldSize = size - 2;
    tpe::MemoryOldSource old(data + 2, oldSize);
    const uint8_t* delta = data + 2 + oldSize;
    const size_t deltaSize = size - 2 - oldSize;
    const uint64_t expected = deltaSize >= tpe::kDeltaHeaderSize
                                  ? tpe::GetLe64(delta + tpe::DeltaHeaderLayout::kNewSize)
                                  : 0;
    // Bounds a run's time: a legitimate delta may well produce gigabytes of zeros.
    if (expected > (8u << 20))
        return 0;
    tpe::MemoryPatchSource patch(delta, deltaSize);
    CountingSink sink;
    tpe::DecodeDelta(old, patch, sink, expected);
    if (sink.written > expected)
        std::abort();
    return 0;
}
