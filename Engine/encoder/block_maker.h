#pragma once
// Makes the data block that turns one old file into the new one, checks that it rebuilds the
// file, and adds it to the payload. Files whose diff fits the memory budget are diffed in
// memory; larger ones window by window, streamed from disk, so any size can be diffed.
#include <cstdint>
#include <string>
#include <vector>

#include "file_system.h"
#include "payload_writer.h"

namespace tpe {

struct BlockOptions {
    int level = 19;
    uint64_t memoryBudget = uint64_t{1} << 30;
    unsigned threads = 1;
};

// Whether diffing these sizes in memory stays within `budget` (and the address space).
bool DiffFitsInMemory(uint64_t oldSize, uint64_t newSize, uint64_t budget);

class BlockMaker {
public:
    BlockMaker(FileSystem& fs, PayloadWriter& writer, const BlockOptions& options)
        : m_fs(fs), m_writer(writer), m_options(options) {}

    // `oldPath` empty: the file is added. Sets `storedWhole` when the delta failed its check
    // and the new file went in compressed on its own instead.
    bool Make(const std::string& oldPath, uint64_t oldSize, const std::string& newPath,
              uint64_t newSize, OldState& state, bool* storedWhole, std::string* error);

private:
    bool MakeInMemory(const std::string& oldPath, const std::string& newPath, OldState& state,
                      bool* storedWhole, std::string* error);
    bool MakeWindowed(const std::string& oldPath, const std::string& newPath, OldState& state,
                      std::string* error);

    FileSystem& m_fs;
    PayloadWriter& m_writer;
    BlockOptions m_options;
    std::string m_newPath;  // whose contents m_newData holds
    std::vector<uint8_t> m_newData;
};

}  // namespace tpe
