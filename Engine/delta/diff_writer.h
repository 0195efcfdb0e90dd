// Lays a diff script out as the Diff encoding's body: chunks of at most kChunkNewBytes of new
// output, each with its part of the control, difference and literal streams.
#pragma once

#include <cstdint>
#include <vector>

#include "diff_matcher.h"

namespace tpe {

// `threads` > 1 compresses the three streams at once; the bytes are the same either way.
std::vector<uint8_t> WriteDiffBody(const DiffScript& script, int level, unsigned threads);

}  // namespace tpe
