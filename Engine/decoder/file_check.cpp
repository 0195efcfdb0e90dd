#include "file_check.h"

#include <algorithm>
#include <vector>

namespace tpe {

bool PathStaysInside(FileSystem& fs, const std::string& root, const std::string& relative) {
    for (size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
        NodeInfo node = fs.Stat(JoinPath(root, relative.substr(0, slash)));
        if (node.kind == NodeKind::Missing) {
            return true;  // nothing below can exist yet
        }
        if (node.kind != NodeKind::Folder) {
            return false;
        }
    }
    return true;
}

uint64_t BytesSurelyStaged(FileSystem& fs, const std::string& root, const PatchModel& model) {
    uint64_t total = 0;
    for (const FileEntry& entry : model.files) {
        if (!entry.target.present) {
            continue;
        }
        NodeInfo node = fs.Stat(JoinPath(root, entry.path));
        bool written = false;
        for (const OldState& s : entry.states) {
            written = written || (node.kind == NodeKind::Missing && !s.old.present) ||
                      (node.kind == NodeKind::File && s.old.present && s.old.size == node.size &&
                       node.size != entry.target.size);
        }
        if (written) {
            total = entry.target.size > UINT64_MAX - total ? UINT64_MAX : total + entry.target.size;
        }
    }
    return total;
}

bool ModeDiffers(const FileEntry& entry, const NodeInfo& node) {
    return entry.kind == EntryKind::File && entry.hasMode && entry.target.present &&
           node.kind == NodeKind::File && !ModeMatches(node.mode, entry.mode);
}

namespace {

// Finds which of the new and the old contents `present` is.
void Classify(const FileEntry& entry, const std::vector<const OldState*>& order,
              const Contents& present, FileStanding* result) {
    if (entry.target == present) {
        result->standing = Standing::AtNew;
        return;
    }
    for (const OldState* s : order) {
        if (s->old == present) {
            result->standing = Standing::AtOld;
            result->state = s;
            return;
        }
    }
    result->standing = Standing::Mismatch;
}

}  // namespace

FileStanding CheckFile(FileSystem& fs, const std::string& root, const FileEntry& entry,
                       int preferred, const ReadProgress& progress) {
    FileStanding result;
    if (!PathStaysInside(fs, root, entry.path)) {
        result.standing = Standing::Unsafe;
        return result;
    }
    const std::string path = JoinPath(root, entry.path);
    if (fs.PathLimit() != 0 && path.size() > fs.PathLimit()) {
        result.standing = Standing::TooLong;
        return result;
    }
    result.node = fs.Stat(path);
    std::vector<const OldState*> order;
    for (const OldState& s : entry.states) {
        if (s.source == preferred) {
            order.insert(order.begin(), &s);
        } else {
            order.push_back(&s);
        }
    }
    switch (result.node.kind) {
        case NodeKind::Missing:
            if (!entry.target.present) {
                result.standing = Standing::AtNew;
                return result;
            }
            for (const OldState* s : order) {
                if (!s->old.present) {
                    result.standing = Standing::AtOld;
                    result.state = s;
                    return result;
                }
            }
            result.standing = Standing::Missing;
            return result;
        case NodeKind::File:
            if (entry.kind == EntryKind::Link) {
                result.standing = Standing::Mismatch;  // a file where a link belongs
                return result;
            }
            break;
        case NodeKind::Link:
            if (entry.kind == EntryKind::Link) {
                std::string target;
                if (!fs.ReadLink(path, &target)) {
                    result.standing = Standing::Unreadable;
                    return result;
                }
                Classify(entry, order, LinkContents(target), &result);
                return result;
            }
            result.standing = Standing::Unsafe;
            return result;
        case NodeKind::Error:
            result.standing = Standing::Unreadable;
            return result;
        default:
            result.standing = Standing::Unsafe;
            return result;
    }
    // Read only when the size fits one of the candidates.
    const uint64_t size = result.node.size;
    bool sizeFits = entry.target.present && entry.target.size == size;
    for (const OldState* s : order) {
        sizeFits = sizeFits || (s->old.present && s->old.size == size);
    }
    if (!sizeFits) {
        result.standing = Standing::Mismatch;
        return result;
    }
    std::unique_ptr<InputFile> file = fs.OpenRead(path);
    Digest digest;
    bool stopped = false;
    ReadProgress watch = [&](uint64_t done, uint64_t total) {
        stopped = progress && !progress(done, total);
        return !stopped;
    };
    if (!file || !HashFile(*file, &digest, watch)) {
        result.standing = stopped ? Standing::Cancelled : Standing::Unreadable;
        return result;
    }
    Classify(entry, order, Contents{true, size, digest}, &result);
    return result;
}

}  // namespace tpe
