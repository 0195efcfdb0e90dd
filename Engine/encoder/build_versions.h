#pragma once
// Version texts of builds: their order, what the utility can take, and history extensions.
#include <string>
#include <vector>

#include "patch_model.h"

namespace tpe {

// Orders dotted versions by their numbers ("1.10" after "1.9"), other text by bytes.
bool VersionLess(const std::string& a, const std::string& b);

// Why the utility could not take `version` as a build's version; empty when it can.
std::string VersionProblem(const std::string& version);

// The history extension of a version, unlike those of `taken`: letters, digits and '_' only,
// never a dot.
std::string HistoryExtension(const std::string& version, const std::vector<Source>& taken);

}  // namespace tpe
