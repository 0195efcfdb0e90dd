#pragma once
// Writes a whole output file or nothing: bytes go to a temporary file beside it, which replaces
// the target only once complete.
#include <cstdint>
#include <string>
#include <vector>

namespace tpatch {

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace tpatch
