#pragma once
// Writes a payload file: header, information lines, file table, data blocks, trailer. Blocks
// wait in a scratch file beside the output until the file table is known; the payload then
// replaces the output whole (replacing_file.h), so a failed build never leaves a partial patch
// behind.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "file_system.h"
#include "patch_model.h"

namespace tpe {

class PayloadWriter {
public:
    PayloadWriter(FileSystem& fs, const std::string& path);
    ~PayloadWriter();  // removes the scratch and temporary files that are left
    PayloadWriter(const PayloadWriter&) = delete;
    PayloadWriter& operator=(const PayloadWriter&) = delete;

    bool Open(std::string* error);
    // Writes an older format version (tests check that such payloads still apply as before).
    void SetFormatVersion(uint16_t version) { m_formatVersion = version; }
    // Appends a data block and points `state` at it.
    bool AddBlock(OldState& state, BlockKind kind, const uint8_t* data, size_t size,
                  std::string* error);
    // Appends the whole of `block` as a data block.
    bool AddBlockFrom(OldState& state, BlockKind kind, InputFile& block, std::string* error);
    uint64_t DataSize() const { return m_dataSize; }
    // Writes the payload; `model` must already point at the added blocks.
    bool Finish(const PatchModel& model, uint64_t* payloadSize, std::string* error);

    // A file beside the output for the builder's own scratch work, removed with the writer.
    std::string ScratchPath(const std::string& suffix);

private:
    bool AppendData(const void* data, size_t size, std::string* error);

    FileSystem& m_fs;
    std::string m_path;
    std::unique_ptr<OutputFile> m_data;
    uint64_t m_dataSize = 0;
    uint16_t m_formatVersion = kFormatVersion;
    std::vector<std::string> m_scratch;
};

}  // namespace tpe
