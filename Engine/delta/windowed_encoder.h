// Diffs files too large to hold in memory. The new file is cut into windows; an index of
// content-defined anchors over the whole old file tells where each window's data lies in the
// old file (moved data included), and the suffix-array matcher then runs on the window against
// just those old ranges. The result is an ordinary Diff delta with absolute old positions, so
// any decoder applies it.
#pragma once

#include <cstdint>

#include "delta_decoder.h"
#include "delta_encoder.h"

namespace tpe {

enum class WindowedEncodeResult { Ok, OldReadFailed, NewReadFailed, WriteFailed };

// Reads both files through random-access sources (`newFile` too; with more than one thread
// their ReadAt is called from several threads at once) and writes the delta to `out` as it is
// made. Memory: about 14 x options.windowBytes per thread plus at most 128 MiB for the
// anchor index, whatever the file sizes. The bytes written do not depend on options.threads.
// Throws std::bad_alloc when memory runs out (std::runtime_error should zstd fail).
WindowedEncodeResult EncodeDeltaWindowed(DeltaOldSource& oldFile, DeltaOldSource& newFile,
                                         DeltaSink& out, const DeltaEncodeOptions& options = {});

}  // namespace tpe
