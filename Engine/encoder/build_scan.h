#pragma once
// First stage of a build: reads every build's tree.
#include <string>
#include <vector>

#include "build_request.h"
#include "file_system.h"
#include "tree_scan.h"

namespace tpe {

struct ScannedBuilds {
    std::vector<Tree> olds;  // in the request's order
    Tree current;
};

// Reads the old builds, then the new one, telling `request.onProgress` of the bytes read.
// False with `error` set when a tree cannot be read, holds links the request does not take
// (all named in one message) or the new build lacks the identifying file.
bool ScanBuilds(FileSystem& fs, const BuildRequest& request, ScannedBuilds* builds,
                std::string* error);

// The bytes of every file of `tree`.
uint64_t TreeBytes(const Tree& tree);

}  // namespace tpe
