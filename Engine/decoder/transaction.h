#pragma once
// The apply's all-or-nothing change of the installation, kept in a write-ahead journal so that a
// process killed at any moment leaves nothing a later run cannot finish or undo.
//
// Before the commit the apply only adds: folders, and new files staged beside their targets
// (target + ".~tpn" + a per-run token); each is recorded before it is made. The commit records
// the plan of the swap. The swap then moves each original aside (into the folder ".~tpo" + token,
// or the backup folder) and each staged file into place. Every step of the swap, of its undo and
// of the final clean-up looks at what is on disk before it acts, so any of them can be repeated
// after a kill: rolling forward needs every new file present and verified, rolling back needs
// the originals, which are only discarded after the closing notice.
#include <string>
#include <vector>

#include "file_system.h"
#include "journal.h"

namespace tpe {

struct FolderOutcome {
    std::string relative;
    bool removed;  // false: it was not empty and stays
};

class Transaction {
public:
    // `backupRoot`: folder (relative to `root`) that receives replaced and deleted originals;
    // empty to discard them at the end.
    Transaction(FileSystem& fs, std::string root, std::string backupRoot, std::string token);
    // Takes over the transaction an interrupted run left in its journal.
    Transaction(FileSystem& fs, std::string root, JournalContents journal);
    ~Transaction();  // rolls back unless it has ended
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Creates `relative` and its missing ancestors.
    bool EnsureFolder(const std::string& relative);
    // Where the new contents of `relative` are written.
    std::string StagingPath(const std::string& relative) const;
    // Records the staging file (or `link`) of `relative` before it is created.
    bool Staging(const std::string& relative, bool link = false);
    struct Scheduled {
        Contents original;      // what the file was checked at; absent for a file the apply adds
        Contents target;        // the staged file's verified contents; absent: the file is removed
        bool readOnly = false;  // the original is read-only: the flag is lifted to move it
                                // and restored on rollback
        bool keepReadOnly = false;  // ... and the new file gets it too
        bool targetLink = false;    // the staged entry is a link the patch carries
    };
    // Plans `relative`'s replacement by its staged file, or its removal.
    void Schedule(const std::string& relative, const Scheduled& what);
    // Plans the removal of a folder once the swap has emptied it; deepest first.
    void ScheduleFolderRemoval(const std::string& relative);
    // Prepares a place for every original and commits the plan: from here on a killed apply is
    // finished by the next run.
    bool Commit(std::string* error);
    // Performs the planned replacements and removals.
    bool Swap(std::string* error);
    // Removes the planned folders that exist and are empty.
    std::vector<FolderOutcome> RemoveFolders();
    // Committed and not abandoned, with every new file present and verified.
    bool CanRollForward();
    // Undoes every step; false when some step could not be undone (named in `error`); the
    // journal then stays for a later attempt. A transaction taken over from a journal also
    // checks every planned file at its old contents before the journal goes.
    bool Rollback(std::string* error);
    // Makes the swap final: discards the originals (or keeps them as backups) and the journal.
    // False when some of that was left over; the journal then stays for a later run to finish.
    // A transaction taken over from a journal first checks every planned file at its new
    // contents (`error` says which is not).
    bool Finish(std::string* error = nullptr);
    // Ends without touching anything more; the journal stays for a later run.
    void Abandon();
    // True when a step failed because the journal could not be written.
    bool JournalFailed() const { return m_journalFailed; }

    // What the transaction touches, for the checks of a recovery.
    const std::vector<PreparedStep>& Prepared() const { return m_prepared; }
    const std::vector<PlannedChange>& Plan() const { return m_plan; }
    const std::vector<std::string>& FoldersToRemove() const { return m_foldersToRemove; }
    bool Committed() const { return m_committed; }
    std::string AsideFolder() const { return ".~tpo" + m_token; }
    std::string AsidePath(const PlannedChange& change) const;
    std::string StagingRelative(const std::string& relative) const;
    bool HasContents(const std::string& relative, const Contents& contents);

private:
    std::string Full(const std::string& relative) const { return JoinPath(m_root, relative); }
    bool Missing(const std::string& relative) {
        return m_fs.Stat(Full(relative)).kind == NodeKind::Missing;
    }
    // Every planned file at its new (`atNew`) or old contents; `error` names the first that is
    // not.
    bool PlanIsAt(bool atNew, std::string* error);
    bool Record(const PreparedStep& step);
    bool SwapOne(const PlannedChange& change, std::string* error);
    bool UndoChange(const PlannedChange& change);
    bool UndoPrepared(const PreparedStep& step);
    // The new file of a read-only original is read-only too.
    bool KeepReadOnly(const PlannedChange& change);

    FileSystem& m_fs;
    std::string m_root, m_backupRoot, m_token;
    JournalWriter m_journal;
    std::vector<PreparedStep> m_prepared;
    std::vector<PlannedChange> m_plan;
    std::vector<std::string> m_foldersToRemove;
    uint32_t m_asideCount = 0;
    bool m_committed = false;
    bool m_aborted = false;
    bool m_journalFailed = false;
    bool m_done = false;
    bool m_adopted = false;  // taken over from a journal: nothing in it is trusted
};

}  // namespace tpe
