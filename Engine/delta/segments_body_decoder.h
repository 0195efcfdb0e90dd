// The Segments encoding's body: per segment of the new file, the old ranges that prime its zstd
// frame, then the frame; x86 branch operands transformed back when the body says so.
#pragma once

#include "delta_decoder.h"
#include "output_writer.h"
#include "patch_reader.h"

namespace tpe {

DeltaStatus DecodeSegmentsBody(PatchReader& reader, DeltaOldSource& oldFile, OutputWriter& out);

}  // namespace tpe
