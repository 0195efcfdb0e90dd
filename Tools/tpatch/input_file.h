#pragma once
// Reads a whole input file into memory.
#include <cstdint>
#include <string>
#include <vector>

#include "file_system.h"

namespace tpatch {

// False when the file cannot be read, or is larger than this process can hold (a 32-bit
// build and a file of 4 GiB or more), rather than reading part of it.
bool ReadAll(tpe::InputFile& file, std::vector<uint8_t>* bytes);

// The same by path; `error` says why it failed.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

}  // namespace tpatch
