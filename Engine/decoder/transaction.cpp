#include "transaction.h"

#include "file_hash.h"

namespace tpe {
namespace {

// What the swap moves: files, and the links a patch carries (never followed).
bool IsEntry(NodeKind kind) {
    return kind == NodeKind::File || kind == NodeKind::Link;
}

}  // namespace

Transaction::Transaction(FileSystem& fs, std::string root, std::string backupRoot,
                         std::string token)
    : m_fs(fs),
      m_root(std::move(root)),
      m_backupRoot(std::move(backupRoot)),
      m_token(std::move(token)),
      m_journal(m_fs, JoinPath(m_root, kEngineJournalName), m_token, m_backupRoot) {}

Transaction::Transaction(FileSystem& fs, std::string root, JournalContents journal)
    : m_fs(fs),
      m_root(std::move(root)),
      m_backupRoot(std::move(journal.backupRoot)),
      m_token(std::move(journal.token)),
      m_journal(m_fs, JoinPath(m_root, kEngineJournalName), m_token, m_backupRoot),
      m_prepared(std::move(journal.prepared)),
      m_plan(std::move(journal.plan)),
      m_foldersToRemove(std::move(journal.foldersToRemove)),
      m_committed(journal.committed),
      m_aborted(journal.aborted),
      m_adopted(true) {
    m_journal.Adopt();
}

Transaction::~Transaction() {
    if (!m_done) {
        std::string ignored;
        Rollback(&ignored);
    }
}

bool Transaction::Record(const PreparedStep& step) {
    if (!m_journal.Prepared(step)) {
        m_journalFailed = true;
        return false;
    }
    m_prepared.push_back(step);
    return true;
}

bool Transaction::EnsureFolder(const std::string& relative) {
    if (relative.empty()) {
        return true;
    }
    NodeInfo node = m_fs.Stat(Full(relative));
    if (node.kind == NodeKind::Folder) {
        return true;
    }
    if (node.kind != NodeKind::Missing) {
        return false;
    }
    return EnsureFolder(ParentPath(relative)) && Record({true, relative}) &&
           m_fs.MakeFolder(Full(relative));
}

std::string Transaction::StagingRelative(const std::string& relative) const {
    return relative + ".~tpn" + m_token;
}

std::string Transaction::StagingPath(const std::string& relative) const {
    return Full(StagingRelative(relative));
}

bool Transaction::Staging(const std::string& relative, bool link) {
    return Record({false, relative, link});
}

// Originals go to one folder at the root (so that emptied folders can be removed) or, with
// backups, to the same relative path below the backup folder.
std::string Transaction::AsidePath(const PlannedChange& change) const {
    if (!m_backupRoot.empty()) {
        return JoinPath(m_backupRoot, change.relative);
    }
    return JoinPath(AsideFolder(), std::to_string(change.asideNumber));
}

void Transaction::Schedule(const std::string& relative, const Scheduled& what) {
    PlannedChange change;
    change.relative = relative;
    change.replace = what.target.present;
    change.clearReadOnly = what.readOnly;
    change.keepReadOnly = what.readOnly && what.keepReadOnly;
    change.targetLink = what.targetLink;
    change.original = what.original;
    change.target = what.target;
    m_plan.push_back(change);
}

void Transaction::ScheduleFolderRemoval(const std::string& relative) {
    m_foldersToRemove.push_back(relative);
}

bool Transaction::Commit(std::string* error) {
    bool anyAside = false;
    for (PlannedChange& change : m_plan) {
        const NodeKind kind = m_fs.Stat(Full(change.relative)).kind;
        change.hadOriginal = IsEntry(kind);
        change.originalLink = kind == NodeKind::Link;
        // A later run checks the original against what the apply saw: it must be that file.
        if (change.hadOriginal != change.original.present) {
            *error = change.relative + " changed while the update ran";
            return false;
        }
        if (!change.hadOriginal) {
            continue;
        }
        if (m_backupRoot.empty()) {
            change.asideNumber = ++m_asideCount;
            anyAside = true;
            continue;
        }
        // Found now, a backup in the way stops the apply before anything was swapped.
        const std::string aside = AsidePath(change);
        if (!Missing(aside)) {
            *error = "cannot move " + change.relative +
                     " into the backup folder (is a backup of it already there?)";
            return false;
        }
        if (!EnsureFolder(ParentPath(aside))) {
            *error = "cannot create the backup folder for " + change.relative;
            return false;
        }
    }
    if (anyAside && !EnsureFolder(AsideFolder())) {
        *error = "cannot create the folder for the replaced files";
        return false;
    }
    if (m_plan.empty() && m_foldersToRemove.empty() && !m_journal.Exists()) {
        m_committed = true;  // nothing to swap: the installation stays untouched
        return true;
    }
    if (!m_journal.Commit(m_plan, m_foldersToRemove)) {
        m_journalFailed = true;
        *error = "cannot write the update journal";
        return false;
    }
    m_committed = true;
    return true;
}

bool Transaction::KeepReadOnly(const PlannedChange& change) {
    if (!change.replace || !change.keepReadOnly) {
        return true;
    }
    NodeInfo node = m_fs.Stat(Full(change.relative));
    return node.kind == NodeKind::File &&
           (node.readOnly || m_fs.SetReadOnly(Full(change.relative), true));
}

bool Transaction::SwapOne(const PlannedChange& change, std::string* error) {
    const std::string target = Full(change.relative);
    const std::string staging = StagingRelative(change.relative);
    if (change.replace && Missing(staging)) {
        // Moved in before; the flag may not have followed when the run died in between.
        if (!KeepReadOnly(change)) {
            *error = "cannot make the new " + change.relative + " read-only";
            return false;
        }
        return true;
    }
    const NodeKind present = m_fs.Stat(target).kind;
    if (change.hadOriginal && IsEntry(present)) {
        if (change.clearReadOnly && present == NodeKind::File && !m_fs.SetReadOnly(target, false)) {
            *error = "cannot make " + change.relative + " writable";
            return false;
        }
        if (!m_fs.Rename(target, Full(AsidePath(change)))) {
            *error = "cannot move " + change.relative + " aside";
            return false;
        }
    }
    if (change.replace && !m_fs.Rename(Full(staging), target)) {
        *error = "cannot move the new " + change.relative + " into place";
        return false;
    }
    if (!KeepReadOnly(change)) {
        *error = "cannot make the new " + change.relative + " read-only";
        return false;
    }
    return true;
}

bool Transaction::Swap(std::string* error) {
    for (const PlannedChange& change : m_plan) {
        if (!SwapOne(change, error)) {
            return false;
        }
    }
    return true;
}

std::vector<FolderOutcome> Transaction::RemoveFolders() {
    std::vector<FolderOutcome> outcomes;
    for (const std::string& folder : m_foldersToRemove) {
        if (m_fs.Stat(Full(folder)).kind == NodeKind::Folder) {
            outcomes.push_back({folder, m_fs.RemoveFolder(Full(folder))});
        }
    }
    return outcomes;
}

bool Transaction::HasContents(const std::string& relative, const Contents& contents) {
    NodeInfo node = m_fs.Stat(Full(relative));
    std::string linkTarget;
    if (node.kind == NodeKind::Link) {
        return m_fs.ReadLink(Full(relative), &linkTarget) && LinkContents(linkTarget) == contents;
    }
    if (node.kind != NodeKind::File || node.size != contents.size) {
        return false;
    }
    std::unique_ptr<InputFile> file = m_fs.OpenRead(Full(relative));
    Digest digest;
    return file && HashFile(*file, &digest, ReadProgress()) && digest == contents.hash;
}

bool Transaction::CanRollForward() {
    if (!m_committed || m_aborted) {
        return false;
    }
    for (const PlannedChange& change : m_plan) {
        if (change.replace) {
            const std::string staging = StagingRelative(change.relative);
            if (!HasContents(Missing(staging) ? change.relative : staging, change.target)) {
                return false;
            }
        }
    }
    return true;
}

// Puts the original back. A file at the target while the original is still aside can only be
// the new one; it goes back to its staging name, removed with the other staged files.
bool Transaction::UndoChange(const PlannedChange& change) {
    const std::string target = Full(change.relative);
    const std::string staging = StagingRelative(change.relative);
    // The new file goes back to its staging name, writable so that it can be removed.
    auto unstage = [&] {
        NodeInfo node = m_fs.Stat(target);
        return (!node.readOnly || m_fs.SetReadOnly(target, false)) &&
               m_fs.Rename(target, Full(staging));
    };
    if (!change.hadOriginal) {
        return !change.replace || !Missing(staging) || Missing(change.relative) || unstage();
    }
    const std::string aside = AsidePath(change);
    if (!Missing(aside)) {
        if (!Missing(change.relative) && !(change.replace && Missing(staging) && unstage())) {
            return false;
        }
        if (!m_fs.Rename(Full(aside), target)) {
            return false;
        }
    }
    NodeInfo node = m_fs.Stat(target);
    if (!IsEntry(node.kind)) {
        return false;  // the original is lost
    }
    return node.kind == NodeKind::Link || !change.clearReadOnly || node.readOnly ||
           m_fs.SetReadOnly(target, true);
}

bool Transaction::UndoPrepared(const PreparedStep& step) {
    if (step.folder) {
        return m_fs.Stat(Full(step.relative)).kind != NodeKind::Folder ||
               m_fs.RemoveFolder(Full(step.relative));
    }
    const std::string staging = StagingRelative(step.relative);
    return Missing(staging) || m_fs.RemoveFile(Full(staging));
}

bool Transaction::Rollback(std::string* error) {
    m_done = true;
    if (m_committed && !m_aborted && m_journal.Exists()) {
        // Best effort: without it a later run still decides from what is on disk.
        m_journal.Abort();
        m_aborted = true;
    }
    std::string failed;
    if (m_committed) {
        for (auto folder = m_foldersToRemove.rbegin(); folder != m_foldersToRemove.rend();
             ++folder) {
            if (Missing(*folder) && !m_fs.MakeFolder(Full(*folder)) && failed.empty()) {
                failed = *folder;
            }
        }
        for (auto change = m_plan.rbegin(); change != m_plan.rend(); ++change) {
            if (!UndoChange(*change) && failed.empty()) {
                failed = change->relative;
            }
        }
    }
    for (auto step = m_prepared.rbegin(); step != m_prepared.rend(); ++step) {
        if (!UndoPrepared(*step) && failed.empty()) {
            failed = step->folder ? step->relative : StagingRelative(step->relative);
        }
    }
    if (!failed.empty()) {
        *error = "could not restore " + Full(failed);
        m_journal.Close();
        return false;
    }
    if (m_adopted && !PlanIsAt(false, error)) {
        m_journal.Close();
        return false;
    }
    // A journal that cannot be removed only makes the next run roll back again: nothing.
    m_journal.Remove();
    return true;
}

bool Transaction::PlanIsAt(bool atNew, std::string* error) {
    for (const PlannedChange& change : m_plan) {
        const Contents& expected = atNew ? (change.replace ? change.target : Contents())
                                         : (change.hadOriginal ? change.original : Contents());
        const bool right =
            expected.present ? HasContents(change.relative, expected) : Missing(change.relative);
        if (!right || !Missing(StagingRelative(change.relative))) {
            *error = change.relative + " is not at its " + (atNew ? "new" : "old") +
                     " contents after the recovery";
            return false;
        }
    }
    for (const PreparedStep& step : m_prepared) {
        if (!step.folder && !Missing(StagingRelative(step.relative))) {
            *error = "the staged " + step.relative + " is still there after the recovery";
            return false;
        }
    }
    return true;
}

bool Transaction::Finish(std::string* error) {
    m_done = true;
    std::string unverified;
    if (m_adopted && !PlanIsAt(true, error ? error : &unverified)) {
        m_journal.Close();
        return false;
    }
    bool clean = true;
    if (m_backupRoot.empty()) {
        for (const PlannedChange& change : m_plan) {
            const std::string aside = AsidePath(change);
            if (change.hadOriginal && !Missing(aside) && !m_fs.RemoveFile(Full(aside))) {
                clean = false;
            }
        }
        if (m_fs.Stat(Full(AsideFolder())).kind == NodeKind::Folder &&
            !m_fs.RemoveFolder(Full(AsideFolder()))) {
            clean = false;
        }
    }
    if (!clean) {
        m_journal.Close();
        return false;
    }
    return m_journal.Remove();
}

void Transaction::Abandon() {
    m_done = true;
    m_journal.Close();
}

}  // namespace tpe
