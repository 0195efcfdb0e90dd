#pragma once
// Compares old builds with the new one and makes the payload: information lines, file table,
// one data block per distinct old contents of every changed file.
#include <string>

#include "build_request.h"
#include "build_versions.h"
#include "file_system.h"

namespace tpe {

// Writes the payload to `output`, replacing any file there; on failure nothing is left behind.
bool BuildPatch(FileSystem& fs, const BuildRequest& request, const std::string& output,
                BuildSummary* summary, std::string* error);

}  // namespace tpe
