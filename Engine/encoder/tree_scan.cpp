#include "tree_scan.h"

#include <algorithm>

#include "file_hash.h"
#include "link_target.h"
#include "path_safety.h"

namespace tpe {
namespace {

// Where a link leads, as a path in the tree; `target` has passed LinkTargetProblem.
std::string Resolve(const std::string& linkPath, const std::string& target) {
    std::string folder = ParentPath(linkPath);
    size_t at = 0;
    for (; target.compare(at, 3, "../") == 0; at += 3) {
        folder = ParentPath(folder);
    }
    return folder.empty() ? target.substr(at) : folder + "/" + target.substr(at);
}

class Scanner {
public:
    using OnFile = std::function<void(const std::string& path, uint64_t size)>;
    Scanner(FileSystem& fs, const std::string& root, LinkPolicy policy, Tree* tree,
            const OnFile& onFile)
        : m_fs(fs), m_root(root), m_policy(policy), m_tree(tree), m_onFile(onFile) {}

    // `physical`: the folder read, `logical`: the path its entries get (they differ below a
    // followed link).
    bool Folder(const std::string& physical, const std::string& logical, std::string* error);
    const std::vector<std::string>& Refused() const { return m_refused; }

private:
    bool File(const std::string& full, const std::string& path, uint16_t mode, std::string* error);
    bool Link(const std::string& full, const std::string& path, std::string* error);

    FileSystem& m_fs;
    std::string m_root;
    LinkPolicy m_policy;
    Tree* m_tree;
    const OnFile& m_onFile;
    std::set<std::string> m_keys;
    std::vector<std::string> m_refused;
};

bool Scanner::File(const std::string& full, const std::string& path, uint16_t mode,
                   std::string* error) {
    std::unique_ptr<InputFile> file = m_fs.OpenRead(full);
    Contents contents;
    contents.present = true;
    contents.size = file ? file->Size() : 0;
    if (!file || !HashFile(*file, &contents.hash, ReadProgress())) {
        *error = "cannot read " + full;
        return false;
    }
    m_tree->files[path] = contents;
    m_tree->modes[path] = mode;
    if (m_onFile) {
        m_onFile(full, contents.size);
    }
    return true;
}

bool Scanner::Link(const std::string& full, const std::string& path, std::string* error) {
    std::string target;
    if (!m_fs.ReadLink(full, &target)) {
        *error = "cannot read the link " + full;
        return false;
    }
    const std::string shown = full + " -> " + target;
    std::string problem = LinkTargetProblem(path, target);
    if (m_policy == LinkPolicy::Refuse || !problem.empty()) {
        m_refused.push_back(problem.empty() ? shown : shown + " (" + problem + ")");
        return true;
    }
    if (m_policy == LinkPolicy::Keep) {
        m_tree->links[path] = target;
        return true;
    }
    // Followed through any further links, each checked the same way.
    std::string resolved = Resolve(path, target);
    NodeInfo node = m_fs.Stat(JoinPath(m_root, resolved));
    for (int hops = 0; node.kind == NodeKind::Link && hops < 32; ++hops) {
        if (!m_fs.ReadLink(JoinPath(m_root, resolved), &target) ||
            !(problem = LinkTargetProblem(resolved, target)).empty()) {
            m_refused.push_back(shown + " (it leads through " + resolved + ", which " +
                                (problem.empty() ? "cannot be read" : problem) + ")");
            return true;
        }
        resolved = Resolve(resolved, target);
        node = m_fs.Stat(JoinPath(m_root, resolved));
    }
    if (node.kind == NodeKind::File) {
        return File(full, path, node.mode, error);
    }
    if (node.kind == NodeKind::Folder) {
        m_tree->folders.insert(path);
        return Folder(JoinPath(m_root, resolved), path, error);
    }
    m_refused.push_back(shown + " (it leads to nothing that can be shipped)");
    return true;
}

bool Scanner::Folder(const std::string& physical, const std::string& logical, std::string* error) {
    std::vector<std::string> names;
    if (!m_fs.List(physical, &names)) {
        *error = "cannot read the folder " + physical;
        return false;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = logical.empty() ? name : logical + "/" + name;
        const std::string full = JoinPath(physical, name);
        std::string problem = PathProblem(path);
        if (!problem.empty()) {
            *error = full + " cannot be shipped in a patch: " + problem;
            return false;
        }
        if (!m_keys.insert(PathKey(path)).second) {
            *error = full + " differs from another name only in case";
            return false;
        }
        NodeInfo node = m_fs.Stat(full);
        bool scanned = true;
        if (node.kind == NodeKind::Folder) {
            m_tree->folders.insert(path);
            scanned = Folder(full, path, error);
        } else if (node.kind == NodeKind::File) {
            scanned = File(full, path, node.mode, error);
        } else if (node.kind == NodeKind::Link) {
            scanned = Link(full, path, error);
        } else {
            *error = full + " is a special file; builds may hold only files, folders and links";
            return false;
        }
        if (!scanned) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ScanTree(FileSystem& fs, const std::string& root, LinkPolicy links, Tree* tree,
              std::vector<std::string>* refusedLinks, std::string* error,
              const std::function<void(const std::string& path, uint64_t size)>& onFile) {
    if (fs.Stat(root).kind != NodeKind::Folder) {
        *error = "not a folder: " + root;
        return false;
    }
    Scanner scanner(fs, root, links, tree, onFile);
    if (!scanner.Folder(root, std::string(), error)) {
        return false;
    }
    refusedLinks->insert(refusedLinks->end(), scanner.Refused().begin(), scanner.Refused().end());
    return true;
}

}  // namespace tpe
