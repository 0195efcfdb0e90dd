#pragma once
// Builds the reference model for a pair of x86 executables from the ops that turn one into the
// other.

#include <cstddef>
#include <cstdint>

#include "diff_matcher.h"
#include "reference_model.h"

namespace tpe {

// False when the files are not both x86 or both x86-64 executables, or the model would exceed
// its limits.
bool BuildReferenceModel(const uint8_t* oldData, size_t oldSize, const uint8_t* newData,
                         size_t newSize, const DiffScript& script, ReferenceModel& model);

}  // namespace tpe
