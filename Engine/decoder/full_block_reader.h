#pragma once
// Streams a Full block (one zstd frame of the new contents) into a sink, with the same contract
// as the delta decoder: bounded output, progress, cancel.
#include "delta_decoder.h"

namespace tpe {

DeltaStatus DecodeFullBlock(DeltaPatchSource& block, DeltaSink& out, uint64_t expectedSize,
                            const std::function<bool(uint64_t)>& progress);

}  // namespace tpe
