#pragma once
// Checks a relative path taken from a payload. A path passes only when it names something inside
// the installation on every file system the engine runs on: no way up, no root, no drive, no
// stream, no device, nothing Windows would silently rename.
#include <string>

namespace tpe {

// Empty text when `path` is safe, otherwise why it is not.
std::string PathProblem(const std::string& path);

// The key under which two paths name the same file on a case-insensitive file system.
std::string PathKey(const std::string& path);

// '/'-separated to '\'-separated, the form the engine reports names in.
std::string BackslashPath(const std::string& path);

}  // namespace tpe
