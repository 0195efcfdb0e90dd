#include "build_encode.h"

namespace tpe {

bool EncodeBlocks(FileSystem& fs, const BuildRequest& request, DiffPlan& plan,
                  PayloadWriter& writer, PatchModel* model, BuildSummary* summary,
                  std::string* error) {
    writer.SetFormatVersion(request.formatVersion);
    BlockOptions options;
    options.level = request.level;
    options.memoryBudget = request.memoryBudget;
    options.threads = request.threads;
    options.onSegmentedFile = request.onSegmentedFile;
    uint64_t toDiff = 0;
    for (const BlockJob& job : plan.jobs) {
        toDiff += job.newSize;
    }
    if (request.onProgress) {
        options.onProgress = [&](const std::string& path, uint64_t done) {
            request.onProgress(path, done, toDiff);
        };
    }
    if (!writer.Open(error) || !MakeBlocks(fs, writer, options, plan.jobs, error)) {
        return false;
    }
    for (const BlockJob& job : plan.jobs) {
        summary->blockBytes += job.state->blockSize;
        if (job.storedWhole) {
            summary->fullBlocks.push_back(job.newPath);
        }
    }
    ShareBlocks(plan, model);
    return true;
}

}  // namespace tpe
