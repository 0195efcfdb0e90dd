#pragma once
// Reads a build's folder tree: every file's size, hash and mode, every folder, and what to do
// with symbolic links.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "file_system.h"
#include "patch_model.h"

namespace tpe {

// Refuse: a tree with links is not taken (each is named); Follow: what a link leads to is read
// as a file or folder of its own; Keep: links are recorded as links. A link that leads outside
// the tree is refused whatever the choice.
enum class LinkPolicy { Refuse, Follow, Keep };

struct Tree {
    std::map<std::string, Contents> files;     // '/'-separated paths relative to the root
    std::map<std::string, uint16_t> modes;     // each file's permission bits
    std::map<std::string, std::string> links;  // kept links and their targets
    std::set<std::string> folders;
};

// False with `error` set for an unreadable tree or a name no installation can hold. Links the
// policy does not take are added to `refusedLinks` ("PATH -> TARGET", with the reason when one
// leads outside) and the scan goes on, so that one message can name them all.
// `onFile` hears of each file read, with its size.
bool ScanTree(FileSystem& fs, const std::string& root, LinkPolicy links, Tree* tree,
              std::vector<std::string>* refusedLinks, std::string* error,
              const std::function<void(const std::string& path, uint64_t size)>& onFile = {});

}  // namespace tpe
