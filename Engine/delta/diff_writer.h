// Lays a diff script out as the Diff encoding's body: chunks of at most kChunkNewBytes of new
// output, each with its part of the control, difference and literal streams.
#pragma once

#include <cstdint>
#include <vector>

#include "diff_matcher.h"
#include "reference_model.h"

namespace tpe {

// The script's ops turn `oldData` into `newData`. With `model`, the differences are taken
// against old bytes whose references were rewritten as the model predicts (see
// reference_model.h), and the body starts with the model. `threads` > 1 compresses the streams
// at once; the bytes are the same either way.
std::vector<uint8_t> WriteDiffBody(const DiffScript& script, const uint8_t* oldData,
                                   const uint8_t* newData, int level, unsigned threads,
                                   const ReferenceModel* model = nullptr);

}  // namespace tpe
