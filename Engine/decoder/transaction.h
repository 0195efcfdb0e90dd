#pragma once
// The apply's all-or-nothing change of the installation. Every change is one step of an undo
// log, recorded right after it succeeded; rolling back undoes the log backwards. New files are
// staged beside their targets and swapped in together at the end. The log and the staging
// names (target + ".~tpn" + a per-run token; originals in the folder ".~tpo" + token) are what a
// journal would persist to recover after a killed process.
#include <string>
#include <vector>

#include "file_system.h"

namespace tpe {

class Transaction {
public:
    // `backupRoot`: folder (relative to `root`) that receives replaced and deleted originals;
    // empty to discard them at the end.
    Transaction(FileSystem& fs, std::string root, std::string backupRoot, std::string token);
    ~Transaction();  // rolls back unless Finish was called
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Creates `relative` and its missing ancestors.
    bool EnsureFolder(const std::string& relative);
    // Where the new contents of `relative` are written.
    std::string StagingPath(const std::string& relative) const;
    void Staged(const std::string& relative);
    // Schedules `relative` for replacement by its staged file or, when `replace` is false, for
    // removal. `clearReadOnly` lifts the read-only flag first (restored on rollback).
    void Schedule(const std::string& relative, bool replace, bool clearReadOnly);
    // Performs the scheduled replacements and removals.
    bool Swap(std::string* error);
    bool RemoveFolder(const std::string& relative);
    // Undoes every step; false when some step could not be undone (named in `error`).
    bool Rollback(std::string* error);
    // Makes the change final: discards (or keeps as backups) the originals.
    void Finish();

private:
    enum class StepKind {
        CreatedFolder,
        Staged,
        ClearedReadOnly,
        MovedAside,
        MovedIn,
        RemovedFolder
    };
    struct Step {
        StepKind kind;
        std::string from, to;
    };
    struct Scheduled {
        std::string relative;
        bool replace;
        bool clearReadOnly;
    };
    std::string Full(const std::string& relative) const { return JoinPath(m_root, relative); }
    std::string AsidePath(const std::string& relative);
    bool EnsureFullFolder(const std::string& full);

    FileSystem& m_fs;
    std::string m_root, m_backupRoot, m_token;
    std::vector<Step> m_log;
    std::vector<Scheduled> m_scheduled;
    std::string m_asideFolder;  // created on first use, removed by Finish
    int m_asideCount = 0;
    bool m_done = false;
};

}  // namespace tpe
