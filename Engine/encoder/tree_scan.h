#pragma once
// Reads a build's folder tree: every file's size and hash, every folder.
#include <map>
#include <set>
#include <string>

#include "file_system.h"
#include "patch_model.h"

namespace tpe {

struct Tree {
    std::map<std::string, Contents> files;  // '/'-separated paths relative to the root
    std::set<std::string> folders;
};

// False with `error` set for an unreadable tree, a link, or a name no installation can hold.
bool ScanTree(FileSystem& fs, const std::string& root, Tree* tree, std::string* error);

}  // namespace tpe
