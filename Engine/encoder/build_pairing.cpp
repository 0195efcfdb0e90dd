#include "build_pairing.h"

#include <algorithm>
#include <map>
#include <set>

#include "path_safety.h"

namespace tpe {
namespace {

std::vector<const Tree*> AllTrees(const ScannedBuilds& builds) {
    std::vector<const Tree*> trees = {&builds.current};
    for (const Tree& t : builds.olds) {
        trees.push_back(&t);
    }
    return trees;
}

// Changes the engine does not take: a file that becomes a folder (or back), and names that
// differ only in case between builds (Windows treats them as one file).
std::string ShapeProblem(const std::set<std::string>& paths, const ScannedBuilds& builds) {
    std::map<std::string, std::string> byKey;
    for (const std::string& path : paths) {
        auto [it, added] = byKey.emplace(PathKey(path), path);
        if (!added) {
            return it->second + " and " + path + " differ only in case between builds; " +
                   "rename the file in the new build's spelling in every build";
        }
    }
    for (const Tree* tree : AllTrees(builds)) {
        for (const std::string& folder : tree->folders) {
            if (byKey.count(PathKey(folder)) != 0) {
                return folder + " is a file in one build and a folder in another";
            }
        }
    }
    return std::string();
}

// A link's entry: its target is stored in the file table, so no state needs a data block.
FileEntry LinkEntry(const std::string& path, const ScannedBuilds& builds) {
    FileEntry file;
    file.path = path;
    file.kind = EntryKind::Link;
    auto found = builds.current.links.find(path);
    if (found != builds.current.links.end()) {
        file.linkTarget = found->second;
        file.target = LinkContents(file.linkTarget);
    }
    for (size_t i = 0; i < builds.olds.size(); ++i) {
        OldState state;
        state.source = uint16_t(i);
        auto old = builds.olds[i].links.find(path);
        if (old != builds.olds[i].links.end()) {
            state.old = LinkContents(old->second);
        }
        file.states.push_back(state);
    }
    return file;
}

// A file's entry; `changed` tells whether any old build differs in contents or mode.
FileEntry PlainEntry(const std::string& path, const ScannedBuilds& builds, bool* changed) {
    FileEntry file;
    file.path = path;
    auto found = builds.current.files.find(path);
    if (found != builds.current.files.end()) {
        file.target = found->second;
        file.hasMode = true;
        file.mode = builds.current.modes.at(path);
    }
    *changed = false;
    for (size_t i = 0; i < builds.olds.size(); ++i) {
        const Tree& oldTree = builds.olds[i];
        OldState state;
        state.source = uint16_t(i);
        auto old = oldTree.files.find(path);
        if (old != oldTree.files.end()) {
            state.old = old->second;
        }
        // A mode that changes without the contents is a change too.
        *changed =
            *changed || !(state.old == file.target) ||
            (file.target.present && state.old.present && oldTree.modes.at(path) != file.mode);
        file.states.push_back(state);
    }
    return file;
}

}  // namespace

bool PairFiles(const ScannedBuilds& builds, std::vector<FileEntry>* files, std::string* error) {
    // Every path of any build, in order.
    std::set<std::string> paths;
    for (const Tree* t : AllTrees(builds)) {
        for (const auto& entry : t->files) {
            paths.insert(entry.first);
        }
    }
    std::set<std::string> links;
    for (const Tree* t : AllTrees(builds)) {
        for (const auto& entry : t->links) {
            if (paths.count(entry.first) != 0) {
                *error = entry.first + " is a link in one build and a file in another";
                return false;
            }
            links.insert(entry.first);
        }
    }
    paths.insert(links.begin(), links.end());
    if (!(*error = ShapeProblem(paths, builds)).empty()) {
        return false;
    }
    for (const std::string& path : paths) {
        if (links.count(path) != 0) {
            FileEntry link = LinkEntry(path, builds);
            if (std::any_of(link.states.begin(), link.states.end(),
                            [&](const OldState& s) { return !(s.old == link.target); })) {
                files->push_back(std::move(link));
            }
            continue;
        }
        bool changed = false;
        FileEntry file = PlainEntry(path, builds, &changed);
        if (changed) {
            files->push_back(std::move(file));
        }
    }
    return true;
}

std::vector<FolderEntry> PairFolders(const ScannedBuilds& builds) {
    std::vector<FolderEntry> folders;
    for (const std::string& folder : builds.current.folders) {
        if (!std::all_of(builds.olds.begin(), builds.olds.end(),
                         [&](const Tree& t) { return t.folders.count(folder) != 0; })) {
            folders.push_back({FolderAction::Create, folder});
        }
    }
    std::set<std::string> gone;
    for (const Tree& t : builds.olds) {
        for (const std::string& folder : t.folders) {
            if (builds.current.folders.count(folder) == 0 && gone.insert(folder).second) {
                folders.push_back({FolderAction::Remove, folder});
            }
        }
    }
    return folders;
}

}  // namespace tpe
