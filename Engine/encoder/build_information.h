#pragma once
// The information lines of a patch: which versions it turns into which, where the utility
// finds the installation, the checksums that identify each build, and the history of a
// multi-version patch with its sources.
#include <string>

#include "build_request.h"
#include "build_scan.h"
#include "file_system.h"
#include "patch_model.h"

namespace tpe {

// Fills `model`'s information lines and sources. False with `error` set for a registry key or
// a checksum the utility could not take.
bool PlanInformation(FileSystem& fs, const BuildRequest& request, const ScannedBuilds& builds,
                     PatchModel* model, std::string* error);

}  // namespace tpe
