#pragma once
// Makes the data block that turns one old file into the new one, checks that it rebuilds the
// file, and adds it to the payload. Files whose diff fits the memory budget are diffed in
// memory; larger ones segment by segment, streamed from disk, so any size can be diffed.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file_system.h"
#include "payload_writer.h"

namespace tpe {

struct BlockOptions {
    int level = 19;
    uint64_t memoryBudget = uint64_t{1} << 30;
    unsigned threads = 1;
    std::function<void(const std::string& newPath, uint64_t newSize)> onSegmentedFile;
    // Bytes of new files diffed so far, all jobs together, and the file at hand; called from
    // one thread at a time (not always the same one).
    std::function<void(const std::string& newPath, uint64_t done)> onProgress;
};

// Whether diffing these sizes in memory stays within `budget` (and the address space).
bool DiffFitsInMemory(uint64_t oldSize, uint64_t newSize, uint64_t budget);

// One data block to make: the delta from an old file to the new one.
struct BlockJob {
    std::string oldPath;  // empty: the file is added
    uint64_t oldSize = 0;
    std::string newPath;
    uint64_t newSize = 0;
    OldState* state = nullptr;  // pointed at the block once it is made
    bool storedWhole = false;   // the delta failed its check: the new file went in on its own
};

// Makes the jobs' blocks and adds them to `writer` in order. Files diffed in memory are diffed
// `options.threads` at a time while their memory together stays within the budget; larger
// files one at a time, each segment by segment. The payload is the same for any thread count.
// On failure `error` names the first job that failed.
bool MakeBlocks(FileSystem& fs, PayloadWriter& writer, const BlockOptions& options,
                std::vector<BlockJob>& jobs, std::string* error);

}  // namespace tpe
