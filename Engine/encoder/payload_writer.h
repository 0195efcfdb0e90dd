#pragma once
// Writes a payload: header, information lines, file table, data blocks, trailer.
#include <cstdint>
#include <string>
#include <vector>

#include "file_system.h"
#include "patch_model.h"

namespace tpe {

class PayloadWriter {
public:
    // Appends a data block and points `state` at it.
    void AddBlock(OldState& state, BlockKind kind, const std::vector<uint8_t>& block);
    // The whole payload as bytes; `model` must already point at the added blocks.
    std::vector<uint8_t> Finish(const PatchModel& model) const;

private:
    std::vector<uint8_t> m_data;
};

}  // namespace tpe
