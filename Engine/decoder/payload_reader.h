#pragma once
// Reads and checks a whole payload before anything uses it: header checksum, a SHA-256 over all
// sections, limits, and every path. Data blocks stay in the file and are read when applied.
#include <string>

#include "file_system.h"
#include "patch_model.h"
#include "payload_locator.h"

namespace tpe {

struct OpenedPayload {
    PatchModel model;
    uint64_t dataOffset = 0;  // of the data section, in the file
    uint64_t dataSize = 0;
};

PayloadStatus ReadPayload(InputFile& file, OpenedPayload* payload, std::string* error);

// The table and information checks alone (also used by tests on hand-made models).
std::string ModelProblem(const PatchModel& model, uint64_t dataSize);

}  // namespace tpe
