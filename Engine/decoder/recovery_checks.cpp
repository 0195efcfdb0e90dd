#include "recovery_checks.h"

namespace tpe {
namespace {

// The kind of `relative` below `root`; Error when anything on the way is not a plain folder.
NodeKind KindWithoutLinks(FileSystem& fs, const std::string& root, const std::string& relative) {
    for (size_t slash = relative.find('/');; slash = relative.find('/', slash + 1)) {
        NodeKind kind = fs.Stat(JoinPath(root, relative.substr(0, slash))).kind;
        if (slash == std::string::npos || kind == NodeKind::Missing) {
            return kind;
        }
        if (kind != NodeKind::Folder) {
            return NodeKind::Error;
        }
    }
}

bool Is(FileSystem& fs, const std::string& root, const std::string& relative, NodeKind expected) {
    NodeKind kind = KindWithoutLinks(fs, root, relative);
    return kind == NodeKind::Missing || kind == expected;
}

bool Present(FileSystem& fs, const std::string& root, const std::string& relative) {
    return fs.Stat(JoinPath(root, relative)).kind != NodeKind::Missing;
}

}  // namespace

std::string UnsafeRecoveryName(FileSystem& fs, const std::string& root,
                               const Transaction& transaction) {
    // A name may end in a link only where the journal says the patch put one there.
    auto file = [&](const std::string& relative, bool link = false) {
        return Is(fs, root, relative, link ? NodeKind::Link : NodeKind::File) ||
               (link && Is(fs, root, relative, NodeKind::File));
    };
    auto folder = [&](const std::string& relative) {
        return Is(fs, root, relative, NodeKind::Folder);
    };
    if (!folder(transaction.AsideFolder())) {
        return "the folder " + transaction.AsideFolder() + " is a link or not a folder";
    }
    for (const PreparedStep& step : transaction.Prepared()) {
        if (step.folder ? !folder(step.relative)
                        : !file(transaction.StagingRelative(step.relative), step.link)) {
            return step.relative + " is reached through a link or is not what was created";
        }
    }
    for (const PlannedChange& change : transaction.Plan()) {
        if (!file(change.relative, change.originalLink || change.targetLink) ||
            !file(transaction.StagingRelative(change.relative), change.targetLink) ||
            (change.hadOriginal && !file(transaction.AsidePath(change), change.originalLink))) {
            return change.relative + " or its staged or moved-aside copy is reached through a " +
                   "link or is not a regular file";
        }
    }
    for (const std::string& relative : transaction.FoldersToRemove()) {
        if (!folder(relative)) {
            return relative + " is reached through a link or is not a folder";
        }
    }
    return std::string();
}

std::string UnexpectedRecoveryFile(FileSystem& fs, const std::string& root,
                                   Transaction& transaction, bool forward) {
    // Before the commit nothing is moved aside: files there mean the journal lost its plan.
    std::vector<std::string> aside;
    if (!transaction.Committed() && fs.List(JoinPath(root, transaction.AsideFolder()), &aside) &&
        !aside.empty()) {
        return "the journal has no plan, yet " + transaction.AsideFolder() + " holds files";
    }
    for (const PlannedChange& change : transaction.Plan()) {
        const std::string staging = transaction.StagingRelative(change.relative);
        const bool inPlace = Present(fs, root, change.relative);
        const bool staged = Present(fs, root, staging);
        const bool aside = change.hadOriginal && Present(fs, root, transaction.AsidePath(change));
        if (aside && !transaction.HasContents(transaction.AsidePath(change), change.original)) {
            return "the moved-aside original of " + change.relative +
                   " is not the file the update moved there";
        }
        // Forward, an original still in place is moved aside; backward, a new file in place
        // is taken away. Either must be the file the journal recorded.
        const bool replaced = change.replace ? !staged : aside;
        if (inPlace && forward && !replaced && change.hadOriginal &&
            !transaction.HasContents(change.relative, change.original)) {
            return change.relative + " is neither its original nor the new file";
        }
        if (inPlace && !forward && change.replace && !staged && (aside || !change.hadOriginal) &&
            !transaction.HasContents(change.relative, change.target)) {
            return change.relative + " is not the new file the update put there";
        }
    }
    return std::string();
}

}  // namespace tpe
