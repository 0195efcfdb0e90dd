// The Diff encodings' body: chunks of control, difference and literal streams applied to the
// old file, after the reference model when `withReferences`.
#pragma once

#include <cstdint>

#include "delta_decoder.h"
#include "output_writer.h"
#include "patch_reader.h"

namespace tpe {

DeltaStatus DecodeDiffBody(PatchReader& reader, DeltaOldSource& oldFile, OutputWriter& out,
                           bool withReferences);

}  // namespace tpe
