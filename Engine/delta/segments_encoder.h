#pragma once
// Writes Segments deltas: the new file cut into segments of kSegmentNewBytes, each compressed by
// zstd against the old ranges that hold its data (found by old_range_finder.h), with x86 branch
// operands made absolute first when either file is an x86 or x86-64 executable. zstd's own
// matching then takes short and long matches from the old file and the segment alike, which
// beats copy-and-add diffs where code changed throughout.

#include "delta_decoder.h"
#include "delta_encoder.h"

namespace tpe {

enum class SegmentsEncodeResult { Ok, OldReadFailed, NewReadFailed, WriteFailed };

// Streams both files through random-access sources (read from several threads at once when
// options.threads > 1) and writes the delta to `out` as it is made. Memory: about 150 MiB per
// thread at level 19 plus the anchor index (under 128 MiB). The bytes do not depend on the
// thread count. Throws std::bad_alloc when memory runs out, std::runtime_error should zstd fail.
SegmentsEncodeResult EncodeDeltaSegments(DeltaOldSource& oldFile, DeltaOldSource& newFile,
                                         DeltaSink& out, const DeltaEncodeOptions& options = {});

}  // namespace tpe
