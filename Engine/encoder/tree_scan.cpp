#include "tree_scan.h"

#include <algorithm>

#include "file_hash.h"
#include "path_safety.h"

namespace tpe {
namespace {

bool ScanFolder(FileSystem& fs, const std::string& root, const std::string& relative, Tree* tree,
                std::set<std::string>* keys, std::string* error) {
    std::vector<std::string> names;
    if (!fs.List(JoinPath(root, relative), &names)) {
        *error = "cannot read the folder " + JoinPath(root, relative);
        return false;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = relative.empty() ? name : relative + "/" + name;
        const std::string full = JoinPath(root, path);
        std::string problem = PathProblem(path);
        if (!problem.empty()) {
            *error = full + " cannot be shipped in a patch: " + problem;
            return false;
        }
        if (!keys->insert(PathKey(path)).second) {
            *error = full + " differs from another name only in case";
            return false;
        }
        NodeInfo node = fs.Stat(full);
        if (node.kind == NodeKind::Folder) {
            tree->folders.insert(path);
            if (!ScanFolder(fs, root, path, tree, keys, error)) {
                return false;
            }
        } else if (node.kind == NodeKind::File) {
            std::unique_ptr<InputFile> file = fs.OpenRead(full);
            Contents contents;
            contents.present = true;
            contents.size = file ? file->Size() : 0;
            if (!file || !HashFile(*file, &contents.hash, ReadProgress())) {
                *error = "cannot read " + full;
                return false;
            }
            tree->files[path] = contents;
        } else {
            *error = full + " is a link or special file; builds may hold only files and folders";
            return false;
        }
    }
    return true;
}

}  // namespace

bool ScanTree(FileSystem& fs, const std::string& root, Tree* tree, std::string* error) {
    if (fs.Stat(root).kind != NodeKind::Folder) {
        *error = "not a folder: " + root;
        return false;
    }
    std::set<std::string> keys;
    return ScanFolder(fs, root, std::string(), tree, &keys, error);
}

}  // namespace tpe
