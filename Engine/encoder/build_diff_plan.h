#pragma once
// Which deltas a patch needs: one per distinct old contents of each changed file; builds whose
// old contents are the same share its block.
#include <cstddef>
#include <utility>
#include <vector>

#include "block_maker.h"
#include "build_request.h"
#include "patch_model.h"

namespace tpe {

struct DiffPlan {
    std::vector<BlockJob> jobs;  // in file table order, each pointed at its state
    // A state that takes the block of another: (file, state) indices into the model's files.
    using Place = std::pair<size_t, size_t>;
    std::vector<std::pair<Place, Place>> sharing;  // the sharing state, then the one it reuses
};

// The jobs for `model`'s files, read from the request's folders. The jobs point into
// `model->files`, which must not change until the blocks are made.
DiffPlan PlanDiffs(const BuildRequest& request, PatchModel* model);

// Copies each reused block into the states sharing it, once the blocks are made.
void ShareBlocks(const DiffPlan& plan, PatchModel* model);

}  // namespace tpe
