#include "recovery.h"

#include "engine_texts.h"
#include "file_check.h"
#include "journal.h"
#include "transaction.h"

namespace tpe {
namespace {

// The journal is read from the installation like any other file: nothing it names may lead
// outside through a link. Where links exist, a path may end in one (a link the patch carries):
// the transaction moves and removes links themselves and never follows them.
bool PathsStayInside(FileSystem& fs, const std::string& root, const JournalContents& journal) {
    auto inside = [&](const std::string& relative) {
        return PathStaysInside(fs, root, relative) &&
               (fs.LinksSupported() || fs.Stat(JoinPath(root, relative)).kind != NodeKind::Link);
    };
    for (const PreparedStep& step : journal.prepared) {
        if (!inside(step.relative)) {
            return false;
        }
    }
    for (const PlannedChange& change : journal.plan) {
        if (!inside(change.relative) || (!journal.backupRoot.empty() &&
                                         !inside(JoinPath(journal.backupRoot, change.relative)))) {
            return false;
        }
    }
    for (const std::string& folder : journal.foldersToRemove) {
        if (!inside(folder)) {
            return false;
        }
    }
    return true;
}

EngineResult Failed(Reporter& reporter, const std::string& why) {
    reporter.Text(kMsgError, RecoveryFailedText(why));
    return EngineResult::RollbackIncomplete;
}

}  // namespace

EngineResult RecoverInterruptedApply(FileSystem& fs, const std::string& root, Reporter& reporter) {
    if (root.empty()) {
        return EngineResult::Ok;
    }
    const std::string path = JoinPath(root, kJournalName);
    JournalContents journal;
    std::string why;
    switch (ReadJournal(fs, path, &journal, &why)) {
        case JournalStatus::Missing:
            return EngineResult::Ok;
        case JournalStatus::Ok:
            break;
        case JournalStatus::Unreadable:
        case JournalStatus::Damaged:
            return Failed(reporter, "its journal " + path.substr(0, 300) + " is unusable: " + why);
    }
    if (journal.token.empty()) {
        // Killed while the journal was begun: nothing had changed yet.
        return fs.RemoveFile(path) ? EngineResult::Ok
                                   : Failed(reporter, "cannot remove " + path.substr(0, 300));
    }
    if (!PathsStayInside(fs, root, journal)) {
        return Failed(reporter, "its journal names a path that leads through a link");
    }
    Transaction transaction(fs, root, std::move(journal));
    std::string error;
    if (transaction.CanRollForward()) {
        if (!transaction.Swap(&error)) {
            transaction.Abandon();
            return Failed(reporter, error);
        }
        transaction.RemoveFolders();
        if (!transaction.Finish()) {
            return Failed(reporter, "the replaced files cannot be removed");
        }
        reporter.Text(kMsgInformation, RecoveredForwardText());
        return EngineResult::Ok;
    }
    if (!transaction.Rollback(&error)) {
        return Failed(reporter, error);
    }
    reporter.Text(kMsgInformation, RecoveredBackText());
    return EngineResult::Ok;
}

}  // namespace tpe
