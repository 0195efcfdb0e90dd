#pragma once
// The apply's write-ahead journal, kept in the installation while an apply changes it. Each
// change is recorded before it is made, and the plan of the swap is committed once every new file
// is staged, so that the next engine run on the folder can finish or undo an apply whose process
// died. Every record carries its length twice (plain and inverted) and a CRC: only a record cut
// short at the very end of the file, as a kill leaves it, is ignored; damage anywhere else makes
// the whole journal refused. The layout is in docs/patch-format.md.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PatchEngineApi.h"
#include "file_system.h"
#include "patch_model.h"

namespace tpe {

// Something the apply creates before its commit, removed again when it rolls back.
struct PreparedStep {
    bool folder = false;  // a folder; otherwise the staging file of `relative`
    std::string relative;
    bool link = false;  // the staged entry is a link the patch carries
};

// One file's part of the swap.
struct PlannedChange {
    std::string relative;
    bool replace = false;  // the staged file takes its place; otherwise it is removed
    bool clearReadOnly = false;
    bool keepReadOnly = false;  // the new file is made read-only like its original
    bool hadOriginal = false;   // an original is moved aside
    bool originalLink = false;  // the original is a link (moved, never followed)
    bool targetLink = false;    // the new entry is a link the patch carries
    uint32_t asideNumber = 0;   // its name in the aside folder (without backups)
    Contents original;          // the original's contents when `hadOriginal`
    Contents target;            // the staged file's contents when `replace`
};

struct JournalContents {
    std::string token;       // the run's staging token
    std::string backupRoot;  // empty without backups
    std::vector<PreparedStep> prepared;
    std::vector<PlannedChange> plan;
    std::vector<std::string> foldersToRemove;  // deepest first
    bool committed = false;
    bool aborted = false;  // the apply had begun to roll back
};

// Appends records; the file is created with the first one.
class JournalWriter {
public:
    JournalWriter(FileSystem& fs, std::string path, std::string token, std::string backupRoot);
    // Takes charge of the journal an interrupted run left: it is only ever removed.
    void Adopt() { m_created = true; }
    bool Prepared(const PreparedStep& step);
    // Writes the plan and the commit record, then flushes: the apply may now be finished by a
    // later run.
    bool Commit(const std::vector<PlannedChange>& plan,
                const std::vector<std::string>& foldersToRemove);
    bool Abort();
    // Closes and deletes the journal: the transaction has ended.
    bool Remove();
    // Closes without deleting: a later run takes over.
    void Close() { m_file.reset(); }
    bool Exists() const { return m_created; }

private:
    bool Append(const std::vector<uint8_t>& body, bool flush);

    FileSystem& m_fs;
    std::string m_path, m_token, m_backupRoot;
    std::unique_ptr<OutputFile> m_file;
    bool m_created = false;
};

enum class JournalStatus { Missing, Ok, Unreadable, Damaged };

// Reads the journal at `path` and checks every record, path and count. `why` says what is wrong
// when the result is Unreadable or Damaged.
JournalStatus ReadJournal(FileSystem& fs, const std::string& path, JournalContents* contents,
                          std::string* why);

}  // namespace tpe
