#pragma once
// Output files of tpatch: written whole or not at all (replacing_file.h).
#include <cstdint>
#include <string>
#include <vector>

#include "replacing_file.h"

namespace tpatch {

using tpe::ReplacingFile;

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace tpatch
