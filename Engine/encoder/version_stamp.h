#pragma once
// The version text some builds carry inside their identifying file: the marker
// "Windows only.\r\n" at offset 78 (any case) and the text at offset 94, up to 16 bytes.
#include <string>

#include "file_system.h"

namespace tpe {

bool ReadVersionStamp(FileSystem& fs, const std::string& path, std::string* version);

}  // namespace tpe
