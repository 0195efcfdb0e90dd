#pragma once
// Makes the planned deltas and adds them to the payload as data blocks.
#include <string>

#include "build_diff_plan.h"
#include "build_request.h"
#include "file_system.h"
#include "payload_writer.h"

namespace tpe {

// Opens `writer`, makes every block of `plan` (telling `request.onProgress` of the bytes
// diffed) and points every state of `model` that needs a block at its own. Adds the block
// bytes and the files stored whole to `summary`.
bool EncodeBlocks(FileSystem& fs, const BuildRequest& request, DiffPlan& plan,
                  PayloadWriter& writer, PatchModel* model, BuildSummary* summary,
                  std::string* error);

}  // namespace tpe
