#pragma once
// SHA-256 of a whole file, read in mebibyte pieces.
#include <functional>

#include "file_system.h"
#include "sha256.h"

namespace tpe {

// Called after every mebibyte read but the last; false stops the reading.
using ReadProgress = std::function<bool(uint64_t done, uint64_t total)>;

// False when the file cannot be read or `progress` stops it.
bool HashFile(InputFile& file, Digest* digest, const ReadProgress& progress);

}  // namespace tpe
